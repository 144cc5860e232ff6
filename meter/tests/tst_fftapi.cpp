#include <halvard/fftapi.h>

#include <QTest>

#include <algorithm>
#include <cmath>
#include <numbers>

using halvard::FFTApi;

namespace {

FFTApi::Blocks ToneBlocks(double hz, double amplitude) {
    FFTApi::Blocks blocks{};
    for (int b = 0; b < 2; ++b) {
        const int offset = b == 0 ? 0 : 400;
        for (int i = 0; i < FFTApi::N; ++i) {
            const int sample = int(std::lround(
                amplitude * std::sin(2.0 * std::numbers::pi * hz * (offset + i) / 8000.0)));
            blocks[b][i] = float(sample);
        }
    }
    return blocks;
}

int ArgMax(const FFTApi::Spectrum& s) {
    return int(std::max_element(s.begin(), s.begin() + FFTApi::Bins) - s.begin());
}

} // namespace

class TstFftApi : public QObject {
    Q_OBJECT
private slots:
    void toneLandsInItsBin_data() {
        QTest::addColumn<double>("hz");
        QTest::addColumn<int>("bin");
        QTest::newRow("125 Hz") << 125.0 << 1;
        QTest::newRow("1000 Hz") << 1000.0 << 8;
        QTest::newRow("2000 Hz") << 2000.0 << 16;
        QTest::newRow("3000 Hz") << 3000.0 << 24;
        QTest::newRow("3875 Hz") << 3875.0 << 31;
        QTest::newRow("1060 Hz, off the bin centre") << 1060.0 << 8;
    }
    void toneLandsInItsBin() {
        QFETCH(double, hz);
        QFETCH(int, bin);
        FFTApi fft;
        QVERIFY(fft.FftSetup(64, true));
        const auto blocks = ToneBlocks(hz, 100);
        FFTApi::Spectrum power{}, magnitude{};
        double pmax, pmean, pdev, mmax, mmean, mdev;
        QCOMPARE(fft.ComputeSpectrum(blocks, power, pmax, pmean, pdev, false, false), 0);
        QCOMPARE(fft.ComputeSpectrum(blocks, magnitude, mmax, mmean, mdev, true, false), 0);
        QCOMPARE(ArgMax(power), bin);
        QCOMPARE(ArgMax(magnitude), bin);
        QCOMPARE(pmax, double(power[bin]));
        QCOMPARE(mmax, double(magnitude[bin]));
        // A 100-step sine through a Hamming window: about 100 * 32 * 0.54 in its bin.
        if (std::fmod(hz, 125.0) == 0.0) QVERIFY(std::abs(mmax - 1728.0) < 60.0);
        // Where both windows see the tone in the same phase, power is the square of the
        // magnitude, bin by bin.
        if (std::fmod(hz * 400 / 8000, 1.0) == 0.0)
            for (int i = 0; i < FFTApi::Bins; ++i)
                QVERIFY(std::abs(power[i] - magnitude[i] * magnitude[i]) <=
                        1e-3 * power[bin] + 1.0);
    }

    void statisticsOfTheBins() {
        FFTApi fft;
        QVERIFY(fft.FftSetup(64, true));
        const auto blocks = ToneBlocks(1000, 60);
        FFTApi::Spectrum out{};
        double maximum, mean, deviation;
        fft.ComputeSpectrum(blocks, out, maximum, mean, deviation, true, false);
        double sum = 0, squares = 0;
        for (int i = 0; i < FFTApi::Bins; ++i) {
            sum += out[i];
            squares += double(out[i]) * out[i];
        }
        const double m = sum / 32;
        QVERIFY(std::abs(mean - m) < 1e-3 * m);
        QVERIFY(std::abs(deviation - std::sqrt(squares / 32 - m * m)) < 1e-3 * deviation);
        QVERIFY(deviation > 0);
    }

    void silenceGivesZeros_data() {
        QTest::addColumn<bool>("magnitude");
        QTest::addColumn<bool>("averaging");
        QTest::newRow("power") << false << false;
        QTest::newRow("power, averaging") << false << true;
        QTest::newRow("magnitude") << true << false;
        QTest::newRow("magnitude, averaging") << true << true;
    }
    void silenceGivesZeros() {
        QFETCH(bool, magnitude);
        QFETCH(bool, averaging);
        FFTApi fft;
        QVERIFY(fft.FftSetup(64, true));
        FFTApi::Blocks blocks{};
        FFTApi::Spectrum out{};
        double maximum = -1, mean = -1, deviation = -1;
        for (int k = 0; k < 3; ++k)
            fft.ComputeSpectrum(blocks, out, maximum, mean, deviation, magnitude, averaging);
        for (int i = 0; i < FFTApi::Bins; ++i) QCOMPARE(out[i], 0.0f);
        QCOMPARE(maximum, 0.0);
        QCOMPARE(mean, 0.0);
        QCOMPARE(deviation, 0.0);
    }

    // Each averaged spectrum halves the distance to a constant input.
    void averagingConvergesGeometrically() {
        FFTApi fft;
        QVERIFY(fft.FftSetup(64, true));
        const auto blocks = ToneBlocks(1000, 80);
        FFTApi::Spectrum target{}, out{};
        double maximum, mean, deviation;
        fft.ComputeSpectrum(blocks, target, maximum, mean, deviation, true, false);
        for (int k = 1; k <= 12; ++k) {
            fft.ComputeSpectrum(blocks, out, maximum, mean, deviation, true, true);
            const double expected = target[8] * (1.0 - std::pow(0.5, k));
            QVERIFY2(
                std::abs(out[8] - expected) <= 1e-4 * target[8],
                qPrintable(QStringLiteral("step %1: %2 vs %3").arg(k).arg(out[8]).arg(expected)));
        }
    }

    // A non-flat spectrum whose bins are all equal must not give NaN for its deviation.
    void flatSpectrumHasZeroDeviation() {
        FFTApi fft;
        QVERIFY(fft.FftSetup(64, true));
        FFTApi::Blocks blocks{};
        blocks[0][0] = 77.0f; // an impulse: the same magnitude in every bin
        FFTApi::Spectrum out{};
        double maximum, mean, deviation;
        fft.ComputeSpectrum(blocks, out, maximum, mean, deviation, false, false);
        QVERIFY(maximum > 0);
        QVERIFY(mean > 0);
        QVERIFY(!std::isnan(deviation));
        QVERIFY2(deviation <= 1e-4 * mean, qPrintable(QString::number(deviation)));
    }

    void setupAndRelease() {
        FFTApi fft;
        QVERIFY(!fft.FftSetup(128, true));
        QVERIFY(!fft.Ready());
        FFTApi::Spectrum out{};
        out.fill(5.0f);
        double maximum = -1, mean = -1, deviation = -1;
        // Without a plan nothing is computed and nothing breaks.
        QCOMPARE(
            fft.ComputeSpectrum(ToneBlocks(1000, 50), out, maximum, mean, deviation, true, false),
            0);
        QCOMPARE(maximum, 0.0);
        QVERIFY(fft.FftSetup(64, true));
        QVERIFY(fft.FftSetup(64, true)); // planned once; a second setup keeps it
        QVERIFY(fft.FftSetup(64, false));
        QVERIFY(!fft.Ready());
        QVERIFY(FFTApi::NspAvailable());
    }
};

QTEST_APPLESS_MAIN(TstFftApi)
#include "tst_fftapi.moc"
