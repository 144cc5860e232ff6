#include "link/link_wiring.h"

#include "input/keys.h"
#include "input/room_host.h"
#include "scan/scan_engine.h"
#include "settings/settings.h"

#include <QWidget>

LinkRoom::LinkRoom(RoomHost& host)
    : QObject(&host.window()), link_(host.panel(), host.receiver(), this), scan_(link_) {
    host.WhenStarted(&link_, [&host, this] { link_.Start(host.config().DDE_Database); });
    host.WhenStopping(&link_, [this] { link_.Stop(); });
    connect(&link_, &DatabaseLink::DbLinkedChanged, this,
            [&host](bool linked) { host.SetDbLinked(linked); });

    host.OnClicked(RoomHost::Button::Store, &link_, [this] { link_.Store(); });
    host.OnClicked(RoomHost::Button::Search, &link_, [this] { link_.Search(); });
    host.keyFeatures().Database = [&host, this](QChar second) {
        if (!host.panel().State().DbLinked || (second != u'S' && second != u'L')) {
            host.panel().WarnBeep();
            return;
        }
        // Refused while the receiver is not connected: its fields say nothing then.
        if (!(second == u'S' ? link_.Store() : link_.Search())) host.panel().WarnBeep();
    };
    host.scan().SetSource(ScanState::Database, &scan_);
}
