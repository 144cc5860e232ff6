#include <halvard/display.h>

#include <QTest>

#include <array>
#include <cmath>

using halvard::MeterDisplay;

namespace {

// A 340 x 120 pixel control at 96 dpi: frame 340 x 105, PlotOffset 13, PlotHeight 92.
void Wide(MeterDisplay& d) {
    d.Resize(340, 120, 15);
}

std::array<float, MeterDisplay::BarCount> Flat(float v) {
    std::array<float, MeterDisplay::BarCount> a;
    a.fill(v);
    return a;
}

} // namespace

class TstDisplay : public QObject {
    Q_OBJECT
private slots:
    void geometry() {
        MeterDisplay d;
        Wide(d);
        QCOMPARE(d.FrameHeight(), 105);
        QCOMPARE(d.PlotOffset(), 13);
        QCOMPARE(d.PlotHeight(), 92);
        QCOMPARE(d.BarWidth(), 10);
        QCOMPARE(d.Bars()[0].left, 10);
        QCOMPARE(d.Bars()[31].left, 320);
        QCOMPARE(d.SideBars()[1].left, 330);
        // Idle ramp: bar i is (i + 2) / 34 of the frame.
        QCOMPARE(d.Bars()[0].height, 2 * 105 / 34);
        QCOMPARE(d.Bars()[31].height, 33 * 105 / 34);
        QVERIFY(d.Bars()[31].visible);
    }

    void colourZone_data() {
        QTest::addColumn<int>("h");
        QTest::addColumn<int>("zone");
        QTest::newRow("full") << 92 << 2;
        QTest::newRow("just above two thirds") << 62 << 2;
        QTest::newRow("two thirds") << 61 << 1;
        QTest::newRow("just above a third") << 31 << 1;
        QTest::newRow("a third") << 30 << 0;
        QTest::newRow("empty") << 0 << 0;
    }
    void colourZone() {
        QFETCH(int, h);
        QFETCH(int, zone);
        MeterDisplay d;
        Wide(d);
        QCOMPARE(d.ColourZone(h), zone);
    }

    void maxAndMin() {
        MeterDisplay d;
        Wide(d);
        QVERIFY(d.Max(1, 500));
        QVERIFY(!d.Max(1, 400));
        QVERIFY(!d.Max(1, 500));
        QCOMPARE(d.Class(1).MaxVal, 500);
        QCOMPARE(d.Class(1).PrevMax, 1);
        QVERIFY(d.Max(1, 400, true));
        QCOMPARE(d.Class(1).MaxVal, 400);
        QCOMPARE(d.Class(1).PrevMax, 500);
        QCOMPARE(d.Class(1).Scale, 92.0f / 400);
        d.Min(1, 10); // not below the minimum of 0
        QCOMPARE(d.Class(1).MinVal, 0);
        d.Min(1, -100);
        QCOMPARE(d.Class(1).Scale, 92.0f / 500);
        QVERIFY(d.Max(2, 0, true)); // a zero maximum becomes 1
        QCOMPARE(d.Class(2).MaxVal, 1);
    }

    // A maximum equal to (or below) the minimum is never a divisor.
    void emptyRangeIsNoDivisor() {
        MeterDisplay d;
        Wide(d);
        d.Min(1, 5, true);
        d.Max(1, 5, true);
        QVERIFY(std::isfinite(d.Class(1).Scale));
        d.Min(1, 9, true);
        QVERIFY(std::isfinite(d.Class(1).Scale));
        QVERIFY(d.Class(1).Scale > 0);
        const auto data = Flat(3.0f);
        d.Update(data.data(), 3.0, 3.0, std::nullopt, false);
        for (const auto& b : d.Bars()) QVERIFY(b.height >= 0 && b.height <= d.FrameHeight());
    }

    void markerLine() {
        MeterDisplay d;
        Wide(d);
        d.Max(1, 1000);
        d.Max(1, 2000);
        // Red, at the height where the old maximum now sits.
        QCOMPARE(d.Marker().colour, QColor(255, 0, 0));
        QCOMPARE(d.Marker().y1, 105 - 46);
        QCOMPARE(d.Marker().x1, d.Bars()[0].left);
        QCOMPARE(d.Marker().x2, d.FrameWidth());
        d.Max(1, 500, true);
        QCOMPARE(d.Marker().colour, QColor(0, 255, 0));
        QCOMPARE(d.Marker().y1, d.PlotOffset());
    }

