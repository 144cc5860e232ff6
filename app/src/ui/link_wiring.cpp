#include "ui/link_wiring.h"

#include "input/keys.h"
#include "link/database_link.h"
#include "link/database_scan.h"
#include "scan/scan_engine.h"
#include "ui/main_window.h"

namespace {

// The room's objects, owned by the window.
class LinkRoom : public QObject {
public:
    explicit LinkRoom(Main& main) : QObject(&main), link(main, main.receiver(), this), scan(link) {}

    DatabaseLink link;
    DatabaseScanSource scan;
};

} // namespace

DatabaseLink& WireLink(Main& main) {
    auto* room = new LinkRoom(main);
    DatabaseLink& link = room->link;

    QObject::connect(&main, &Main::started, &link,
                     [&main, &link] { link.Start(main.settings.DDE_Database); });
    QObject::connect(&main, &Main::stopping, &link, [&link] { link.Stop(); });
    QObject::connect(&link, &DatabaseLink::DbLinkedChanged, &main, &Main::SetDbLinked);

    // Left clicks only: a right click is the window's paste.
    auto leftClick = [&main] {
        return main.LastButton == Qt::LeftButton || main.LastButton == Qt::NoButton;
    };
    QObject::connect(main.Store, &QPushButton::clicked, &link, [&link, leftClick] {
        if (leftClick()) link.Store();
    });
    QObject::connect(main.Search, &QPushButton::clicked, &link, [&link, leftClick] {
        if (leftClick()) link.Search();
    });
    main.keys().Features.Database = [&main, &link](QChar second) {
        if (!main.State().DbLinked || (second != u'S' && second != u'L')) {
            main.WarnBeep();
            return;
        }
        // Refused while the receiver is not connected: its fields say nothing then.
        if (!(second == u'S' ? link.Store() : link.Search())) main.WarnBeep();
    };
    main.scan().SetSource(ScanState::Database, &room->scan);
    return link;
}
