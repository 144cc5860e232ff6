// nrd535-monitor: connects an Nrd535 to a receiver (or to an in-process simulator) and prints
// every OnUpd and OnChn as it arrives. Commands typed on standard input call the driver.

#include "driver_calls.h"

#include <nrd535sim/simulator.h>
#include <ostry/nrd535.h>
#include <ostry/serialline.h>

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QSocketNotifier>
#include <QTextStream>
#include <QTimer>

#include <cstdio>
#include <unistd.h>

using namespace ostry;

namespace {

void out(const QString& s) {
    std::printf("%s\n", qPrintable(s));
    std::fflush(stdout);
}

QString usage() {
    return QStringLiteral("commands: ") + nrd535sim::driverCallUsage() + QStringLiteral(" | quit");
}

void runCommand(Nrd535& rx, const QString& line) {
    const QString name = line.simplified().section(u' ', 0, 0);
    if (name.isEmpty()) return;
    if (name == u"quit") {
        QCoreApplication::quit();
        return;
    }
    QString result;
    if (!nrd535sim::callDriver(rx, line, &result))
        out(usage());
    else if (!result.isEmpty())
        out(QStringLiteral("%1 -> %2").arg(name, result));
}

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    QStringList args = app.arguments();
    QString error;
    const bool mapped =
        args.contains(QLatin1String("--port")) || !args.filter(QStringLiteral("--port=")).isEmpty();
    int mappedPort = 0;
    for (qsizetype i = 1; i + 1 < args.size(); ++i)
        if (args[i] == QLatin1String("--port"))
            mappedPort = args[i + 1].section(u'=', 0, 0).toInt();
    if (!applyPortOptions(args, &error)) {
        std::fprintf(stderr, "nrd535-monitor: %s\n", qPrintable(error));
        return 2;
    }
    QCommandLineParser cli;
    cli.setApplicationDescription(
        "Connects the receiver driver and prints every status event. Without a port or device "
        "it serves itself from an in-process simulated receiver.\n" +
        portOptionHelp());
    cli.addHelpOption();
    QCommandLineOption com("com", "Serial port number N (COMN) to use.", "n");
    QCommandLineOption baud("baud", "Line speed (default 4800).", "bps", "4800");
    QCommandLineOption once("exit-after", "Quit after this many milliseconds.", "ms");
    cli.addOptions({com, baud, once});
    cli.addPositionalArgument("device", "Serial device to use instead of a port number.");
    cli.process(args);

    int port = cli.isSet(com) ? cli.value(com).toInt() : (mappedPort > 0 ? mappedPort : 1);
    nrd535sim::Simulator sim;
    if (!cli.positionalArguments().isEmpty()) {
        setPortDevice(port, cli.positionalArguments().first());
    } else if (!mapped && !cli.isSet(com)) {
        sim.setBaud(cli.value(baud).toInt());
        if (!sim.start(QString(), &error)) {
            std::fprintf(stderr, "nrd535-monitor: simulator: %s\n", qPrintable(error));
            return 1;
        }
        setPortDevice(port, sim.slavePath());
        out(QStringLiteral("simulated receiver on %1").arg(sim.slavePath()));
    }

    Nrd535 rx;
    rx.setMessageDisplay([](const QString& t) { out(QStringLiteral("error: ") + t); });
    rx.Baud(cli.value(baud));
    rx.Port(quint8(port));
    QObject::connect(&rx, &Nrd535::OnUpd,
                     [&rx](double fr, ostry::MD md, ostry::FT ft, ostry::AG ag, ONOFF at, qint16 nb,
                           qint16 sm, ONOFF sq) {
                         out(QStringLiteral("OnUpd Fr=%1 (%2) MD=%3 %4 FT=%5 %6 AG=%7 %8 "
                                            "AT=%9 %10 NB=%11 %12 SM=%13 %14 SQ=%15 %16")
                                 .arg(fr, 0, 'f', 0)
                                 .arg(rx.FRDesc(fr))
                                 .arg(md)
                                 .arg(rx.MDDesc(md))
                                 .arg(ft)
                                 .arg(rx.FTDesc(ft))
                                 .arg(ag)
                                 .arg(rx.AGDesc(ag))
                                 .arg(at)
                                 .arg(rx.ATDesc(at))
                                 .arg(nb)
                                 .arg(rx.NBDesc(nb))
                                 .arg(sm)
                                 .arg(sm >= 0 ? rx.SMDesc(sm) : QString("-"))
                                 .arg(sq)
                                 .arg(rx.SQDesc(sq)));
                     });
    QObject::connect(&rx, &Nrd535::OnChn,
                     [&rx](bool tb, qint16 nm, bool st, double fr, ostry::MD md, ostry::FT ft,
                           ostry::AG ag, ONOFF at) {
                         out(QStringLiteral("OnChn TB=%1 NM=%2 ST=%3 Fr=%4 MD=%5 FT=%6 AG=%7 "
                                            "AT=%8")
                                 .arg(tb)
                                 .arg(nm)
                                 .arg(st)
                                 .arg(fr == 0 ? QStringLiteral("empty") : rx.FRDesc(fr))
                                 .arg(rx.MDDesc(md))
                                 .arg(rx.FTDesc(ft))
                                 .arg(rx.AGDesc(ag))
                                 .arg(rx.ATDesc(at)));
                     });
    QObject::connect(&rx, &Nrd535::portLost,
                     [](const QString& why) { out(QStringLiteral("port lost: ") + why); });

    out(QStringLiteral("opening %1 (%2) at %3 baud")
            .arg(portName(port), rx.device(), cli.value(baud)));
    rx.fOpen(true);

    // Supervision as the program does it: reopen a lost port, connect until the receiver
    // answers, then poll.
    int tick = 0;
    bool busy = false;
    QTimer timer;
    QObject::connect(&timer, &QTimer::timeout, [&] {
        if (busy) return;
        busy = true;
        ++tick;
        if (!rx.PortOpened()) {
            if (tick % 10 == 0 && rx.fOpen(false)) out(QStringLiteral("port reopened"));
        } else if (!rx.Connected()) {
            if (rx.Conn()) out(QStringLiteral("connected, RomId \"%1\"").arg(rx.RomId()));
        } else if (tick % 5 == 0) {
            rx.SMUpd();
            if (tick % 20 == 0) {
                rx.FTUpd();
                rx.NBUpd();
                rx.SQUpd();
            }
        }
        busy = false;
    });
    timer.start(100);

    QSocketNotifier input(STDIN_FILENO, QSocketNotifier::Read);
    QObject::connect(&input, &QSocketNotifier::activated, [&] {
        char buf[512];
        const ssize_t n = ::read(STDIN_FILENO, buf, sizeof buf - 1);
        if (n <= 0) {
            input.setEnabled(false); // end of input: keep monitoring
            return;
        }
        for (const QString& line : QString::fromLocal8Bit(buf, n).split(u'\n'))
            runCommand(rx, line);
    });
    out(usage());

    if (cli.isSet(once)) QTimer::singleShot(cli.value(once).toInt(), &app, &QCoreApplication::quit);
    const int rc = app.exec();
    rx.fClose();
    return rc;
}
