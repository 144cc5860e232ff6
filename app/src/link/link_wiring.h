#pragma once

#include "link/database_link.h"
#include "link/database_scan.h"

#include <QObject>

class RoomHost;

// The database link in the window: the link starts with the window and stops with it, its
// state shows on the database picture and the Store and Search buttons, the buttons and the
// "BS"/"BL" keys send their requests, and the database scan ("SD") steps through it.
class LinkRoom : public QObject {
    Q_OBJECT
public:
    explicit LinkRoom(RoomHost& host);

    DatabaseLink& Link() { return link_; }

private:
    DatabaseLink link_;
    DatabaseScanSource scan_;
};
