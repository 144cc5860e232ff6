#pragma once

#include <QDBusConnection>
#include <QObject>
#include <QString>

#include <memory>

class QDBusServiceWatcher;

namespace ddebus {
class TopicObject;
}

// The database's side of the conversation, as the command-line companion plays it: offers the
// database's topic "Main" with its item DDEDb2Ct, opens the conversation with the program,
// reports every message the program publishes, and publishes the texts it is given once the
// program has linked back. A script can also hand it texts with the Poke method of its topic.
class DatabasePeer : public QObject {
    Q_OBJECT
public:
    explicit DatabasePeer(QDBusConnection bus, QObject* parent = nullptr);
    ~DatabasePeer() override;

    // Offers the database side as `name` and listens to the program `programApp`. False with
    // `error` set when the bus refuses (the name is taken, no bus).
    bool Start(const QString& name, const QString& programApp, QString* error);
    // Opens the conversation with the program's topic; a program not on the bus yet is waited
    // for, and a program that comes back is opened again.
    void Open();
    // Ends the conversation (waits for the program's answer, so every text sent before has
    // reached it).
    void Close();
    // Publishes a text on the item; false with `error` set when it is no acceptable message.
    bool Send(const QString& text, QString* error = nullptr);
    // The program has read the item since the conversation opened: it is linked back and hears
    // what is sent.
    bool Linked() const { return linked_; }
    QString ProgramService() const { return program_; }

signals:
    // A message the program published.
    void Message(const QString& text);
    void Opened();
    void LinkedChanged(bool linked);
    // The program refused the conversation.
    void OpenFailed(const QString& why);

private slots:
    void onProgramText(const QString& text);

private:
    void setLinked(bool linked);

    QDBusConnection bus_;
    QString service_;
    QString program_;
    QString programOwner_;
    std::unique_ptr<ddebus::TopicObject> topic_;
    QDBusServiceWatcher* watcher_ = nullptr;
    bool open_ = false;
    bool opening_ = false;
    bool linked_ = false;
};
