#include "ui/net_wiring.h"

#include "net/rigctl_server.h"
#include "settings/registry.h"
#include "ui/main_window.h"

#include <ostry/serialline.h>

#include <QMessageBox>

namespace {
const QString OnValue = QStringLiteral("NET_Rigctld");
const QString AtValue = QStringLiteral("NET_RigctldAt");
const QString HostsValue = QStringLiteral("NET_RigctldHosts");       // other hosts let in
const QString ReadOnlyValue = QStringLiteral("NET_RigctldReadOnly"); // other hosts only read
// The device or serial-server address chosen in the port dialog for port n, kept across runs.
QString deviceValue(int n) {
    return QStringLiteral("COM_Device%1").arg(n);
}
constexpr int FirstPort = 1, LastPort = 8;

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

// Ports mapped in the port dialog are mapped so again, unless this run maps them itself
// (--port); what the dialog confirms during the run is kept at its end.
void KeepPortDevices(Main& main, Registry& reg) {
    for (int n = FirstPort; n <= LastPort; ++n) {
        const QString saved = reg.RegGet(appKey(), QString(), deviceValue(n), QString()).toString();
        const bool givenForRun = ostry::portDevice(n) != ostry::defaultPortDevice(n);
        if (!saved.isEmpty() && !givenForRun) ostry::setPortDevice(n, saved);
    }
    QObject::connect(&main, &Main::stopping, &main, [&reg] {
        for (int n = FirstPort; n <= LastPort; ++n) {
            if (!ostry::portDeviceChosen(n)) continue;
            const QString now = ostry::portDevice(n);
            reg.RegSave(appKey(), QString(), deviceValue(n),
                        now == ostry::defaultPortDevice(n) ? QString() : now);
        }
    });
}

RigctlServer* WireNet(Main& main, Registry& reg, const RigctldChoice& choice) {
    KeepPortDevices(main, reg);
    auto* server = new RigctlServer(main.receiver(), main, &main);
    // A list that does not read lets only this machine in.
    QString hostsError;
    if (!server->setAllowedHosts(reg.RegGet(appKey(), QString(), HostsValue, QString()).toString(),
                                 &hostsError)) {
        qWarning("%s", qUtf8Printable(hostsError));
        server->setAllowedHosts(QStringLiteral("127.0.0.1"));
    }
    server->setReadOnly(reg.RegGet(appKey(), QString(), ReadOnlyValue, QVariant(int(0))).toInt() ==
                        1);
    // The options dialog sets both on the server; what it changed is kept at the end of the run
    // (a list that did not read stays as it was written until then).
    QObject::connect(&main, &Main::stopping, server,
                     [server, &reg, hosts = server->allowedHosts(), readOnly = server->readOnly()] {
                         if (server->allowedHosts() != hosts)
                             reg.RegSave(appKey(), QString(), HostsValue, server->allowedHosts());
                         if (server->readOnly() != readOnly)
                             reg.RegSave(appKey(), QString(), ReadOnlyValue,
                                         server->readOnly() ? 1 : 0);
                     });
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

bool ApplyRigctld(Main& main, Registry& reg, bool on, const QString& at, QString* error) {
    auto* server = main.findChild<RigctlServer*>();
    if (!server) {
        if (error) *error = QStringLiteral("The rig-control server is not part of this window");
        return false;
    }
    reg.RegSave(appKey(), QString(), OnValue, on ? 1 : 0);
    reg.RegSave(appKey(), QString(), AtValue, at);
    if (!on) {
        server->close();
        return true;
    }
    QHostAddress address;
    quint16 port = 0;
    if (parseRigctldOption(at, &address, &port, error) && server->listen(address, port, error))
        return true;
    server->close();
    return false;
}

bool RigctldSetting(const Registry& reg, QString* at) {
    if (at) *at = reg.RegGet(appKey(), QString(), AtValue, QString()).toString();
    return reg.RegGet(appKey(), QString(), OnValue, QVariant(int(0))).toInt() == 1;
}
