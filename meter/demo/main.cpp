// Shows the meter on a live capture: a generated receiver-like tone mix by default, or any
// ALSA capture device with --pcm NAME.

#include "../tests/filesource.h"

#include <halvard/meter.h>
#include <halvard/sound.h>

#include <QApplication>
#include <QCommandLineParser>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdio>
#include <random>

namespace {

// Ten minutes of a carrier with two weaker tones above it, a slow fade and a little noise.
QByteArray DemoSignal() {
    constexpr int samples = 10 * 60 * 8000;
    QByteArray raw(samples, char(128));
    std::mt19937 noise(535);
    std::uniform_real_distribution<double> jitter(-4.0, 4.0);
    for (int i = 0; i < samples; ++i) {
        const double t = i / 8000.0;
        const double fade = 0.75 + 0.25 * std::sin(2.0 * std::numbers::pi * 0.2 * t);
        double v = 128.0 + jitter(noise);
        v += fade * 70.0 * std::sin(2.0 * std::numbers::pi * 800.0 * t);
        v += 25.0 * std::sin(2.0 * std::numbers::pi * 1625.0 * t);
        v += 12.0 * std::sin(2.0 * std::numbers::pi * 2750.0 * t);
        raw[i] = char(std::clamp(int(std::lround(v)), 0, 255));
    }
    return raw;
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationDisplayName(QStringLiteral("Halvard meter demo"));
    QCommandLineParser options;
    options.setApplicationDescription(QStringLiteral("Shows the spectrum meter on a capture."));
    options.addHelpOption();
    options.addOption(
        {QStringLiteral("pcm"),
         QStringLiteral("Capture from this ALSA device instead of the built-in tone."),
         QStringLiteral("NAME")});
    options.addOption(
        {QStringLiteral("card"), QStringLiteral("Capture from ALSA card N."), QStringLiteral("N")});
    options.addOption({QStringLiteral("mode"), QStringLiteral("Spectrum mode 0..3 (s, S, m, M)."),
                       QStringLiteral("N"), QStringLiteral("3")});
    options.addOption({QStringLiteral("screenshot"),
                       QStringLiteral("Save a picture of the meter after two seconds and quit."),
                       QStringLiteral("FILE")});
    options.process(app);

    QTemporaryDir dir;
    if (options.isSet(QStringLiteral("pcm"))) {
        halvard::Sound::SetPcmOverride(options.value(QStringLiteral("pcm")));
    } else if (!options.isSet(QStringLiteral("card"))) {
        if (!dir.isValid() || !filesource::Install(dir.path(), {{"halvard_demo", DemoSignal()}})) {
            std::fprintf(stderr, "cannot write the demo signal\n");
            return 1;
        }
        halvard::Sound::SetPcmOverride(QStringLiteral("halvard_demo"));
    }

    Meter meter;
    meter.setWindowTitle(QStringLiteral("Halvard"));
    meter.resize(480, 150);
    meter.show();
    const int mode = std::clamp(options.value(QStringLiteral("mode")).toInt(), 0, 3);
    for (int i = 0; i < mode; ++i) meter.NextMode();
    meter.Source(halvard::S_LIN, true);
    meter.Card(qint16(
        options.isSet(QStringLiteral("card")) ? options.value(QStringLiteral("card")).toInt() : 0));

    if (options.isSet(QStringLiteral("screenshot"))) {
        const QString file = options.value(QStringLiteral("screenshot"));
        QTimer::singleShot(2500, &meter, [&meter, file] {
            const bool saved = meter.grab().save(file);
            if (!saved) std::fprintf(stderr, "cannot save %s\n", qPrintable(file));
            QCoreApplication::exit(saved ? 0 : 1);
        });
    }
    return app.exec();
}
