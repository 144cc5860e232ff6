#include "link/database_peer.h"

#include "link/link_bus.h"

#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusServiceWatcher>

namespace {
const QString PeerMethods = QStringLiteral(
    "  <method name=\"Poke\"><arg name=\"text\" type=\"s\" direction=\"in\"/></method>\n");
}

DatabasePeer::DatabasePeer(QDBusConnection bus, QObject* parent)
    : QObject(parent), bus_(std::move(bus)) {}

DatabasePeer::~DatabasePeer() {
    if (topic_) {
        bus_.unregisterObject(QLatin1String(ddebus::TopicPath));
        bus_.unregisterService(service_);
    }
}

bool DatabasePeer::Start(const QString& name, const QString& programApp, QString* error) {
    if (!bus_.isConnected()) {
        if (error) *error = QStringLiteral("no session bus: ") + bus_.lastError().message();
        return false;
    }
    service_ = ddebus::ServiceName(name);
    program_ = ddebus::ServiceName(programApp);
    topic_ =
        std::make_unique<ddebus::TopicObject>(QLatin1String(ddebus::DatabaseItem), PeerMethods);
    topic_->call = [this](const QDBusMessage& call) {
        const QList<QVariant> args = call.arguments();
        if (call.member() == QLatin1String("Poke") && args.size() == 1 &&
            args.at(0).typeId() == QMetaType::QString) {
            QString why;
            if (!Send(args.at(0).toString(), &why))
                return call.createErrorReply(QLatin1String(ddebus::ErrorBadText), why);
            return call.createReply();
        }
        return call.createErrorReply(
            QDBusError::UnknownMethod,
            QStringLiteral("no method %1 with these arguments").arg(call.member()));
    };
    topic_->itemRead = [this](const QString& reader) {
        if (open_ && !programOwner_.isEmpty() && reader == programOwner_) setLinked(true);
    };
    if (!bus_.registerVirtualObject(QLatin1String(ddebus::TopicPath), topic_.get()) ||
        !bus_.registerService(service_)) {
        bus_.unregisterObject(QLatin1String(ddebus::TopicPath));
        topic_.reset();
        if (error) *error = QStringLiteral("%1 is already taken on the session bus").arg(service_);
        return false;
    }
    bus_.connect(program_, QLatin1String(ddebus::TopicPath), QLatin1String(ddebus::Interface),
                 QLatin1String(ddebus::ProgramItem), this, SLOT(onProgramText(QString)));
    watcher_ =
        new QDBusServiceWatcher(program_, bus_, QDBusServiceWatcher::WatchForOwnerChange, this);
    connect(watcher_, &QDBusServiceWatcher::serviceOwnerChanged, this,
            [this](const QString&, const QString&, const QString& newOwner) {
                // The program left (or was replaced): that conversation is over.
                open_ = false;
                programOwner_.clear();
                setLinked(false);
                if (!newOwner.isEmpty()) Open();
            });
    return true;
}

void DatabasePeer::Open() {
    if (!topic_ || open_ || opening_) return;
    const QString owner = bus_.interface()->serviceOwner(program_).value();
    if (owner.isEmpty()) return; // not there yet: the watcher opens when it arrives
    QDBusMessage open =
        QDBusMessage::createMethodCall(program_, QLatin1String(ddebus::TopicPath),
                                       QLatin1String(ddebus::Interface), QStringLiteral("Open"));
    open << QLatin1String(ddebus::TopicName);
    opening_ = true;
    auto* pending = new QDBusPendingCallWatcher(bus_.asyncCall(open), this);
    connect(pending, &QDBusPendingCallWatcher::finished, this, [this, pending, owner] {
        pending->deleteLater();
        opening_ = false;
        if (pending->isError()) {
            emit OpenFailed(pending->error().message());
            return;
        }
        programOwner_ = owner;
        open_ = true;
        emit Opened();
    });
}

void DatabasePeer::Close() {
    if (!open_) return;
    open_ = false;
    setLinked(false);
    QDBusMessage close =
        QDBusMessage::createMethodCall(program_, QLatin1String(ddebus::TopicPath),
                                       QLatin1String(ddebus::Interface), QStringLiteral("Close"));
    bus_.call(close, QDBus::Block, 2000);
}

bool DatabasePeer::Send(const QString& text, QString* error) {
    if (!ddebus::AcceptableText(text, error)) return false;
    if (!topic_) {
        if (error) *error = QStringLiteral("not on the bus");
        return false;
    }
    topic_->SetText(bus_, text);
    return true;
}

void DatabasePeer::onProgramText(const QString& text) {
    emit Message(text);
}

void DatabasePeer::setLinked(bool linked) {
    if (linked == linked_) return;
    linked_ = linked;
    emit LinkedChanged(linked);
}
