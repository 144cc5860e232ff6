#include "link/database_scan.h"

#include "link/database_link.h"

bool DatabaseScanSource::Begin() {
    return link_.Linked();
}

bool DatabaseScanSource::Next() {
    if (!link_.Linked()) return false;
    link_.RequestNext();
    return true;
}
