// Runs one noise-floor survey against the simulated receiver and saves a picture of the
// noise-floor window showing it: noise-shot FILE.png [SURVEY-FILE]. The survey is appended to
// SURVEY-FILE (default: a temporary file). Used for the README's screenshot.

#include "core/panel.h"
#include "driver_panel.h"
#include "noise/noise_file.h"
#include "noise/smeter_procedures.h"
#include "noise/ui/rx_noise.h"
#include "settings/settings.h"
#include "simulated_port.h"
#include "update_polls.h"

#include <nrd535sim/simulator.h>
#include <ostry/nrd535.h>
#include <ostry/serialline.h>

#include <QApplication>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdio>

namespace {

constexpr quint8 ShotPort = 203;

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: noise-shot FILE.png [SURVEY-FILE]\n");
        return 2;
    }
    const QString picture = QString::fromLocal8Bit(argv[1]);
    QTemporaryDir dir;
    Settings settings;
    settings.SMT_Log =
        argc > 2 ? QString::fromLocal8Bit(argv[2]) : dir.filePath(QStringLiteral("Noise.txt"));

    nrd535sim::Simulator sim;
    Nrd535 rx;
    if (!StartOnPort(sim, rx, ShotPort, 38400)) return 1;
    rx.setMessageDisplay([](const QString& t) { std::fprintf(stderr, "%s\n", qPrintable(t)); });
    DriverPanel panel(rx);
    NoiseSurvey survey;
    SMeterProcedures proc(
        panel, rx, settings, survey, [&](ScanState s) { panel.state.Scan = s; },
        [] { return 5000; });
    QTimer tick;
    WireUpdatePolls(tick, rx, panel.state, [&](int sm) { proc.SMeterReport(sm); });
    if (!rx.fOpen(true) || !rx.Conn()) return 1;
    rx.Hook(false);
    tick.start();

    RxNoise* window = nullptr;
    QObject::connect(&proc, &SMeterProcedures::SurveyFinished, &app, [&] {
        window = new RxNoise(survey, settings);
        window->Reload();
        window->show();
        QTimer::singleShot(500, &app, [&] {
            const bool ok = window->grab().save(picture);
            if (!ok) std::fprintf(stderr, "noise-shot: cannot write %s\n", qPrintable(picture));
            app.exit(ok ? 0 : 1);
        });
    });
    // Hold the receiver once its first report is in, then survey.
    QTimer::singleShot(1000, &app, [&] {
        rx.Hook(true);
        panel.state.Connected = panel.state.RemoteHeld = true;
        proc.NoiseMeasure(true);
    });
    const int rc = app.exec();
    delete window;
    ostry::setPortDevice(ShotPort, QString());
    return rc;
}
