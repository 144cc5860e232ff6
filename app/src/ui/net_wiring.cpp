#include "ui/net_wiring.h"

#include "net/rigctl_server.h"
#include "settings/registry.h"
#include "ui/main_window.h"

#include <QMessageBox>

namespace {
const QString OnValue = QStringLiteral("NET_Rigctld");
const QString AtValue = QStringLiteral("NET_RigctldAt");

QString appKey() {
    return QString::fromLatin1(Registry::AppKeyName);
}
} // namespace

bool TakeRigctldOption(QStringList& args, RigctldChoice* choice, QString* error) {
    for (qsizetype i = 1; i < args.size();) {
        const QString& a = args[i];
        QString value;
        if (a == QLatin1String("--rigctld")) {
            value.clear();
        } else if (a.startsWith(QLatin1String("--rigctld="))) {
            value = a.mid(10);
            QHostAddress address;
            quint16 port = 0;
            if (!parseRigctldOption(value, &address, &port, error)) return false;
        } else {
            ++i;
            continue;
        }
        choice->given = true;
        choice->value = value;
        args.removeAt(i);
    }
    return true;
}

QString RigctldOptionHelp() {
    return QStringLiteral("--rigctld[=[ADDRESS:]PORT]  serve hamlib's NET rigctl protocol (clients "
                          "use model 2) on\n"
                          "                      ADDRESS:PORT, 127.0.0.1:4532 by default");
}

RigctlServer* WireNet(Main& main, Registry& reg, const RigctldChoice& choice) {
    auto* server = new RigctlServer(main.receiver(), main, &main);
    const bool on =
        choice.given || reg.RegGet(appKey(), QString(), OnValue, QVariant(int(0))).toInt() == 1;
    if (!on) return server;
    const QString at = choice.given
                           ? choice.value
                           : reg.RegGet(appKey(), QString(), AtValue, QString()).toString();
    QObject::connect(&main, &Main::started, server, [server, at, &main] {
        QHostAddress address;
        quint16 port = 0;
        QString error;
        if (parseRigctldOption(at, &address, &port, &error) &&
            server->listen(address, port, &error))
            return;
        // Not fatal: the program works on without it.
        qWarning("%s", qUtf8Printable(error));
        auto* box = new QMessageBox(QMessageBox::Warning, main.windowTitle(), error,
                                    QMessageBox::Ok, &main);
        box->setAttribute(Qt::WA_DeleteOnClose);
        box->setWindowModality(Qt::NonModal);
        box->show();
    });
    QObject::connect(&main, &Main::stopping, server, &RigctlServer::close);
    return server;
}
