#include "link/database_link.h"

#include "core/panel.h"
#include "link/database_message.h"
#include "link/link_bus.h"
#include "settings/registry.h"

#include <ostry/nrd535.h>

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusServiceWatcher>
#include <QDBusVariant>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <utility>

namespace {

const QString PropertiesInterface = QStringLiteral("org.freedesktop.DBus.Properties");

const QString ProgramMethods = QStringLiteral(
    "  <method name=\"Open\"><arg name=\"topic\" type=\"s\" direction=\"in\"/></method>\n"
    "  <method name=\"Close\"/>\n"
    "  <method name=\"Execute\"><arg name=\"command\" type=\"s\" direction=\"in\"/></method>\n");

// Frequencies a received message may tune to (hertz): the receiver's range. 0 is the empty
// field, which the driver maps to its own default.
constexpr double HighestHz = 29999999;

void offLine(const QString& why) {
    std::fprintf(stderr, "kelvane: the database link is off: %s\n", qPrintable(why));
}

} // namespace

DatabaseLink::DatabaseLink(Panel& panel, Nrd535& receiver, QObject* parent)
    : QObject(parent), panel_(panel), receiver_(receiver),
      bus_(QDBusConnection(QStringLiteral("kelvane-no-link"))), timer_(new QTimer(this)),
      lineFree_(new QTimer(this)) {
    connect(timer_, &QTimer::timeout, this, &DatabaseLink::TimDDE_Timer);
    lineFree_->setSingleShot(true);
    lineFree_->setTimerType(Qt::PreciseTimer);
    connect(lineFree_, &QTimer::timeout, this, &DatabaseLink::applyWaiting);
}

DatabaseLink::~DatabaseLink() {
    Stop();
}

QString DatabaseLink::DatabaseService() const {
    return ddebus::ServiceName(database_);
}

bool DatabaseLink::Start(const QString& databasePath, const QString& appName, QDBusConnection bus) {
    Stop();
    database_ = DatabaseAppName(databasePath);
    if (!bus.isConnected()) {
        const QString error = bus.lastError().message();
        offLine(QStringLiteral("no session bus") +
                (error.isEmpty() ? QString() : QStringLiteral(" (") + error + QLatin1Char(')')));
        return false;
    }
    const QString service = ddebus::ServiceName(appName);
    auto topic =
        std::make_unique<ddebus::TopicObject>(QLatin1String(ddebus::ProgramItem), ProgramMethods);
    topic->call = [this](const QDBusMessage& call) { return onCall(call); };
    if (!bus.registerVirtualObject(QLatin1String(ddebus::TopicPath), topic.get())) {
        offLine(QStringLiteral("the topic %1 is already offered on this connection")
                    .arg(QLatin1String(ddebus::TopicPath)));
        return false;
    }
    if (!bus.registerService(service)) {
        bus.unregisterObject(QLatin1String(ddebus::TopicPath));
        offLine(QStringLiteral("%1 is already taken on the session bus (another Kelvane?)")
                    .arg(service));
        return false;
    }
    bus_ = bus;
    service_ = service;
    topic_ = std::move(topic);
    watcher_ = new QDBusServiceWatcher(this);
    watcher_->setConnection(bus_);
    watcher_->setWatchMode(QDBusServiceWatcher::WatchForUnregistration);
    connect(watcher_, &QDBusServiceWatcher::serviceUnregistered, this, [this](const QString& name) {
        if (clients_.remove(name)) {
            watcher_->removeWatchedService(name);
            if (clients_.isEmpty()) linkClosed();
        } else if (name == DatabaseService() && (linked_ || linkPending_)) {
            linkClosed();
        }
    });
    watcher_->addWatchedService(DatabaseService());
    return true;
}

void DatabaseLink::Stop() {
    setInterval(0);
    lineFree_->stop();
    waiting_.clear();
    delete attempt_;
    attempt_ = nullptr;
    unsubscribe();
    linked_ = false;
    linkPending_ = false;
    clients_.clear();
    delete watcher_;
    watcher_ = nullptr;
    if (topic_) {
        bus_.unregisterObject(QLatin1String(ddebus::TopicPath));
        bus_.unregisterService(service_);
        topic_.reset();
    }
}

