#include "link/database_scan.h"

#include "link/database_link.h"

bool DatabaseScanSource::Next() {
    if (!link_.Linked()) return false;
    link_.RequestNext();
    return true;
}
