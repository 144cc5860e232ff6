// nrd535-sim: serves a simulated NRD-535 on a new pseudo-terminal until killed.

#include <nrd535sim/simulator.h>

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QSocketNotifier>

#include <csignal>
#include <cstdio>
#include <sys/socket.h>
#include <unistd.h>

namespace {
int signalPipe[2] = {-1, -1};
void onSignal(int) {
    const char c = 1;
    [[maybe_unused]] const auto n = ::write(signalPipe[1], &c, 1);
}
} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    QCommandLineParser cli;
    cli.setApplicationDescription(
        "Simulated JRC NRD-535 receiver on a pseudo-terminal. Prints the device path, then "
        "serves it until killed.");
    cli.addHelpOption();
    QCommandLineOption baud("baud", "Line speed for pacing replies (default 4800).", "bps", "4800");
    QCommandLineOption noPace("no-pace", "Send replies at once instead of at the line speed.");
    QCommandLineOption held("held", "Start under remote control, as a receiver left held.");
    QCommandLineOption link("link", "Also make a symbolic link PATH to the device.", "path");
    QCommandLineOption off("off", "Start switched off (silent).");
    QCommandLineOption meter("meter", "Fixed raw S-meter reading 0..255.", "raw");
    QCommandLineOption log("log", "Print every command line received to stderr.");
    QCommandLineOption settle("settle", "The S-meter takes MS to settle after a tune (default 0).",
                              "ms", "0");
    cli.addOptions({baud, noPace, held, link, off, meter, log, settle});
    cli.process(app);

    nrd535sim::Simulator sim;
    sim.setBaud(cli.value(baud).toInt());
    sim.setPaced(!cli.isSet(noPace));
    sim.setHeld(cli.isSet(held));
    sim.setPowered(!cli.isSet(off));
    if (cli.isSet(meter)) sim.setFixedMeter(cli.value(meter).toInt());
    sim.setSettleMs(cli.value(settle).toInt());
    QString error;
    if (!sim.start(cli.value(link), &error)) {
        std::fprintf(stderr, "nrd535-sim: %s\n", qPrintable(error));
        return 1;
    }
    if (cli.isSet(log))
        QObject::connect(&sim, &nrd535sim::Simulator::lineReceived,
                         [](const QString& l) { std::fprintf(stderr, "<- %s\n", qPrintable(l)); });

    // Leave cleanly on SIGINT/SIGTERM so the link is removed.
    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, signalPipe) == 0) {
        auto* sn = new QSocketNotifier(signalPipe[0], QSocketNotifier::Read, &app);
        QObject::connect(sn, &QSocketNotifier::activated, &app, &QCoreApplication::quit);
        std::signal(SIGINT, onSignal);
        std::signal(SIGTERM, onSignal);
    }

    std::printf("%s\n", qPrintable(sim.path()));
    std::fflush(stdout);
    const int rc = app.exec();
    sim.stop();
    return rc;
}