void DatabaseLink::SetTimerRunning(bool running) {
    timerRunning_ = running;
    setInterval(interval_);
}

void DatabaseLink::setInterval(int ms) {
    interval_ = ms;
    if (timerRunning_ && ms > 0)
        timer_->start(ms);
    else
        timer_->stop();
}

QDBusMessage DatabaseLink::onCall(const QDBusMessage& call) {
    const QString member = call.member();
    const QList<QVariant> args = call.arguments();
    const bool oneText = args.size() == 1 && args.at(0).typeId() == QMetaType::QString;
    if (member == QLatin1String("Open") && oneText) {
        if (args.at(0).toString().compare(QLatin1String(ddebus::TopicName), Qt::CaseInsensitive))
            return call.createErrorReply(
                QLatin1String(ddebus::ErrorNoTopic),
                QStringLiteral("no topic \"%1\"; the topic is \"%2\"")
                    .arg(args.at(0).toString().left(64), QLatin1String(ddebus::TopicName)));
        linkOpened(call.service());
        return call.createReply();
    }
    if (member == QLatin1String("Close") && args.isEmpty()) {
        if (clients_.remove(call.service())) {
            watcher_->removeWatchedService(call.service());
            if (clients_.isEmpty()) linkClosed();
        }
        return call.createReply();
    }
    if (member == QLatin1String("Execute") && oneText)
        return call.createErrorReply(QLatin1String(ddebus::ErrorRefused),
                                     QStringLiteral("Kelvane executes no commands"));
    return call.createErrorReply(QDBusError::UnknownMethod,
                                 QStringLiteral("no method %1 with these arguments").arg(member));
}

void DatabaseLink::linkOpened(const QString& client) {
    clients_.insert(client);
    watcher_->addWatchedService(client);
    // A link back already on its way, or made, keeps its cycle: a peer calling Open again and
    // again must not keep putting off the first attempt.
    if (linkPending_ || linked_) return;
    linkPending_ = true;
    setInterval(FirstTryMs);
}

void DatabaseLink::linkClosed() {
    // An attempt still on its way no longer matters: the conversation it was for is over.
    delete attempt_;
    attempt_ = nullptr;
    for (const QString& client : std::as_const(clients_)) watcher_->removeWatchedService(client);
    clients_.clear();
    linkPending_ = false;
    setInterval(0);
    ConnectDatabaseLink(false, [](bool) {});
    emit DbLinkedChanged(false);
}

void DatabaseLink::TimDDE_Timer() {
    if (!linkPending_ || attempt_) return;
    setInterval(0);
    ConnectDatabaseLink(true, [this](bool ok) { finishAttempt(ok); });
}

void DatabaseLink::finishAttempt(bool ok) {
    if (ok) {
        linkPending_ = false;
        emit DbLinkedChanged(true);
        setInterval(LinkedMs);
    } else {
        setInterval(RetryMs);
    }
}

void DatabaseLink::ConnectDatabaseLink(bool wanted, const std::function<void(bool)>& done) {
    if (!wanted) {
        linked_ = false;
        unsubscribe();
        done(false);
        return;
    }
    if (linked_) {
        done(true);
        return;
    }
    if (!bus_.isConnected()) {
        done(false);
        return;
    }
    const QString service = DatabaseService();
    const QString path = QLatin1String(ddebus::TopicPath);
    const QString iface = QLatin1String(ddebus::Interface);
    // Subscribe first: the database sees our question only after the subscription is in place,
    // so nothing it sends once it has answered is lost.
    if (!subscribed_)
        subscribed_ = bus_.connect(service, path, iface, QLatin1String(ddebus::DatabaseItem), this,
                                   SLOT(onDatabaseText(QString)));
    QDBusMessage get =
        QDBusMessage::createMethodCall(service, path, PropertiesInterface, QStringLiteral("Get"));
    get << iface << QLatin1String(ddebus::DatabaseItem);
    auto* pending = new QDBusPendingCallWatcher(bus_.asyncCall(get, LinkTimeoutMs), this);
    attempt_ = pending;
    connect(pending, &QDBusPendingCallWatcher::finished, this, [this, pending, done] {
        attempt_ = nullptr;
        pending->deleteLater();
        const QDBusMessage reply = pending->reply();
        const bool ok =
            !pending->isError() && reply.arguments().size() == 1 &&
            reply.arguments().at(0).value<QDBusVariant>().variant().typeId() == QMetaType::QString;
        if (ok)
            linked_ = true;
        else
            unsubscribe();
        done(ok);
    });
}

