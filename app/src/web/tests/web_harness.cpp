// The program's window on the receiver simulator on a pseudo-terminal, with the web page on a
// free loopback port, for the browser test and the benchmark. Prints the page's address, then
// "WIRE <ms since the epoch> <line>" for every command line the simulator receives and
// "PANEL <ms> HZ" when the front panel is turned. Reads
// commands on standard input: "panel HZ" (the front panel's knob), "hold" (take the receiver
// under remote control as the U key does), "quit".
#include "settings/registry.h"
#include "ui/main_window.h"
#include "ui/rooms.h"
#include "web/web_wiring.h"

#include <nrd535sim/simulator.h>
#include <ostry/nrd535.h>
#include <ostry/serialline.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QSocketNotifier>
#include <QTemporaryDir>

#include <chrono>
#include <cstdio>
#include <unistd.h>

namespace {
double nowMs() {
    using namespace std::chrono;
    return double(duration_cast<microseconds>(system_clock::now().time_since_epoch()).count()) /
           1000.0;
}
void out(const QByteArray& line) {
    std::fwrite(line.constData(), 1, size_t(line.size()), stdout);
    std::fflush(stdout);
}
} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QTemporaryDir dir;
    if (!dir.isValid()) return 1;
    QDir::setCurrent(dir.path());
    nrd535sim::Simulator sim;
    QString error;
    if (!sim.start(dir.filePath(QStringLiteral("ttySIM")), &error)) {
        std::fprintf(stderr, "simulator: %s\n", qPrintable(error));
        return 1;
    }
    ostry::setPortDevice(1, sim.path());
    // Extra hive lines from the command line, e.g. "\"WEB_ReadOnly\"=dword:00000001".
    QStringList hive{QStringLiteral("REGEDIT4"), QString(),
                     QStringLiteral("[HKEY_LOCAL_MACHINE\\SOFTWARE\\Dunmore Software\\Kelvane]"),
                     QStringLiteral("\"COM_Port\"=dword:00000001")};
    for (int i = 1; i < argc; ++i) hive << QString::fromLocal8Bit(argv[i]);
    const QString settings = dir.filePath(QStringLiteral("Kelvane.reg"));
    {
        QFile f(settings);
        if (!f.open(QIODevice::WriteOnly) ||
            f.write(hive.join(QStringLiteral("\r\n")).toUtf8() + "\r\n") < 0)
            return 1;
    }
    Registry reg(settings);
    reg.Load();
    Main window(reg);
    JoinRooms(window).web->ForRun(WebChoice{true, QStringLiteral("127.0.0.1:0")});
    QObject::connect(&sim, &nrd535sim::Simulator::lineReceived, &window, [](const QString& line) {
        out(QByteArray("WIRE ") + QByteArray::number(nowMs(), 'f', 3) + ' ' + line.toLatin1() +
            '\n');
    });
    if (!window.Load()) return 1;
    window.show();

    auto* input = new QSocketNotifier(STDIN_FILENO, QSocketNotifier::Read, &window);
    QByteArray pending;
    QObject::connect(input, &QSocketNotifier::activated, &window, [&] {
        char buf[256];
        const ssize_t n = ::read(STDIN_FILENO, buf, sizeof buf);
        if (n <= 0) {
            window.close();
            return;
        }
        pending.append(buf, n);
        qsizetype nl;
        while ((nl = pending.indexOf('\n')) >= 0) {
            const QList<QByteArray> words = pending.left(nl).trimmed().split(' ');
            pending.remove(0, nl + 1);
            if (words[0] == "panel" && words.size() == 2) {
                out("PANEL " + QByteArray::number(nowMs(), 'f', 3) + ' ' + words[1] + '\n');
                sim.panelTune(words[1].toLongLong());
            } else if (words[0] == "hold") {
                window.receiver().Hook(true);
                window.SetLinkHeld(true);
            } else if (words[0] == "quit") {
                window.close();
            }
            out("OK " + words[0] + '\n');
        }
    });
    return app.exec();
}