    void barsFollowTheData() {
        MeterDisplay d;
        Wide(d);
        d.Arrange(true);
        auto data = Flat(0.0f);
        data[8] = 4000;
        data[3] = 2000;
        data[5] = 40000; // above the maximum handed in: clipped to the frame
        d.Update(data.data(), 4000, 500, std::nullopt, false);
        QCOMPARE(d.Bars()[8].height, 92);
        QCOMPARE(d.Bars()[8].top, 105 - 92);
        QCOMPARE(d.Bars()[8].colour, QColor(255, 255, 192));
        QCOMPARE(d.Bars()[3].height, 46);
        QCOMPARE(d.Bars()[3].colour, QColor(255, 255, 128));
        QCOMPARE(d.Bars()[0].height, 0);
        QCOMPARE(d.Bars()[0].colour, QColor(255, 255, 16));
        QCOMPARE(d.Bars()[5].height, 105);
        QVERIFY(d.SideBars()[1].visible);
        QCOMPARE(d.SideBars()[1].height, 92);
        QCOMPARE(d.SideBars()[1].colour, QColor(255, 192, 255));
        QVERIFY(!d.SideBars()[0].visible);

        d.Update(data.data(), 4000, 500, 16384, false);
        QVERIFY(d.SideBars()[0].visible);
        QCOMPARE(d.SideBars()[0].height, 92);
        QCOMPARE(d.SideBars()[0].colour, QColor(192, 255, 255));
    }

    void levelDrop_data() {
        QTest::addColumn<double>("mean");
        QTest::addColumn<double>("maxi");
        QTest::addColumn<int>("bars");
        QTest::addColumn<int>("maximum");
        QTest::addColumn<int>("peak");
        QTest::newRow("halved: no rescale") << 500.0 << 500.0 << 10000 << 10000 << 20000;
        QTest::newRow("exactly a tenth: no rescale") << 100.0 << 500.0 << 10000 << 10000 << 20000;
        QTest::newRow("below a tenth: by 10") << 99.0 << 500.0 << 1000 << 50 << 1;
        QTest::newRow("exactly a hundredth: by 10") << 10.0 << 500.0 << 1000 << 50 << 1;
        QTest::newRow("below a hundredth: by 100") << 9.0 << 500.0 << 100 << 5 << 1;
        QTest::newRow("to nothing: by 100") << 0.0 << 0.0 << 100 << 1 << 1;
    }
    void levelDrop() {
        QFETCH(double, mean);
        QFETCH(double, maxi);
        QFETCH(int, bars);
        QFETCH(int, maximum);
        QFETCH(int, peak);
        MeterDisplay d;
        Wide(d);
        const auto loud = Flat(1000.0f);
        d.Update(loud.data(), 10000, 1000, 20000, false);
        const auto quiet = Flat(float(mean));
        d.Update(quiet.data(), maxi, mean, std::nullopt, false);
        QCOMPARE(d.Class(1).MaxVal, bars);
        QCOMPARE(d.Class(2).MaxVal, maximum);
        QCOMPARE(d.Class(0).MaxVal, peak);
    }

    // Without a new maximum for 20 updates the scales shrink to 0.707 of their maximum, so a
    // quieter signal grows back to fill the plot.
    void decay_data() {
        QTest::addColumn<int>("updates");
        QTest::addColumn<int>("bars");
        QTest::addColumn<int>("maximum");
        QTest::newRow("20 updates") << 20 << 10000 << 10000;
        QTest::newRow("21 updates") << 21 << 7070 << 2121;
        QTest::newRow("22 updates") << 22 << 7070 << 3000;
        QTest::newRow("42 updates") << 42 << 4998 << 2121;
        QTest::newRow("63 updates") << 63 << 3533 << 2121;
        QTest::newRow("84 updates") << 84 << 2497 << 2121;
        QTest::newRow("85 updates") << 85 << 3000 << 3000;
        QTest::newRow("105 updates") << 105 << 2121 << 2121;
        QTest::newRow("106 updates") << 106 << 3000 << 3000;
    }
    void decay() {
        QFETCH(int, updates);
        QFETCH(int, bars);
        QFETCH(int, maximum);
        MeterDisplay d;
        Wide(d);
        const auto loud = Flat(100.0f);
        d.Update(loud.data(), 10000, 100, std::nullopt, false);
        // The loud update counts as the first of the run.
        for (int k = 2; k <= updates; ++k) d.Update(loud.data(), 3000, 100, std::nullopt, false);
        QCOMPARE(d.Class(1).MaxVal, bars);
        QCOMPARE(d.Class(2).MaxVal, maximum);
    }

