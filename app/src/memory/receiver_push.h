#pragma once

#include "settings/records.h"

#include <QElapsedTimer>
#include <QList>
#include <QObject>
#include <QPointer>

class Nrd535;
class QTimer;

// Writes table rows into the receiver's memory channels, one "K" line per row, paced at the
// line's speed: a row goes out when the one before it has had its time on the wire, so the
// window's events run between rows and the push never queues seconds of output ahead of the
// receiver. Done when the last row's bytes have had their time.
class ReceiverPush : public QObject {
    Q_OBJECT
public:
    struct Item {
        int channel;
        MemoryRecord record;
    };

    // auxFitted: a bandwidth preset wider than Wide maps to Aux (see ReceiverFilterFor).
    ReceiverPush(Nrd535& rx, QList<Item> items, bool auxFitted, QObject* parent = nullptr);

    void Start();
    // Stops before the next row; finished() follows.
    void Cancel();
    bool Running() const { return running_; }

    // Milliseconds one command line of `bytes` characters (its CR included) takes at `baud`.
    static double LineMs(qsizetype bytes, int baud);
    // The speed from the driver's "Baud" text ("4800" or "4800,N,8,1"); 4800 when unreadable.
    static int BaudOf(const QString& baudText);
    // The wire line of one item, without its CR (what the driver's Save sends).
    QByteArray LineOf(const Item& item) const;

signals:
    // The row of item index is being written (the grid follows it; the panel shows it).
    void rowSent(int index, int channel);
    void finished(bool cancelled);

private:
    void sendDue();

    QPointer<Nrd535> rx_;
    QList<Item> items_;
    bool auxFitted_;
    int baud_ = 4800;
    qsizetype next_ = 0;
    double dueMs_ = 0; // when the line is free again, from the start
    bool running_ = false;
    bool cancelled_ = false;
    QElapsedTimer clock_;
    QTimer* timer_;
};
