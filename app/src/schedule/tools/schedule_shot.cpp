// Saves a picture of the "On the air now" window over a small made-up schedule at a fixed
// time: schedule-shot FILE.png. Used for the README's screenshot (run it under Xvfb).

#include "schedule/schedule.h"
#include "schedule/ui/on_air_window.h"

#include <QApplication>
#include <QPixmap>
#include <QTableView>
#include <QTimeZone>
#include <QTimer>

#include <cstdio>

namespace {

// Invented stations on typical evening frequencies; no entry of any published schedule.
const QByteArray Demo =
    "kHz:75;Time(UTC):93;Days:59;ITU:49;Station:201;Lng:49;Target:62;Remarks:135;P:35;Start:60;"
    "Stop:60;\r\n"
    "5955;1800-1900;;HOL;Radio Example;E;Eu;Site A;1;;\r\n"
    "5960;1700-2000;Mo-Fr;D;Sample Welle;D;Eu;Site B;1;;\r\n"
    "6070;0000-2400;;CAN;Demo Radio 6070;E;NAm;Site C;1;;\r\n"
    "6115;1830-1930;;COG;Radio Specimen;F;CAf;Site D;2;;\r\n"
    "7325;1800-1900;Sa,Su;G;World Test Service;E;WAf;/CYP;1;;\r\n"
    "9410;1700-2000;;G;World Test Service;E;Eu;Site E;1;;\r\n"
    "9420;1800-2000;;GRC;Fon\xEC tis Dokim\xEDs;Gr;Eu;Site F;1;;\r\n"
    "9635;1830-1900;irr;MLI;Radio Placeholder;F;WAf;Site G;3;;\r\n"
    "11780;1800-2100;;B;Radio Amostra;P;SAm;Site H;1;;\r\n"
    "15120;1800-1900;;NIG;Voice of Example;Ha;WAf;Site J;1;;\r\n"
    "15190;1800-2000;Th-Tu;GNE;Radio Muestra;S;Af;Site K;2;;\r\n";

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: schedule-shot FILE.png\n");
        return 2;
    }
    Schedule sked;
    if (!sked.Parse(Demo).Ok) return 1;
    const QDateTime at(QDate(2025, 12, 2), QTime(18, 45), QTimeZone::utc());
    OnAirWindow w(nullptr, [at] { return at; });
    w.SetSchedule(&sked);
    w.resize(780, 360);
    w.Table()->resizeColumnsToContents();
    w.show();
    // Once the window has been laid out and painted.
    const QString path = QString::fromLocal8Bit(argv[1]);
    QTimer::singleShot(200, &w, [&] { QApplication::exit(w.grab().save(path) ? 0 : 1); });
    return QApplication::exec();
}
