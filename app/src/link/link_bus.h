#pragma once

// How the conversation with the database maps onto the session bus. Each side owns the service
// DdeServicePrefix + its application name and exports its topic "Main" as the object /Main with
// the interface DdeInterface. The item a side publishes is a string property of that interface
// whose every change is also sent as a signal of the item's name carrying the new text.

#include <QDBusConnection>
#include <QDBusVirtualObject>
#include <QString>

#include <functional>

namespace ddebus {

inline constexpr char ServicePrefix[] = "org.dunmore.dde.";
inline constexpr char Interface[] = "org.dunmore.dde.Conversation";
inline constexpr char TopicName[] = "Main";
inline constexpr char TopicPath[] = "/Main";
// The program's item (what it publishes) and the database's item (what it reads).
inline constexpr char ProgramItem[] = "DDECt2Db";
inline constexpr char DatabaseItem[] = "DDEDb2Ct";

// Error replies.
inline constexpr char ErrorRefused[] = "org.dunmore.dde.Error.Refused";
inline constexpr char ErrorNoTopic[] = "org.dunmore.dde.Error.NoTopic";
inline constexpr char ErrorBadText[] = "org.dunmore.dde.Error.BadText";

// A message is short; anything longer, or with control characters (a message is one line), is
// refused.
inline constexpr int MaxMessageLength = 255;
bool AcceptableText(const QString& text, QString* why = nullptr);

// The bus name of an application: the prefix and the name with every character a bus name
// cannot hold replaced by "_" ("Morrowby" gives org.dunmore.dde.Morrowby).
QString ServiceName(const QString& appName);

// The /Main object of one side: answers the property interface for its item, introspection,
// and hands the calls of its own interface to `call`.
class TopicObject : public QDBusVirtualObject {
    Q_OBJECT
public:
    // `methodsXml`: the <method> elements of the side's own methods, for introspection.
    TopicObject(const QString& item, const QString& methodsXml, QObject* parent = nullptr);

    QString Text() const { return text_; }
    // Stores the item's new text and announces it: the item's signal and PropertiesChanged.
    void SetText(QDBusConnection& bus, const QString& text);

    // A call of the side's own interface; returns the reply to send (createReply or
    // createErrorReply of the call).
    std::function<QDBusMessage(const QDBusMessage& call)> call;
    // Someone read the item (Get or GetAll); the argument is the caller's unique name.
    std::function<void(const QString& reader)> itemRead;

    QString introspect(const QString& path) const override;
    bool handleMessage(const QDBusMessage& message, const QDBusConnection& connection) override;

private:
    QString item_;
    QString methodsXml_;
    QString text_;
};

} // namespace ddebus
