#pragma once

// Capture sources for tests and the demo: generated unsigned 8-bit 8000 Hz signals, played by
// ALSA's file plugin (a "null" slave with an "infile") under PCM names defined in a
// configuration file that ALSA_CONFIG_PATH adds to the system's own.

#include <alsa/asoundlib.h>

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QList>
#include <QPair>
#include <QString>

#include <algorithm>
#include <cmath>
#include <numbers>

namespace filesource {

// Sum of sines (frequency in hertz, amplitude in steps around 128), clipped to 0..255.
inline QByteArray Tones(const QList<QPair<double, double>>& tones, int samples) {
    QByteArray raw(samples, char(128));
    for (int i = 0; i < samples; ++i) {
        double v = 128.0;
        for (const auto& [hz, amplitude] : tones)
            v += amplitude * std::sin(2.0 * std::numbers::pi * hz * i / 8000.0);
        raw[i] = char(std::clamp(int(std::lround(v)), 0, 255));
    }
    return raw;
}

inline QByteArray Tone(double hz, double amplitude, int samples) {
    return Tones({{hz, amplitude}}, samples);
}

// Writes each signal to `dir` and a configuration defining one capture PCM per name, then
// points ALSA at it. Call before ALSA is used for the first time.
inline QString Definition(const QString& name, const QString& infile, const QString& outfile) {
    return QStringLiteral("pcm.%1 {\n  type file\n  slave.pcm \"null\"\n  file \"%3\"\n"
                          "  infile \"%2\"\n  format \"raw\"\n}\n")
        .arg(name, infile, outfile);
}

inline bool Install(const QString& dir, const QList<QPair<QString, QByteArray>>& sources) {
    QString conf;
    for (const auto& [name, raw] : sources) {
        const QString path = QDir(dir).filePath(name + QStringLiteral(".raw"));
        QFile f(path);
        if (!f.open(QIODevice::WriteOnly) || f.write(raw) != raw.size()) return false;
        conf += Definition(name, path, QStringLiteral("/dev/null"));
    }
    const QString confPath = QDir(dir).filePath(QStringLiteral("asoundrc"));
    QFile f(confPath);
    if (!f.open(QIODevice::WriteOnly) || f.write(conf.toUtf8()) < 0) return false;
    f.close();
    const QString top = QString::fromLocal8Bit(snd_config_topdir());
    qputenv("ALSA_CONFIG_PATH", (top + QStringLiteral("/alsa.conf:") + confPath).toLocal8Bit());
    return true;
}

// Adds a PCM that plays the signal of `source` (installed before) and copies what it records to
// `outfile`; "/dev/full" makes the device fail.
inline bool AddDefinition(const QString& dir, const QString& name, const QString& source,
                          const QString& outfile) {
    QFile f(QDir(dir).filePath(QStringLiteral("asoundrc")));
    const QString infile = QDir(dir).filePath(source + QStringLiteral(".raw"));
    return f.open(QIODevice::Append) && f.write(Definition(name, infile, outfile).toUtf8()) > 0;
}

} // namespace filesource
