// Capture through ALSA's file plugin: the whole path from the device through the worker
// thread, the queued hand-over, the spectrum and the Meter, with generated signals.

#include "filesource.h"

#include <halvard/meter.h>
#include <halvard/sound.h>

#include <QImage>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <array>
#include <functional>
#include <memory>

using namespace halvard;

namespace {

constexpr int Second = 8000;

struct Block {
    std::array<float, SpectrumBins> bins{};
    double maxi = 0;
    double mean = 0;
    double sigm = 0;
    qint32 peak = -1;
};

// Records every spectrum the capture hands over; it is also the capture's window.
class Recorder : public QObject, public SpectrumSink {
public:
    void Update(qint32 n, const float* Data, double Maxi, double Mean, double Sigm, bool) override {
        Block b;
        std::copy(Data, Data + std::min<qint32>(n, SpectrumBins), b.bins.begin());
        b.maxi = Maxi;
        b.mean = Mean;
        b.sigm = Sigm;
        b.peak = Sound::ReadPeakLevel(Sound::PeakControlId(S_LIN));
        blocks.push_back(b);
        if (after) after(int(blocks.size()));
    }
    std::vector<Block> blocks;
    std::function<void(int)> after;
};

int ArgMax(const Block& b) {
    return int(std::max_element(b.bins.begin(), b.bins.end()) - b.bins.begin());
}

} // namespace

// Blocks of 100 ms whose first 50 ms carry 1000 Hz and whose last 50 ms carry 2000 Hz.
QByteArray SplitBlocks() {
    const QByteArray low = filesource::Tone(1000, 100, 400);
    const QByteArray high = filesource::Tone(2000, 100, 400);
    QByteArray raw;
    while (raw.size() < 2 * Second) raw += low + high;
    return raw;
}

class TstCapture : public QObject {
    Q_OBJECT
    QTemporaryDir m_dir;
    QStringList m_messages;

private slots:
    void initTestCase() {
        QVERIFY(m_dir.isValid());
        QVERIFY(filesource::Install(m_dir.path(),
                                    {
                                        {"halvard_tone1000", filesource::Tone(1000, 100, Second)},
                                        {"halvard_tone2000", filesource::Tone(2000, 100, Second)},
                                        {"halvard_silence", QByteArray(Second, char(128))},
                                        {"halvard_long", filesource::Tone(1000, 80, 60 * Second)},
                                        {"halvard_split", SplitBlocks()},
                                    }));
        // Writes to a full disk fail: the device reports an I/O error after a few blocks.
        QVERIFY(filesource::AddDefinition(m_dir.path(), QStringLiteral("halvard_failing"),
                                          QStringLiteral("halvard_long"),
                                          QStringLiteral("/dev/full")));
        Sound::SetMessageHandler([this](const QString& text) { m_messages << text; });
    }

    void init() {
        m_messages.clear();
        Sound::SetSpectrumMode(0);
        Sound::SetMixerOverride(QString());
    }

    void cleanup() {
        Sound::StopCapture();
        QVERIFY(!Sound::IsOpen());
    }

    void spectrumOfTheSignal_data() {
        QTest::addColumn<QString>("pcm");
        QTest::addColumn<int>("bin");
        QTest::addColumn<int>("peak");
        QTest::newRow("1000 Hz") << "halvard_tone1000" << 8 << 100 * 256;
        QTest::newRow("2000 Hz") << "halvard_tone2000" << 16 << 100 * 256;
        QTest::newRow("silence") << "halvard_silence" << -1 << 0;
    }
    void spectrumOfTheSignal() {
        QFETCH(QString, pcm);
        QFETCH(int, bin);
        QFETCH(int, peak);
        Sound::SetPcmOverride(pcm);
        QVERIFY(Sound::SoundReady());
        Recorder rec;
        QVERIFY(Sound::StartCapture(&rec, &rec, 0));
        QTRY_VERIFY(rec.blocks.size() >= 3);
        for (const Block& b : rec.blocks) {
            QCOMPARE(b.peak, peak);
            if (bin < 0) {
                for (float v : b.bins) QCOMPARE(v, 0.0f);
                QCOMPARE(b.maxi, 0.0);
                QCOMPARE(b.mean, 0.0);
                QCOMPARE(b.sigm, 0.0);
            } else {
                QCOMPARE(ArgMax(b), bin);
                QCOMPARE(b.maxi, double(b.bins[bin]));
                QVERIFY(b.mean > 0 && b.sigm > 0);
            }
        }
        QVERIFY(m_messages.isEmpty());
    }