    void ticksAndLabels_data() {
        QTest::addColumn<int>("width");
        QTest::addColumn<double>("twipsPerPixel");
        QTest::addColumn<int>("step");
        QTest::addColumn<QString>("info");
        QTest::addColumn<QStringList>("labels");
        const QStringList all{"625", "1250", "1875", "2500", "3125", "3750"};
        const QStringList narrow{"625", "3125"};
        QTest::newRow("wide") << 340 << 15.0 << 1 << "" << all;
        QTest::newRow("design width") << 170 << 15.0 << 4 << " 32 * 125Hz" << narrow;
        QTest::newRow("2600 twips") << 200 << 13.0 << 4 << " 32 * 125Hz" << narrow;
        QTest::newRow("2613 twips") << 201 << 13.0 << 1 << "" << all;
    }
    void ticksAndLabels() {
        QFETCH(int, width);
        QFETCH(double, twipsPerPixel);
        QFETCH(int, step);
        QFETCH(QString, info);
        QFETCH(QStringList, labels);
        MeterDisplay d;
        d.SetTwipsPerPixel(twipsPerPixel);
        d.Resize(600, 120, 15); // a wide layout first: nothing of it may stay behind
        d.Resize(width, 120, 15);
        QCOMPARE(d.TickStep(), step);
        QCOMPARE(d.Info(), info);
        QStringList shown;
        for (const auto& l : d.Labels())
            if (l.visible) shown << l.text;
        QCOMPARE(shown, labels);
        int ticks = 0;
        for (int i = 0; i < MeterDisplay::BarCount; ++i) {
            const auto& t = d.Ticks()[i];
            if (!t.visible) continue;
            ++ticks;
            QCOMPARE((i - 1) % step, 0);
            QCOMPARE(t.x1, d.Bars()[i].left);
            QCOMPARE(t.y1, d.FrameHeight());
            const int weight = i % 10 == 0 ? 3 : i % 5 == 0 ? 2 : 1;
            QCOMPARE(t.weight, weight);
        }
        QCOMPARE(ticks, (MeterDisplay::BarCount - 2) / step + 1);
        // Labels sit under the middle of their bar.
        const auto& first = d.Labels()[0];
        QCOMPARE(first.centre, d.Bars()[5].left + d.Bars()[5].width / 2);
    }

    // Flat (about to capture): bars hidden and flat, the axis stays.
    void flatArrange() {
        MeterDisplay d;
        Wide(d);
        d.Arrange(true);
        for (const auto& b : d.Bars()) QVERIFY(!b.visible);
        for (const auto& l : d.Labels()) QVERIFY(l.visible);
        QVERIFY(d.Ticks()[10].visible);
        QVERIFY(!d.Ticks()[0].visible);
        QCOMPARE(d.Marker().y1, d.PlotOffset());
        QCOMPARE(d.Bars()[4].height, 1); // 12 twips
    }

    void sides_data() {
        QTest::addColumn<bool>("peakOk");
        QTest::newRow("peak meter") << true;
        QTest::newRow("no peak meter") << false;
    }
    void sides() {
        QFETCH(bool, peakOk);
        MeterDisplay d;
        Wide(d);
        d.ArrangeSides(peakOk);
        const auto& peak = d.SideBars()[0];
        QCOMPARE(peak.crossFill, !peakOk);
        QCOMPARE(d.Separators()[0].visible, peakOk);
        if (peakOk) {
            QCOMPARE(d.Separators()[0].x1, d.Bars()[0].left);
            QCOMPARE(peak.top + peak.height, d.FrameHeight());
        } else {
            QCOMPARE(peak.top, 0);
            QCOMPARE(peak.height, d.FrameHeight());
        }
        QVERIFY(d.Separators()[1].visible);
        QCOMPARE(d.Separators()[1].x1, d.FrameWidth() - d.BarWidth());
    }

    void lamps() {
        MeterDisplay d;
        Wide(d);
        const auto data = Flat(1.0f);
        QCOMPARE(d.Lamps()[1], QColor(255, 0, 0));
        d.Update(data.data(), 1, 1, std::nullopt, true);
        QCOMPARE(d.Lamps()[1], QColor(0, 255, 0));
        QCOMPARE(d.Lamps()[0], QColor(255, 0, 0));
        d.Update(data.data(), 1, 1, std::nullopt, false);
        QCOMPARE(d.Lamps()[1], QColor(255, 0, 0));
    }
};

QTEST_APPLESS_MAIN(TstDisplay)
#include "tst_display.moc"
