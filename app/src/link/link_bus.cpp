#include "link/link_bus.h"

#include <QDBusMessage>
#include <QDBusVariant>
#include <QVariantMap>

namespace ddebus {

namespace {
const QString PropertiesInterface = QStringLiteral("org.freedesktop.DBus.Properties");
}

bool AcceptableText(const QString& text, QString* why) {
    if (text.size() > MaxMessageLength) {
        if (why) *why = QStringLiteral("message longer than %1 characters").arg(MaxMessageLength);
        return false;
    }
    for (QChar c : text) {
        if (c.unicode() < 0x20 || c.unicode() == 0x7f) {
            if (why) *why = QStringLiteral("message holds a control character");
            return false;
        }
    }
    return true;
}

QString ServiceName(const QString& appName) {
    QString element;
    for (QChar c : appName) {
        const bool ok = (c >= QLatin1Char('a') && c <= QLatin1Char('z')) ||
                        (c >= QLatin1Char('A') && c <= QLatin1Char('Z')) ||
                        (c >= QLatin1Char('0') && c <= QLatin1Char('9')) || c == QLatin1Char('_');
        element += ok ? c : QLatin1Char('_');
    }
    // An element may not be empty or start with a digit.
    if (element.isEmpty() || element.at(0).isDigit()) element.prepend(QLatin1Char('_'));
    return QLatin1String(ServicePrefix) + element;
}

TopicObject::TopicObject(const QString& item, const QString& methodsXml, QObject* parent)
    : QDBusVirtualObject(parent), item_(item), methodsXml_(methodsXml) {}

void TopicObject::SetText(QDBusConnection& bus, const QString& text) {
    text_ = text;
    if (!bus.isConnected()) return;
    QDBusMessage changed =
        QDBusMessage::createSignal(QLatin1String(TopicPath), QLatin1String(Interface), item_);
    changed << text;
    bus.send(changed);
    QDBusMessage props = QDBusMessage::createSignal(QLatin1String(TopicPath), PropertiesInterface,
                                                    QStringLiteral("PropertiesChanged"));
    props << QLatin1String(Interface) << QVariantMap{{item_, text}} << QStringList{};
    bus.send(props);
}

QString TopicObject::introspect(const QString&) const {
    return QStringLiteral("<interface name=\"%1\">\n"
                          "  <property name=\"%2\" type=\"s\" access=\"read\"/>\n"
                          "  <signal name=\"%2\"><arg name=\"text\" type=\"s\"/></signal>\n"
                          "%3</interface>\n")
        .arg(QLatin1String(Interface), item_, methodsXml_);
}

bool TopicObject::handleMessage(const QDBusMessage& message, const QDBusConnection& connection) {
    if (message.type() != QDBusMessage::MethodCallMessage) return false;
    QDBusConnection bus = connection;
    const QString iface = message.interface();
    const QString member = message.member();
    const QList<QVariant> args = message.arguments();

    if (iface == PropertiesInterface) {
        const bool ours = !args.isEmpty() && args.at(0).toString() == QLatin1String(Interface);
        if (member == QLatin1String("Get") && args.size() == 2 && ours &&
            args.at(1).toString() == item_) {
            bus.send(message.createReply(QVariant::fromValue(QDBusVariant(text_))));
            if (itemRead) itemRead(message.service());
        } else if (member == QLatin1String("GetAll") && args.size() == 1) {
            QVariantMap all;
            if (ours) all.insert(item_, text_);
            bus.send(message.createReply(all));
            if (ours && itemRead) itemRead(message.service());
        } else if (member == QLatin1String("Set")) {
            bus.send(message.createErrorReply(QDBusError::PropertyReadOnly,
                                              QStringLiteral("%1 is read-only").arg(item_)));
        } else {
            bus.send(message.createErrorReply(QDBusError::UnknownProperty,
                                              QStringLiteral("no such property on this topic")));
        }
        return true;
    }
    if (iface.isEmpty() || iface == QLatin1String(Interface)) {
        if (call) {
            bus.send(call(message));
            return true;
        }
    }
    return false;
}

} // namespace ddebus
