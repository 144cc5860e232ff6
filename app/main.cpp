// kelvane: remote control of the NRD-535 receiver. Parses the command line, opens the settings
// hive and hands over to the main window, whose Load() does the start-up work.
#include "net/net_wiring.h"
#include "settings/registry.h"
#include "ui/main_window.h"
#include "ui/rooms.h"
#include "web/web_wiring.h"

#include <nrd535sim/simulator.h>
#include <ostry/nrd535.h>
#include <ostry/serialline.h>

#include <QApplication>
#include <QDateTime>
#include <QDir>
#include <QMessageBox>
#include <QSocketNotifier>
#include <QTemporaryDir>
#include <QTimer>
#include <csignal>
#include <cstdio>
#include <memory>
#include <sys/socket.h>
#include <unistd.h>

namespace {

// A stop request from outside (kill, logout, Ctrl+C in the terminal) closes the window as the
// operator does, so the receiver is released and the settings are written. The handler only
// writes a byte; the event loop does the rest.
int stopPipe[2] = {-1, -1};

void onStopSignal(int) {
    const char c = 1;
    [[maybe_unused]] const ssize_t n = ::write(stopPipe[1], &c, 1);
}

void closeOnStopSignals(QWidget* window) {
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0, stopPipe) != 0) return;
    auto* notifier = new QSocketNotifier(stopPipe[0], QSocketNotifier::Read, window);
    QObject::connect(notifier, &QSocketNotifier::activated, window, [window] {
        char buf[16];
        while (::read(stopPipe[0], buf, sizeof buf) > 0) {
        }
        window->close();
    });
    struct sigaction sa {};
    sa.sa_handler = onStopSignal;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESTART;
    for (int sig : {SIGTERM, SIGINT, SIGHUP}) ::sigaction(sig, &sa, nullptr);
}

// The port the built-in simulator is mapped to for --simulate.
constexpr int SimulatedPort = 1;

void print(FILE* to, const QString& text) {
    const QByteArray bytes = text.toLocal8Bit();
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), to);
    std::fflush(to);
}

QString usage() {
    return QStringLiteral(
               "Usage: kelvane [options]\n"
               "Remote control for the NRD-535 / NRD-535D receiver on a serial line.\n"
               "\n"
               "Options:\n"
               "  --simulate          run against a built-in simulated receiver\n"
               "  --settings FILE     keep the settings in FILE instead of\n"
               "                      %1\n"
               "  %2\n"
               "  %3\n"
               "  %4\n"
               "  --help              show this help and exit\n"
               "  --version           show the version and exit\n"
               "\n"
               "Serial ports: COM1..COM4 are /dev/ttyS0..3 and COM5..COM8 /dev/ttyUSB0..3 unless\n"
               "--port says otherwise. Memory, pad and noise files live in the working "
               "directory.\n")
        .arg(Registry::DefaultPath(), ostry::portOptionHelp(), RigctldOptionHelp(),
             WebOptionHelp());
}

// Wall-clock stamp in milliseconds for the start-up benchmark (KELVANE_TIMING=1).
void stamp(const char* what) {
    if (qEnvironmentVariableIntValue("KELVANE_TIMING") == 1)
        print(stdout, QStringLiteral("KELVANE_%1 %2\n")
                          .arg(QLatin1String(what))
                          .arg(QDateTime::currentMSecsSinceEpoch()));
}

} // namespace

