#pragma once

#include <QObject>

class Main;

// Keyboard, wheel and clipboard commands of the main window. Installs itself as an event filter
// on Main so it sees keys, the wheel and right/middle mouse presses before the controls do.
class KeyCommands : public QObject {
    Q_OBJECT
public:
    explicit KeyCommands(Main& main);

private:
    [[maybe_unused]] Main& main_;
};
