#pragma once

// The rig-control server in the program. It runs when --rigctld[=[ADDRESS:]PORT] is given for
// this run, or when the setting "NET_Rigctld" is 1; it then listens on "NET_RigctldAt"
// ("[ADDRESS:]PORT", 127.0.0.1:4532 when empty). Off by default. Bound beyond loopback, it lets
// in the hosts of "NET_RigctldHosts" (addresses and networks, comma-separated; empty: any)
// besides this machine, and with "NET_RigctldReadOnly" 1 they only read.

#include <QString>
#include <QStringList>

class Main;
class Registry;
class RigctlServer;

struct RigctldChoice {
    bool given = false; // --rigctld was on the command line
    QString value;      // what followed "=", empty for the default address
};

// Takes every --rigctld / --rigctld=VALUE out of args (the last one counts). False (and error
// set) when a value does not read as [ADDRESS:]PORT.
bool TakeRigctldOption(QStringList& args, RigctldChoice* choice, QString* error = nullptr);
// The usage line of the option.
QString RigctldOptionHelp();

// Creates the server as a child of the window; it listens once the window has started and
// closes when it stops. Returns the server (also when it stays off). Also keeps the devices and
// serial-server addresses chosen in the port dialog ("COM_Device1".."COM_Device8"; empty: the
// port's own device) across runs; a port mapped with --port keeps that mapping for the run.
RigctlServer* WireNet(Main& main, Registry& reg, const RigctldChoice& choice = {});

// For the options dialog: turns the server on (listening on `at`, "[ADDRESS:]PORT", empty for
// 127.0.0.1:4532) or off now, and keeps the choice in "NET_Rigctld" / "NET_RigctldAt". False
// (and error set) when the address does not read or cannot be bound; the server is off then.
bool ApplyRigctld(Main& main, Registry& reg, bool on, const QString& at, QString* error = nullptr);
// The setting as kept: on, and the address text.
bool RigctldSetting(const Registry& reg, QString* at = nullptr);