    // The two windows of a block lie 50 ms apart: a signal that changes at 50 ms into each block
    // shows both of its tones.
    void windowsFiftyMillisecondsApart() {
        Sound::SetPcmOverride(QStringLiteral("halvard_split"));
        QVERIFY(Sound::SoundReady());
        Recorder rec;
        QVERIFY(Sound::StartCapture(&rec, &rec, 0));
        QTRY_VERIFY(rec.blocks.size() >= 3);
        for (const Block& b : rec.blocks) {
            QVERIFY2(b.bins[8] > 0.5f * b.bins[16] && b.bins[16] > 0.5f * b.bins[8],
                     qPrintable(QStringLiteral("%1 %2").arg(b.bins[8]).arg(b.bins[16])));
            QVERIFY(b.bins[12] < 0.1f * b.bins[8]);
        }
    }

    // A device that fails hands back what it has; the block that comes back without samples
    // ends the cycle without a word, and the device stays open until it is stopped.
    void failingDeviceEndsTheCycle() {
        Sound::SetPcmOverride(QStringLiteral("halvard_failing"));
        Recorder rec;
        QVERIFY(Sound::StartCapture(&rec, &rec, 0));
        // The plugin fails after a few blocks (four here), well within two seconds.
        QTRY_VERIFY(!rec.blocks.empty());
        QTest::qWait(2000);
        const size_t seen = rec.blocks.size();
        QVERIFY(seen < 15);
        QTest::qWait(500);
        QCOMPARE(rec.blocks.size(), seen);
        QVERIFY(Sound::IsOpen());
        QVERIFY(m_messages.isEmpty());
        // A new start is needed, and works.
        Sound::StopCapture();
        Sound::SetPcmOverride(QStringLiteral("halvard_tone1000"));
        QVERIFY(Sound::StartCapture(&rec, &rec, 0));
        QTRY_VERIFY(rec.blocks.size() > seen);
    }

    void startingTwiceDoesNothing() {
        Sound::SetPcmOverride(QStringLiteral("halvard_long"));
        Recorder first, second;
        QVERIFY(Sound::StartCapture(&first, &first, 0));
        QTRY_VERIFY(first.blocks.size() >= 2);
        QVERIFY(!Sound::StartCapture(&second, &second, 0));
        const size_t seen = first.blocks.size();
        QTRY_VERIFY(first.blocks.size() >= seen + 2);
        QVERIFY(second.blocks.empty());
        QVERIFY(m_messages.isEmpty());
    }

    // With averaging each block halves the distance to a steady input; a mode change clears
    // the bins and the approach starts again from zero.
    void averagingAndModeChange() {
        Sound::SetPcmOverride(QStringLiteral("halvard_long"));
        Sound::SetSpectrumMode(1);
        Recorder rec;
        rec.after = [](int count) {
            if (count == 5) Sound::SetSpectrumMode(1);
        };
        QVERIFY(Sound::StartCapture(&rec, &rec, 0));
        QTRY_VERIFY(rec.blocks.size() >= 8);
        const double target = 2.0 * rec.blocks[0].bins[8];
        QVERIFY(target > 0);
        const double expected[8] = {0.5, 0.75, 0.875, 0.9375, 0.96875, 0.5, 0.75, 0.875};
        for (int k = 0; k < 8; ++k) {
            const double got = rec.blocks[k].bins[8] / target;
            QVERIFY2(std::abs(got - expected[k]) < 1e-4,
                     qPrintable(QStringLiteral("block %1: %2").arg(k).arg(got)));
        }
    }

