#include "driver_calls.h"

#include <ostry/nrd535.h>

#include <QStringList>

namespace nrd535sim {

using namespace ostry;

bool callDriver(Nrd535& rx, const QString& text, QString* result) {
    const QStringList w = text.simplified().split(u' ', Qt::SkipEmptyParts);
    if (w.isEmpty()) return false;
    auto a = [&](int i) { return w.value(i).toDouble(); };
    auto give = [result](bool v) {
        if (result) *result = v ? QStringLiteral("1") : QStringLiteral("0");
    };
    if (result) result->clear();
    const QString& m = w[0];
    if (m == u"Fr")
        rx.Fr(a(1));
    else if (m == u"MD")
        rx.MD(ostry::MD(a(1)));
    else if (m == u"FT")
        rx.FT(ostry::FT(a(1)));
    else if (m == u"AG")
        rx.AG(ostry::AG(a(1)));
    else if (m == u"AT")
        rx.AT(ONOFF(a(1)));
    else if (m == u"NB")
        rx.NB(qint16(a(1)));
    else if (m == u"Hook")
        rx.Hook(a(1) != 0);
    else if (m == u"FTUpd")
        rx.FTUpd();
    else if (m == u"NBUpd")
        rx.NBUpd();
    else if (m == u"SMUpd")
        rx.SMUpd();
    else if (m == u"SQUpd")
        rx.SQUpd();
    else if (m == u"Raz")
        rx.Raz(qint16(a(1)));
    else if (m == u"Dump")
        rx.Dump(qint16(a(1)));
    else if (m == u"CHUpd")
        give(rx.CHUpd(qint16(a(1)), qint16(a(2))));
    else if (m == u"Save")
        rx.Save(qint16(a(1)), a(2), ostry::MD(a(3)), ostry::FT(a(4)), ostry::AG(a(5)), ONOFF(a(6)));
    else if (m == u"Conn")
        give(rx.Conn());
    else if (m == u"Disc")
        give(rx.Disc());
    else
        return false;
    return true;
}

QString driverCallUsage() {
    return QStringLiteral("Fr HZ | MD n | FT n | AG n | AT n | NB n | Hook 0/1 | FTUpd | NBUpd | "
                          "SMUpd | SQUpd | CHUpd A B | Save N HZ MD FT AG AT | Dump N | Raz L | "
                          "Conn | Disc");
}

} // namespace nrd535sim