int main(int argc, char** argv) {
    stamp("START");
    // Help and version need no display.
    for (int i = 1; i < argc; ++i) {
        const QByteArray a(argv[i]);
        if (a == "--help" || a == "-h") {
            print(stdout, usage());
            return 0;
        }
        if (a == "--version") {
            print(stdout, QStringLiteral("kelvane %1\n").arg(QStringLiteral(KELVANE_VERSION)));
            return 0;
        }
    }
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("kelvane"));
    QApplication::setApplicationVersion(QStringLiteral(KELVANE_VERSION));
    QApplication::setOrganizationName(QStringLiteral("Dunmore Software"));
    QGuiApplication::setDesktopFileName(QStringLiteral("org.kelvane.Kelvane"));

    QStringList args = QApplication::arguments();
    // The last port mapped for this run is the one the port dialog offers first.
    int preferredPort = -1;
    for (qsizetype i = 1; i < args.size(); ++i) {
        QString mapping;
        if (args[i] == QLatin1String("--port") && i + 1 < args.size())
            mapping = args[i + 1];
        else if (args[i].startsWith(QLatin1String("--port=")))
            mapping = args[i].mid(7);
        int n = 0;
        QString device;
        if (!mapping.isEmpty() && ostry::parsePortMapping(mapping, &n, &device, nullptr))
            preferredPort = n;
    }
    QString portError;
    if (!ostry::applyPortOptions(args, &portError)) {
        print(stderr, QStringLiteral("kelvane: %1\n").arg(portError));
        return 2;
    }
    RigctldChoice rigctld;
    if (!TakeRigctldOption(args, &rigctld, &portError)) {
        print(stderr, QStringLiteral("kelvane: %1\n").arg(portError));
        return 2;
    }
    WebChoice web;
    if (!TakeWebOption(args, &web, &portError)) {
        print(stderr, QStringLiteral("kelvane: %1\n").arg(portError));
        return 2;
    }
    QString settingsPath = Registry::DefaultPath();
    bool simulate = false;
    QString screenshot;
    int quitAfterMs = -1;
    for (int i = 1; i < args.size(); ++i) {
        const QString& a = args[i];
        auto value = [&](QString& out) {
            const qsizetype eq = a.indexOf(QLatin1Char('='));
            if (eq > 0) {
                out = a.mid(eq + 1);
                return true;
            }
            if (i + 1 >= args.size()) return false;
            out = args[++i];
            return true;
        };
        if (a == QLatin1String("--simulate")) {
            simulate = true;
        } else if (a == QLatin1String("--settings") || a.startsWith(QLatin1String("--settings="))) {
            if (!value(settingsPath) || settingsPath.isEmpty()) {
                print(stderr, QStringLiteral("kelvane: --settings needs a file name\n"));
                return 2;
            }
        } else if (a == QLatin1String("--screenshot") ||
                   a.startsWith(QLatin1String("--screenshot="))) {
            // Hidden: grab the connected window into a PNG file and quit (README picture).
            if (!value(screenshot)) {
                print(stderr, QStringLiteral("kelvane: --screenshot needs a file name\n"));
                return 2;
            }
        } else if (a == QLatin1String("--quit-after") ||
                   a.startsWith(QLatin1String("--quit-after="))) {
            // Hidden: close normally after this many milliseconds (benchmarks).
            QString ms;
            if (!value(ms) || ms.toInt() <= 0) {
                print(stderr, QStringLiteral("kelvane: --quit-after needs milliseconds\n"));
                return 2;
            }
            quitAfterMs = ms.toInt();
        } else {
            print(stderr, QStringLiteral("kelvane: unknown option %1\n\n").arg(a) + usage());
            return 2;
        }
    }

    Registry reg(settingsPath);
    const Registry::LoadResult loaded = reg.Load();
    if (!loaded.message.isEmpty()) {
        print(stderr, QStringLiteral("kelvane: %1\n").arg(loaded.message));
        QMessageBox::warning(nullptr, QStringLiteral("Kelvane"), loaded.message);
    }

    std::unique_ptr<nrd535sim::Simulator> sim;
    QTemporaryDir simDir;
    if (simulate) {
        sim = std::make_unique<nrd535sim::Simulator>();
        QString error;
        if (!simDir.isValid() || !sim->start(simDir.filePath(QStringLiteral("nrd535")), &error)) {
            print(stderr, QStringLiteral("kelvane: cannot start the simulator: %1\n").arg(error));
            return 1;
        }
        ostry::setPortDevice(SimulatedPort, sim->path());
    }

    Main window(reg);
    const Rooms rooms = JoinRooms(window);
    rooms.net->ForRun(rigctld);
    rooms.web->ForRun(web);
    if (simulate) window.ForcedPort = SimulatedPort;
    window.PreferredPort = preferredPort;
    if (!window.Load()) return 0;
    window.show();
    closeOnStopSignals(&window);
    stamp("SHOWN");
    QObject::connect(&window, &Main::linkChanged, &window, [](bool up) {
        if (up) stamp("CONNECTED");
    });

    if (!screenshot.isEmpty()) {
        // Wait for the link and a few status reports, then grab the window.
        QObject::connect(&window, &Main::linkChanged, &window, [&window, screenshot](bool up) {
            if (!up) return;
            // Let the band tracking fill the panel, then hold the receiver so the picture
            // shows the setting buttons enabled.
            QTimer::singleShot(1000, &window, [&window] {
                window.receiver().Hook(true);
                window.SetLinkHeld(true);
            });
            QTimer::singleShot(1800, &window, [&window, screenshot] {
                const bool ok = window.grab().save(screenshot);
                if (!ok)
                    print(stderr, QStringLiteral("kelvane: cannot write %1\n").arg(screenshot));
                window.close();
            });
        });
    }
    if (quitAfterMs > 0) QTimer::singleShot(quitAfterMs, &window, &QWidget::close);
    return app.exec();
}
