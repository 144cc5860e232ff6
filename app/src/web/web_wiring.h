#pragma once

// The web page in the program. It is served when --web[=[ADDRESS:]PORT] is given for this run,
// or when the setting "WEB_Server" is 1; it then listens on "WEB_ServerAt" ("[ADDRESS:]PORT",
// 127.0.0.1:8535 when empty). Off by default. The token every page must present is generated
// once and kept in "WEB_Token" from the first time the page is served; "WEB_ReadOnly" 1 makes
// the pages watch only.

#include <QObject>
#include <QString>
#include <QStringList>

class RoomHost;
class WebServer;

struct WebChoice {
    bool given = false; // --web was on the command line
    QString value;      // what followed "=", empty for the default address
};

// Takes every --web / --web=VALUE out of args (the last one counts). False (and error set)
// when a value does not read as [ADDRESS:]PORT.
bool TakeWebOption(QStringList& args, WebChoice* choice, QString* error = nullptr);
// The usage line of the option.
QString WebOptionHelp();

// The server in the window, created as a child of it (also when it stays off); it listens once
// the window has started (and, given --web, prints the page's address on standard output) and
// closes when it stops. Pushes every receiver report to the pages, runs their requests through
// the key commands, and adds the page's row to the options dialog.
class WebRoom : public QObject {
    Q_OBJECT
public:
    explicit WebRoom(RoomHost& host);

    // --web of this run: it listens whatever "WEB_Server" says (set before the start).
    void ForRun(const WebChoice& choice) { choice_ = choice; }
    WebServer& Server() const { return *server_; }

    // For the options dialog: turns the server on (listening on `at`, empty for
    // 127.0.0.1:8535) or off now, and keeps the choice in the settings. False (and error set)
    // when the address does not read or cannot be bound; the server is off then.
    bool Apply(bool on, const QString& at, bool readOnly, QString* error = nullptr);

private:
    void start();

    RoomHost& host_;
    WebServer* server_;
    WebChoice choice_;
};