void DatabaseLink::unsubscribe() {
    if (!subscribed_) return;
    bus_.disconnect(DatabaseService(), QLatin1String(ddebus::TopicPath),
                    QLatin1String(ddebus::Interface), QLatin1String(ddebus::DatabaseItem), this,
                    SLOT(onDatabaseText(QString)));
    subscribed_ = false;
}

void DatabaseLink::onDatabaseText(const QString& text) {
    DDEDb2Ct_Change(text);
}

void DatabaseLink::DDEDb2Ct_Change(const QString& text) {
    DatabaseMessage message;
    if (ddebus::AcceptableText(text) && ParseDatabaseMessage(text, message) == 'S' &&
        panel_.State().Connected) {
        if (lineFree_->isActive()) {
            // The line still carries the last message: this one waits, in place of any older.
            waiting_ = {message.Frequency, message.Mode, message.Filter, message.Agc};
        } else {
            applyMessage(message.Frequency, message.Mode, message.Filter, message.Agc);
        }
    }
    emit Received(text);
}

int DatabaseLink::MessageLineMs() const {
    // "F" and eight digits, "D", "B" and "G" with a digit, "W" and four digits, each with its
    // carriage return; ten bits a character.
    constexpr int MessageBytes = 10 + 3 + 3 + 3 + 6;
    const int baud = std::max(300, receiver_.Baud().toInt());
    return std::max(1, (1000 * MessageBytes * 10 + baud - 1) / baud);
}

void DatabaseLink::applyMessage(const QString& frequency, const QString& mode,
                                const QString& filter, const QString& agc) {
    lineFree_->start(MessageLineMs());
    const double hz = Registry::LenientNumber(frequency);
    // A frequency the receiver cannot take is not sent; the settings still are.
    if (hz >= 0 && hz <= HighestHz) panel_.TuneTo(hz, true, true, true);
    panel_.ShowMode(ModeCodeFromName(mode), true);
    panel_.ShowFilter(FilterCodeFromName(filter), true);
    panel_.ShowAgc(AgcCodeFromName(agc), true);
}

void DatabaseLink::applyWaiting() {
    if (waiting_.isEmpty()) return;
    const QStringList m = std::exchange(waiting_, {});
    // The receiver link may have gone down while the message waited.
    if (panel_.State().Connected) applyMessage(m[0], m[1], m[2], m[3]);
}

bool DatabaseLink::Send(QChar command) {
    if (!receiver_.Connected() || !panel_.State().Connected) return false;
    const QString text = BuildDatabaseMessage(
        command, receiver_.Fr() / 1000, ModeNameFromCode(static_cast<int>(receiver_.MD())),
        FilterNameFromCode(static_cast<int>(receiver_.FT())),
        AgcNameFromCode(static_cast<int>(receiver_.AG())), databaseRecord_);
    published_ = text;
    if (topic_) topic_->SetText(bus_, text);
    emit Published(text);
    return true;
}

void DatabaseLink::RequestNext() {
    if (Send(QLatin1Char('N'))) DatabaseRecord(databaseRecord_ + 1);
}

QString DatabaseLink::DDECt2Db() const {
    return published_;
}

void DatabaseLink::DatabaseRecord(int value) {
    databaseRecord_ = value < 0 || value > 32767 ? 0 : value;
}