    void windowGoneStopsTheCapture() {
        Sound::SetPcmOverride(QStringLiteral("halvard_long"));
        auto rec = std::make_unique<Recorder>();
        QVERIFY(Sound::StartCapture(rec.get(), rec.get(), 0));
        QTRY_VERIFY(!rec->blocks.empty());
        rec.reset();
        QVERIFY(!Sound::IsOpen());
        QTest::qWait(250); // a block already on its way must not reach the dead sink
    }

    void openErrorsAreReported_data() {
        QTest::addColumn<QString>("pcm");
        QTest::newRow("unknown PCM name") << "halvard_no_such_pcm";
        QTest::newRow("missing card") << "plughw:97";
    }
    void openErrorsAreReported() {
        QFETCH(QString, pcm);
        Sound::SetPcmOverride(pcm);
        Recorder rec;
        QVERIFY(!Sound::StartCapture(&rec, &rec, 0));
        QVERIFY(!Sound::IsOpen());
        QCOMPARE(m_messages.size(), 1);
        QVERIFY(m_messages[0].contains(pcm));
        QCOMPARE(Sound::LastError(), m_messages[0]);

        Meter meter;
        meter.Card(0);
        QVERIFY(!meter.Run());
        QCOMPARE(m_messages.size(), 2);
    }

    void peakMapping_data() {
        QTest::addColumn<qint64>("raw");
        QTest::addColumn<int>("level");
        QTest::newRow("0") << qint64(0) << 0;
        QTest::newRow("1000") << qint64(1000) << 1000;
        QTest::newRow("32767") << qint64(32767) << 32767;
        QTest::newRow("-1") << qint64(-1) << 32767;
        QTest::newRow("-100") << qint64(-100) << 32668;
        QTest::newRow("-256") << qint64(-256) << 0;
        QTest::newRow("-257") << qint64(-257) << 32511;
        QTest::newRow("-512") << qint64(-512) << 0;
        QTest::newRow("-32768") << qint64(-32768) << 0;
    }
    void peakMapping() {
        QFETCH(qint64, raw);
        QFETCH(int, level);
        QCOMPARE(Sound::MapPeakValue(raw), level);
    }

    // Without a mixer every mixer operation gives its failure value quietly.
    void mixerFailureValues() {
        Sound::SetMixerOverride(QStringLiteral("hw:97"));
        Sound::SetPcmOverride(QStringLiteral("halvard_long"));
        for (qint32 type :
             {qint32(S_ALL), qint32(S_LIN), qint32(S_MIC), qint32(S_AUX), WaveInDestination}) {
            QVERIFY(!Sound::SelectSource(type, true));
            QVERIFY(!Sound::SelectSource(type, false));
            Sound::SetVolumeMute(type, 100, true);
            const VolumeReading v = Sound::ReadVolume(type);
            QCOMPARE(v.value, -1);
            QCOMPARE(v.max, -1);
            QCOMPARE(v.min, -1);
        }
        QCOMPARE(Sound::ReadVolume(12345).value, -1);
        // Peak meter: only while capturing.
        QCOMPARE(Sound::PeakControlId(S_LIN), -1);
        QCOMPARE(Sound::ReadPeakLevel(SamplePeakControl), -1);
        Meter meter;
        QVERIFY(!meter.Source(S_MIC, true));
        QCOMPARE(meter.Volume(), -1);
        QCOMPARE(meter.VolMax(), -1);
        QCOMPARE(meter.VolMin(), -1);
        meter.Volume(10);
        meter.Mute(true);
        meter.Card(0);
        QVERIFY(meter.Run());
        QCOMPARE(Sound::PeakControlId(S_LIN), SamplePeakControl);
        QCOMPARE(Sound::ReadPeakLevel(-1), -1);
        QCOMPARE(Sound::ReadPeakLevel(12345), -1);
        QVERIFY(m_messages.isEmpty());
    }

