#pragma once

#include <QCoreApplication>
#include <QDBusConnection>
#include <QObject>
#include <QSet>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>

class Nrd535;
class Panel;
class QDBusServiceWatcher;
class QTimer;

namespace ddebus {
class TopicObject;
}

// The program's side of the conversation with the companion database, on the session bus (the
// mapping is in link/README.md). The database opens the conversation with the topic "Main";
// the program then links back to the database's item on the TimDDE cycle (first try 2.26 s
// after the opening, then every 3.02 s until it holds). Received "S" messages tune the receiver
// through the panel; Search, Store and the database scan publish "L", "R" and "N" messages.
class DatabaseLink : public QObject {
    Q_OBJECT
public:
    static constexpr int FirstTryMs = 2260;
    static constexpr int RetryMs = 3020;
    static constexpr int LinkedMs = 20000;
    static constexpr int LinkTimeoutMs = 2000;

    DatabaseLink(Panel& panel, Nrd535& receiver, QObject* parent = nullptr);
    ~DatabaseLink() override;

    // Offers the topic on `bus` under the service of appName; databasePath is "DDE_Database".
    // Without a bus, or with the name already taken, prints one line on standard error and
    // returns false: the program then runs without the link.
    bool Start(const QString& databasePath,
               const QString& appName = QCoreApplication::applicationName(),
               QDBusConnection bus = QDBusConnection::sessionBus());
    // Shutdown: TimDDE stopped, the link dropped, the topic and the service given up.
    void Stop();
    bool Active() const { return topic_ != nullptr; }
    // The database's application name and bus service the link goes back to.
    QString DatabaseName() const { return database_; }
    QString DatabaseService() const;

    bool Linked() const { return linked_; }
    bool LinkPending() const { return linkPending_; }

    // TimDDE: interval in ms, 0 stopped. With the timer not running (tests), nothing ticks on
    // its own: call TimDDE_Timer and read TimDDEInterval.
    int TimDDEInterval() const { return interval_; }
    void SetTimerRunning(bool running);
    // One tick: the retry step. The link attempt answers later (LinkAttemptRunning() until then)
    // so the window never waits on the database.
    void TimDDE_Timer();
    bool LinkAttemptRunning() const { return attempt_ != nullptr; }

    // wanted false drops the link (done(false) at once); wanted true with the link up reports
    // done(true) at once; otherwise subscribes to the database's item and checks within
    // LinkTimeoutMs that it answers; done(true) once it does, done(false) on any error.
    void ConnectDatabaseLink(bool wanted, const std::function<void(bool linked)>& done);

    // The receive step for one text of the database's item: "S" with the receiver link up tunes
    // and sets mode, filter and AGC, as one unit; anything else changes nothing. "S" messages
    // that come faster than the line carries the commands of one wait in a single place, each
    // newer one taking the older one's: only the newest is applied once the line is free.
    void DDEDb2Ct_Change(const QString& text);
    // Line time of one message's commands at the receiver's speed ("F", "D", "B", "W", "G").
    int MessageLineMs() const;
    // An "S" message waits for the line.
    bool MessageWaiting() const { return !waiting_.isEmpty(); }

    // Publishes a message built from the receiver's frequency, mode, filter and AGC and the
    // record counter. Refused (false, nothing published) while the receiver is not connected:
    // its fields say nothing then.
    bool Send(QChar command);
    bool Search() { return Send(QLatin1Char('L')); }
    bool Store() { return Send(QLatin1Char('R')); }
    // One step of the database scan: asks for the next record ("N") and counts the request.
    void RequestNext();
    // The last message published.
    QString DDECt2Db() const;

    // The record counter sent as the last field (16-bit; wraps to 0 after 32767).
    int DatabaseRecord() const { return databaseRecord_; }
    void DatabaseRecord(int value);

signals:
    // The database link came up or went down: the panel shows the database image and enables
    // Store and Search while it is up.
    void DbLinkedChanged(bool linked);
    // A message was published.
    void Published(const QString& text);
    // A text of the database's item went through the receive step.
    void Received(const QString& text);

private slots:
    void onDatabaseText(const QString& text);

private:
    QDBusMessage onCall(const QDBusMessage& call);
    void linkOpened(const QString& client);
    void linkClosed();
    void setInterval(int ms);
    void finishAttempt(bool ok);
    void unsubscribe();
    void applyMessage(const QString& frequency, const QString& mode, const QString& filter,
                      const QString& agc);
    void applyWaiting();

    Panel& panel_;
    Nrd535& receiver_;
    QDBusConnection bus_;
    QString service_;
    QString database_;
    std::unique_ptr<ddebus::TopicObject> topic_;
    QDBusServiceWatcher* watcher_ = nullptr;
    QTimer* timer_ = nullptr;
    // The line is busy with the last message applied until this timer runs out.
    QTimer* lineFree_ = nullptr;
    QStringList waiting_; // frequency, mode, filter, AGC of the newest message held back
    QObject* attempt_ = nullptr;
    QSet<QString> clients_;
    bool subscribed_ = false;
    bool timerRunning_ = true;
    int interval_ = 0;
    bool linked_ = false;
    bool linkPending_ = false;
    int databaseRecord_ = 0;
    QString published_;
};
