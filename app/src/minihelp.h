#pragma once

#include <QWidget>

// The key-help window shown by F1.
class MiniHelp : public QWidget {
    Q_OBJECT
public:
    explicit MiniHelp(QWidget* parent = nullptr);
};
