#pragma once

// The rig-control server in the program. It runs when --rigctld[=[ADDRESS:]PORT] is given for
// this run, or when the setting "NET_Rigctld" is 1; it then listens on "NET_RigctldAt"
// ("[ADDRESS:]PORT", 127.0.0.1:4532 when empty). Off by default. Bound beyond loopback, it lets
// in the hosts of "NET_RigctldHosts" (addresses and networks, comma-separated; empty: any)
// besides this machine, and with "NET_RigctldReadOnly" 1 they only read.

#include <QObject>
#include <QString>
#include <QStringList>

class Registry;
class RigctlServer;
class RoomHost;

struct RigctldChoice {
    bool given = false; // --rigctld was on the command line
    QString value;      // what followed "=", empty for the default address
};

// Takes every --rigctld / --rigctld=VALUE out of args (the last one counts). False (and error
// set) when a value does not read as [ADDRESS:]PORT.
bool TakeRigctldOption(QStringList& args, RigctldChoice* choice, QString* error = nullptr);
// The usage line of the option.
QString RigctldOptionHelp();

// The server in the window, created as a child of it (also when it stays off); it listens once
// the window has started and closes when it stops. Its switch and address are part of the
// options dialog.
class NetRoom : public QObject {
    Q_OBJECT
public:
    explicit NetRoom(RoomHost& host);

    // --rigctld of this run: it listens whatever "NET_Rigctld" says (set before the start).
    void ForRun(const RigctldChoice& choice) { choice_ = choice; }
    RigctlServer& Server() const { return *server_; }

private:
    void start();

    RoomHost& host_;
    RigctlServer* server_;
    RigctldChoice choice_;
};

// For the options dialog: turns the server on (listening on `at`, "[ADDRESS:]PORT", empty for
// 127.0.0.1:4532) or off now, and keeps the choice in "NET_Rigctld" / "NET_RigctldAt". False
// (and error set) when the address does not read or cannot be bound; the server is off then.
bool ApplyRigctld(RoomHost& host, Registry& reg, bool on, const QString& at,
                  QString* error = nullptr);
// The setting as kept: on, and the address text.
bool RigctldSetting(const Registry& reg, QString* at = nullptr);
