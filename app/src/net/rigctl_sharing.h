#pragma once

// How the rig-control server shares the receiver beyond this machine, as the options dialog
// edits it. Header only: the dialog reaches the server through it without linking the network
// room.

#include <QString>

class RigctlSharing {
public:
    // The server's object name, for finding it among the window's children.
    static constexpr const char* ObjectName = "RigctlServer";

    virtual ~RigctlSharing() = default;
    // Other hosts let in: addresses or ADDRESS/PREFIX networks, comma-separated; empty: any.
    // False (and `error` set, the list unchanged) when an entry is not an address.
    virtual bool setAllowedHosts(const QString& hosts, QString* error = nullptr) = 0;
    virtual QString allowedHosts() const = 0;
    // Other hosts only read.
    virtual void setReadOnly(bool on) = 0;
    virtual bool readOnly() const = 0;
};
