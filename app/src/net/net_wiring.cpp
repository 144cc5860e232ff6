#include "net/net_wiring.h"

#include "input/room_host.h"
#include "net/rigctl_server.h"
#include "settings/registry.h"

#include <QMessageBox>
#include <QWidget>

namespace {
const QString OnValue = QStringLiteral("NET_Rigctld");
const QString AtValue = QStringLiteral("NET_RigctldAt");
const QString HostsValue = QStringLiteral("NET_RigctldHosts");       // other hosts let in
const QString ReadOnlyValue = QStringLiteral("NET_RigctldReadOnly"); // other hosts only read

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

NetRoom::NetRoom(RoomHost& host)
    : QObject(&host.window()), host_(host),
      server_(new RigctlServer(host.receiver(), host.panel(), &host.window())) {
    Registry& reg = host.registry();
    // A list that does not read lets only this machine in.
    QString hostsError;
    if (!server_->setAllowedHosts(reg.RegGet(appKey(), QString(), HostsValue, QString()).toString(),
                                  &hostsError)) {
        qWarning("%s", qUtf8Printable(hostsError));
        server_->setAllowedHosts(QStringLiteral("127.0.0.1"));
    }
    server_->setReadOnly(reg.RegGet(appKey(), QString(), ReadOnlyValue, QVariant(int(0))).toInt() ==
                         1);
    host.WhenStarted(this, [this] { start(); });
    // The options dialog sets both on the server; what it changed is kept at the end of the run
    // (a list that did not read stays as it was written until then).
    host.WhenStopping(
        server_, [this, &reg, hosts = server_->allowedHosts(), readOnly = server_->readOnly()] {
            server_->close();
            if (server_->allowedHosts() != hosts)
                reg.RegSave(appKey(), QString(), HostsValue, server_->allowedHosts());
            if (server_->readOnly() != readOnly)
                reg.RegSave(appKey(), QString(), ReadOnlyValue, server_->readOnly() ? 1 : 0);
        });
    host.AddServerOption({[this](QString* at) { return RigctldSetting(host_.registry(), at); },
                          [this](bool on, const QString& at, QString* error) {
                              return ApplyRigctld(host_, host_.registry(), on, at, error);
                          }});
}

void NetRoom::start() {
    Registry& reg = host_.registry();
    const bool on =
        choice_.given || reg.RegGet(appKey(), QString(), OnValue, QVariant(int(0))).toInt() == 1;
    if (!on) return;
    const QString at = choice_.given
                           ? choice_.value
                           : reg.RegGet(appKey(), QString(), AtValue, QString()).toString();
    {
        QHostAddress address;
        quint16 port = 0;
        QString error;
        if (parseRigctldOption(at, &address, &port, &error) &&
            server_->listen(address, port, &error))
            return;
        // Not fatal: the program works on without it.
        qWarning("%s", qUtf8Printable(error));
        auto* box = new QMessageBox(QMessageBox::Warning, host_.Title(), error, QMessageBox::Ok,
                                    &host_.window());
        box->setAttribute(Qt::WA_DeleteOnClose);
        box->setWindowModality(Qt::NonModal);
        box->show();
    }
}

bool ApplyRigctld(RoomHost& host, Registry& reg, bool on, const QString& at, QString* error) {
    auto* server = host.window().findChild<RigctlServer*>();
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