    void meterShowsTheTone() {
        Sound::SetPcmOverride(QStringLiteral("halvard_long"));
        Meter meter;
        meter.resize(340, 140);
        meter.Show(false);
        QCOMPARE(meter.Cards(), qint16(std::max(1, int(Sound::DeviceCount()))));
        meter.Card(0);
        QVERIFY(meter.Run());
        QVERIFY(meter.Show());
        const auto& d = meter.Display();
        auto toneShown = [&d] {
            const auto& bars = d.Bars();
            if (!bars[8].visible || bars[8].height <= 0) return false;
            for (int i = 0; i < 32; ++i)
                if (i != 8 && bars[i].height >= bars[8].height) return false;
            return d.SideBars()[0].visible && d.SideBars()[0].height > 0 && d.SideBars()[1].visible;
        };
        QTRY_VERIFY(toneShown());
        // What is painted is what the display holds.
        const QImage shot = meter.grab().toImage();
        const auto& bar = d.Bars()[8];
        const int x = bar.left + bar.width / 2;
        QCOMPARE(shot.pixelColor(x, d.FrameHeight() - 1), bar.colour);
        QCOMPARE(shot.pixelColor(x, bar.top + bar.height / 2), bar.colour);
        QCOMPARE(shot.pixelColor(x, 1), meter.BackColor());
        // The peak side bar is in use: solid, with its separator.
        QVERIFY(!d.SideBars()[0].crossFill);
        QVERIFY(d.Separators()[0].visible);

        meter.Start(true); // a second start keeps the running capture
        QVERIFY(meter.Run());
        QTRY_VERIFY(toneShown());

        meter.Card(-1);
        QVERIFY(!meter.Run());
        QVERIFY(!meter.Show());
        QVERIFY(!Sound::IsOpen());
        QVERIFY(m_messages.isEmpty());
    }

    void modeLabelCycles_data() {
        QTest::addColumn<int>("clicks");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<bool>("magnitude");
        QTest::addColumn<bool>("averaging");
        QTest::newRow("one click") << 1 << "S" << false << true;
        QTest::newRow("two clicks") << 2 << "m" << true << false;
        QTest::newRow("three clicks") << 3 << "M" << true << true;
        QTest::newRow("four clicks") << 4 << "s" << false << false;
    }
    void modeLabelCycles() {
        QFETCH(int, clicks);
        QFETCH(QString, caption);
        QFETCH(bool, magnitude);
        QFETCH(bool, averaging);
        Meter meter;
        meter.resize(340, 140);
        const auto r = meter.Display().ModeLabelRect();
        const QPoint label(r[0] + r[2] / 2, r[1] + r[3] / 2);
        QTest::mouseClick(&meter, Qt::LeftButton, {}, QPoint(40, 60)); // the frame: nothing
        QCOMPARE(meter.Mode(), qint16(0));
        for (int i = 0; i < clicks; ++i) QTest::mouseClick(&meter, Qt::LeftButton, {}, label);
        QCOMPARE(meter.Display().ModeCaption(), caption);
        QCOMPARE(Sound::Magnitude(), magnitude);
        QCOMPARE(Sound::Averaging(), averaging);
    }

    void backColourAndMaxMin() {
        Meter meter;
        QSignalSpy changed(&meter, &Meter::propertyChanged);
        meter.BackColor(QColor(0, 0, 64));
        QCOMPARE(meter.BackColor(), QColor(0, 0, 64));
        QCOMPARE(changed.size(), 1);
        QCOMPARE(changed[0][0].toString(), QStringLiteral("BackColor"));
        // Classes outside 0..2 are refused, not indexed.
        QVERIFY(!meter.Max(3, 100));
        QVERIFY(!meter.Max(-1, 100));
        meter.Min(7, -5);
        QVERIFY(meter.Max(1, 100));
    }
};

QTEST_MAIN(TstCapture)
#include "tst_capture.moc"
