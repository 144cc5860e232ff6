// The receiver panel against the simulator: what it shows and what its clicks send.
#include "core/tuner.h"
#include "core/units.h"
#include "fixture.h"
#include "input/keys.h"
#include "memory/memory_table.h"
#include "memory/ui/memory_wiring.h"
#include "ui/frequency_digits.h"

#include <fennick/freqs.h>
#include <ostry/nrd535.h>

#include <QRegularExpression>
#include <QTest>

using nrd535sim::RxSettings;

class TestPanel : public QObject {
    Q_OBJECT

private:
    // Puts the receiver in the given state while it is not held (so the status report carries
    // the filter), waits until the driver has it, then takes remote hold with the lock picture.
    static bool prepare(KelvaneFixture& f, const RxSettings& s, bool hold) {
        // No reply to an earlier poll may still be on its way: one describing the old setting
        // would arrive after the change and undo it in the driver.
        f.clearLines();
        KelvaneFixture::waitFor([&] { return f.sim.pendingOutput() == 0; });
        f.sim.panelSet(s);
        Nrd535& rx = f.main->receiver();
        rx.NBUpd();
        if (!f.waitTicking(
                [&] {
                    return rx.MD() == s.md && rx.AG() == s.ag && rx.AT() == s.at &&
                           rx.NB() == s.nb && rx.FT() == s.ft && rx.Fr() == double(s.hz);
                },
                80)) { // a loaded machine may take a while to deliver the polls' replies
            qWarning("receiver not ready: MD %d AG %d AT %d NB %d FT %d Fr %.0f", int(rx.MD()),
                     int(rx.AG()), int(rx.AT()), int(rx.NB()), int(rx.FT()), rx.Fr());
            return false;
        }
        if (hold) {
            KelvaneFixture::click(f.main->LockImg[0]);
            if (!f.main->State().RemoteHeld) return false;
        }
        f.clearLines();
        return true;
    }

private slots:
    void connectedPanelShowsTheReceiver() {
        KelvaneFixture f;
        QVERIFY(f.ok());
        RxSettings s;
        s.hz = 7205000;
        s.md = 3;
        s.ft = 2;
        s.ag = 1;
        s.at = 1;
        s.nb = 2;
        s.sq = 1;
        QVERIFY(prepare(f, s, false));
        Main& m = *f.main;
        QString digits;
        for (int i = 0; i < FrequencyDigits::Count; ++i) digits += m.digits().Box(i)->text();
        QCOMPARE(digits, QStringLiteral("07205000"));
        QCOMPARE(m.MD->text(), QStringLiteral("LSB"));
        QCOMPARE(m.FT->text(), QStringLiteral("Narrow"));
        QCOMPARE(m.AG->text(), QStringLiteral("Fast"));
        QCOMPARE(m.AT->text(), QStringLiteral("ON"));
        QCOMPARE(m.NB->text(), QStringLiteral("NB2"));
        // The squelch and S-meter come with the next polls.
        const int raw = f.sim.meterReading();
        QVERIFY(f.waitTicking([&] {
            return m.SM->text() == m.receiver().SMDesc(qint16(raw)) &&
                   m.SQ->text() == QLatin1String("SON");
        }));
        QCOMPARE(m.SQ->palette().color(QPalette::Window), QColor(255, 0, 0));
        QVERIFY(!m.Mask->isVisible());
        QVERIFY2(m.windowTitle().endsWith(QStringLiteral(" Rev. 535D SIM 1.00]")),
                 qPrintable(m.windowTitle()));
        QCOMPARE(m.FilterPosition, 0); // taken from the first report after connecting
    }

    // Tuning inside a band sends only the frequency; entering another band also sends the band's
    // mode and filter, once.
    void bandDefaultsOnlyOnEnteringABand() {
        KelvaneFixture f;
        QVERIFY(f.ok());
        Main& m = *f.main;
        m.settings.BND_AutoMD = true;
        m.settings.BND_AutoFT = true;
        RxSettings s;
        s.hz = 7050000;
        QVERIFY(prepare(f, s, true));
        // Each tune waits for the line, as tunes a tick apart do.
        const auto tune = [&](double hz) {
            m.TuneTo(hz, true, true, true);
            QVERIFY(KelvaneFixture::waitFor([&] { return !m.tuner().Pending(); }));
        };
        tune(7060000);
        f.clearLines();
        tune(7070000);
        tune(7080000);
        QCOMPARE(f.takeLines(), QStringList({"F07070000", "F07080000"}));
        tune(9410000); // a broadcast band
        tune(9420000);
        const QStringList lines = f.takeLines();
        // The band's settings go out once, ahead of the first frequency only.
        QVERIFY2(lines.size() > 2, qPrintable(lines.join(u' ')));
        QVERIFY(lines.filter(QRegularExpression("^F")).size() == 2);
        QCOMPARE(lines.mid(lines.size() - 2), QStringList({"F09410000", "F09420000"}));
    }

    void sMeterColourFollowsThreshold_data() {
        QTest::addColumn<int>("raw");
        QTest::addColumn<int>("scanState");
        QTest::addColumn<QColor>("colour");
        QTest::newRow("strong signal, below threshold") << 90 << 0 << QColor(0, 255, 0);
        QTest::newRow("at threshold") << 128 << 0 << QColor(255, 192, 128);
        QTest::newRow("weak") << 200 << 0 << QColor(255, 192, 128);
        QTest::newRow("noise measurement") << 90 << 1 << QColor(128, 255, 255);
    }
    void sMeterColourFollowsThreshold() {
        QFETCH(int, raw);
        QFETCH(int, scanState);
        QFETCH(QColor, colour);
        KelvaneFixture f;
        QVERIFY(f.ok());
        f.main->SetScanState(ScanState(scanState));
        f.sim.setFixedMeter(raw);
        // The noise measurement asks for the S-meter itself; the tick's other polls follow.
        f.main->receiver().SMUpd();
        QVERIFY(f.waitTicking([&] { return f.main->receiver().SM() == raw; }));
        QCOMPARE(f.main->SM->palette().color(QPalette::Window), colour);
        QCOMPARE(f.main->SM->text(), f.main->receiver().SMDesc(qint16(raw)));
    }

    void clicksSendCommands_data() {
        QTest::addColumn<QString>("control");
        QTest::addColumn<int>("button");
        QTest::addColumn<int>("md");
        QTest::addColumn<int>("ft");
        QTest::addColumn<int>("ag");
        QTest::addColumn<int>("at");
        QTest::addColumn<int>("nb");
        QTest::addColumn<bool>("offAllow");
        QTest::addColumn<int>("filterPosition");
        QTest::addColumn<bool>("held");
        QTest::addColumn<QStringList>("expected");
        const int L = Qt::LeftButton, R = Qt::RightButton;
        // clang-format off
        QTest::newRow("mode 8 wraps to 0")     << "MD" << L << 8 << 0 << 0 << 0 << 0 << true  <<  0 << true  << QStringList{"D0"};
        QTest::newRow("mode 3 to 4")           << "MD" << L << 3 << 0 << 0 << 0 << 0 << true  <<  0 << true  << QStringList{"D4"};
        QTest::newRow("agc 1 to off allowed")  << "AG" << L << 4 << 0 << 1 << 0 << 0 << true  <<  0 << true  << QStringList{"G2"};
        QTest::newRow("agc 1, off refused")    << "AG" << L << 4 << 0 << 1 << 0 << 0 << false <<  0 << true  << QStringList{"G0"};
        QTest::newRow("agc 0 to fast")         << "AG" << L << 4 << 0 << 0 << 0 << 0 << false <<  0 << true  << QStringList{"G1"};
        QTest::newRow("nb 2 wraps to 0")       << "NB" << L << 4 << 0 << 0 << 0 << 2 << true  <<  0 << true  << QStringList{"N0"};
        QTest::newRow("nb 0 to 1")             << "NB" << L << 4 << 0 << 0 << 0 << 0 << true  <<  0 << true  << QStringList{"N1"};
        QTest::newRow("att on")                << "AT" << L << 4 << 0 << 0 << 0 << 0 << true  <<  0 << true  << QStringList{"A1"};
        QTest::newRow("att off")               << "AT" << L << 4 << 0 << 0 << 1 << 0 << true  <<  0 << true  << QStringList{"A0"};
        QTest::newRow("filter wide to inter")  << "FT" << L << 4 << 0 << 0 << 0 << 0 << true  <<  0 << true  << QStringList{"B1", "W2200"};
        QTest::newRow("filter aux to quick")   << "FT" << L << 4 << 3 << 0 << 0 << 0 << true  <<  3 << true  << QStringList{"B0", "W2400"};
        QTest::newRow("filter last wraps")     << "FT" << L << 4 << 3 << 0 << 0 << 0 << true  <<  6 << true  << QStringList{"B0", "W5500"};
        QTest::newRow("filter before report")  << "FT" << L << 4 << 2 << 0 << 0 << 0 << true  << -1 << true  << QStringList{"B0", "W5500"};
        QTest::newRow("right click on mode")   << "MD" << R << 4 << 0 << 0 << 0 << 0 << true  <<  0 << true  << QStringList{};
        QTest::newRow("right click on agc")    << "AG" << R << 4 << 0 << 0 << 0 << 0 << true  <<  0 << true  << QStringList{};
        QTest::newRow("right click on filter") << "FT" << R << 4 << 0 << 0 << 0 << 0 << true  <<  0 << true  << QStringList{};
        QTest::newRow("mode while not held")   << "MD" << L << 4 << 0 << 0 << 0 << 0 << true  <<  0 << false << QStringList{};
        QTest::newRow("right click on lock")   << "LockImg" << R << 4 << 0 << 0 << 0 << 0 << true << 0 << false << QStringList{};
        QTest::newRow("lock releases")         << "LockImg" << L << 4 << 0 << 0 << 0 << 0 << true << 0 << true  << QStringList{"H0"};
        // clang-format on
    }
    void clicksSendCommands() {
        QFETCH(QString, control);
        QFETCH(int, button);
        QFETCH(int, md);
        QFETCH(int, ft);
        QFETCH(int, ag);
        QFETCH(int, at);
        QFETCH(int, nb);
        QFETCH(bool, offAllow);
        QFETCH(int, filterPosition);
        QFETCH(bool, held);
        QFETCH(QStringList, expected);

        KelvaneFixture f;
        QVERIFY(f.ok());
        Main& m = *f.main;
        m.settings.AGC_OffAllow = offAllow;
        m.settings.FLT_Inf[2] = QuickFilter{2400, QStringLiteral("SSB")};
        RxSettings s;
        s.md = md;
        s.ft = ft;
        s.ag = ag;
        s.at = at;
        s.nb = nb;
        QVERIFY(prepare(f, s, held));
        m.FilterPosition = filterPosition;

        QWidget* target = control == "MD"   ? static_cast<QWidget*>(m.MD)
                          : control == "AG" ? m.AG
                          : control == "NB" ? m.NB
                          : control == "AT" ? m.AT
                          : control == "FT" ? m.FT
                          : control == "LockImg"
                              ? static_cast<QWidget*>(held ? m.LockImg[1] : m.LockImg[0])
                              : nullptr;
        QVERIFY(target);
        KelvaneFixture::click(target, Qt::MouseButton(button));
        QCOMPARE(f.takeLines(), expected);
    }

    void stepLabelWraps_data() {
        QTest::addColumn<double>("start");
        QTest::addColumn<int>("button");
        QTest::addColumn<double>("expected");
        QTest::newRow("adds 500") << 500.0 << int(Qt::LeftButton) << 1000.0;
        QTest::newRow("up to the limit") << 74500.0 << int(Qt::LeftButton) << 75000.0;
        QTest::newRow("past the limit") << 75000.0 << int(Qt::LeftButton) << 500.0;
        QTest::newRow("zero or less") << -500.0 << int(Qt::LeftButton) << 75000.0;
        QTest::newRow("right button") << 1000.0 << int(Qt::RightButton) << 1000.0;
        QTest::newRow("middle repaints only") << 1000.0 << int(Qt::MiddleButton) << 1000.0;
    }
    void stepLabelWraps() {
        QFETCH(double, start);
        QFETCH(int, button);
        QFETCH(double, expected);
        KelvaneFixture f;
        QVERIFY(f.ok());
        f.main->SetTuningStep(start);
        KelvaneFixture::click(f.main->STP[0], Qt::MouseButton(button));
        QCOMPARE(f.main->TuningStep(), expected);
        if (button != Qt::RightButton) QCOMPARE(f.main->STP[0]->text(), QString::number(expected));
    }

    void bandAndRegionClicksFollowTheBandPlan() {
        KelvaneFixture f;
        QVERIFY(f.ok());
        Main& m = *f.main;
        KelvaneFixture::click(m.LockImg[0]);
        QVERIFY(m.State().RemoteHeld);
        f.clearLines();
        // A copy of the program's plan, stepped alongside.
        Freqs plan = m.freqs();
        const QString name = QString::fromStdString(plan.BandNxt(true));
        const qint64 start = qint64(plan.BandFrq() * 1000);

        KelvaneFixture::click(m.Band);
        QCOMPARE(m.Band->text(), name);
        QVERIFY(m.Polling);
        const QStringList lines = f.takeLines();
        QVERIFY2(lines.contains(QStringLiteral("F%1").arg(start, 8, 10, QLatin1Char('0'))),
                 qPrintable(lines.join(QLatin1Char(' '))));
        QString digits;
        for (int i = 0; i < FrequencyDigits::Count; ++i) digits += m.digits().Box(i)->text();
        QCOMPARE(digits, QStringLiteral("%1").arg(start, 8, 10, QLatin1Char('0')));

        const int region = m.freqs().Region();
        KelvaneFixture::click(m.RNG);
        QCOMPARE(m.freqs().Region(), (region + 1) % 3);
        QCOMPARE(m.RNG->text(), QStringLiteral("R%1").arg((region + 1) % 3 + 1));
        KelvaneFixture::click(m.RNG, Qt::RightButton);
        QCOMPARE(m.freqs().Region(), (region + 1) % 3);
    }

    void autoFlagsToggleAndRepaint() {
        KelvaneFixture f;
        QVERIFY(f.ok());
        Main& m = *f.main;
        QCOMPARE(m.Auto[0]->palette().color(QPalette::Window), QColor(0, 255, 0));
        KelvaneFixture::click(m.Auto[0]);
        QVERIFY(!m.settings.BND_AutoFT);
        QVERIFY(m.settings.BND_AutoMD);
        QCOMPARE(m.Auto[0]->palette().color(QPalette::Window), QColor(255, 0, 0));
        KelvaneFixture::click(m.Auto[1], Qt::RightButton);
        QVERIFY(m.settings.BND_AutoMD);
    }

    void quickFilterCodeShowsItsName_data() {
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("caption");
        QTest::newRow("receiver filter") << 1 << "Inter";
        QTest::newRow("named quick filter, cut to five") << 2400 << "SSB w";
        QTest::newRow("unnamed bandwidth") << 3100 << "3100";
    }
    void quickFilterCodeShowsItsName() {
        QFETCH(int, code);
        QFETCH(QString, caption);
        KelvaneFixture f;
        QVERIFY(f.ok());
        f.main->settings.FLT_Inf[4] = QuickFilter{2400, QStringLiteral("SSB wide")};
        f.main->settings.FLT_Inf[5] = QuickFilter{3100, QString()};
        f.main->ShowFilter(code, false);
        QCOMPARE(f.main->FT->text(), caption);
    }

    void channelDumpFillsTables_data() {
        QTest::addColumn<bool>("table");
        QTest::addColumn<int>("channel");
        QTest::addColumn<bool>("empty");
        QTest::newRow("channel table row") << true << 3 << false;
        QTest::newRow("empty channel keeps the row") << true << 2 << true;
        QTest::newRow("quick memory row") << false << 7 << false;
        QTest::newRow("beyond the quick memories") << false << 12 << false;
    }
    void channelDumpFillsTables() {
        QFETCH(bool, table);
        QFETCH(int, channel);
        QFETCH(bool, empty);
        KelvaneFixture f;
        QVERIFY(f.ok());
        Main& m = *f.main;
        nrd535sim::Channel c;
        c.empty = empty;
        c.hz = 6195000;
        c.md = 4;
        c.ft = 1;
        f.sim.setChannel(channel, c);
        auto* memory = m.findChild<MemoryRoom*>();
        QVERIFY(memory);
        ChannelTable& channels = memory->Channels();
        const MemoryRecord kept{1234, 1, 2, 0, QStringLiteral("kept")};
        for (int i = 0; i < 200; ++i) channels.SetRow(i, kept);
        channels.SetModified(false);
        for (auto& r : m.settings.MEM_Inf) r = kept;
        QVERIFY(m.receiver().CHUpd(qint16(channel), qint16(channel), table));
        // The program keeps ticking (and polling) while a dump runs.
        QVERIFY(f.waitTicking([&] { return !m.receiver().DumpBusy(); }));
        QVERIFY(f.waitTicking([&] { return m.CHN->text().isEmpty(); })); // cleared at the end

        const bool stored = !empty && channel < (table ? 200 : 10);
        for (int i = 0; i < 200; ++i) {
            const MemoryRecord& r =
                table ? channels.Row(i) : (i < 10 ? m.settings.MEM_Inf[size_t(i)] : kept);
            const bool here = stored && i == channel;
            QCOMPARE(r.Frequency, here ? 6195000.0 : kept.Frequency);
            QCOMPARE(r.Filter, here ? 1 : kept.Filter);
            QCOMPARE(r.Comment, here ? QString() : kept.Comment);
        }
        // A dump brings what the receiver holds: nothing the operator edited.
        QVERIFY(!channels.Modified());
    }

    // Esc while the receiver is free must not hand the operator controls that act on it.
    void escWhileFreeKeepsTheControlsDisabled() {
        KelvaneFixture f;
        QVERIFY(f.ok());
        Main& m = *f.main;
        QVERIFY(!m.State().RemoteHeld);
        QTest::keyClick(m.Dummy, Qt::Key_Escape);
        for (QWidget* w :
             std::initializer_list<QWidget*>{m.AG, m.FT, m.AT, m.NB, m.Scan, m.digits().Box(2)})
            QVERIFY2(!w->isEnabled(), qPrintable(w->objectName() + w->metaObject()->className()));
        // The greyed controls and the lock picture say why and what takes the receiver.
        const QString why = QStringLiteral("The receiver is on its front panel: U or a click on "
                                           "the lock takes it under remote control");
        for (QWidget* w : std::initializer_list<QWidget*>{m.AG, m.FT, m.AT, m.NB, m.Scan,
                                                          m.digits().Box(2), m.LockImg[0]})
            QCOMPARE(w->toolTip(), why);
        QCOMPARE(m.SM->toolTip(),
                 QStringLiteral("Click for noise floor view, use SHIFT to compute it"));
        f.clearLines();
        QTest::keyClick(m.digits().Box(2), Qt::Key_Up);
        QCOMPARE(f.takeLines(), QStringList{});
    }

    // With the receiver off the cover hides the frequency and reads in full.
    void coverHidesTheWholeFrequency() {
        KelvaneFixture f;
        QVERIFY(f.ok());
        Main& m = *f.main;
        f.sim.setPowered(false);
        QVERIFY(f.waitTicking([&] { return !m.State().Connected; }));
        QVERIFY(m.Mask->isVisible());
        QVERIFY(!m.digits().isVisible());
        QVERIFY2(m.Mask->width() >= m.digits().sizeHint().width(),
                 qPrintable(QString::number(m.Mask->width())));
        QVERIFY(m.Mask->height() >= m.digits().sizeHint().height());
        QVERIFY(m.Mask->fontMetrics().horizontalAdvance(m.Mask->text()) <= m.Mask->width());
        f.sim.setPowered(true);
        QVERIFY(f.waitTicking([&] { return m.State().Connected; }));
        QVERIFY(!m.Mask->isVisible());
        QVERIFY(m.digits().isVisible());
    }

    // Labels that only show, and the gaps of the frame, are not the window background: a click
    // there keeps what the operator is typing. The background itself clears it, and only while
    // connected.
    void clicksThatKeepTheEntry_data() {
        QTest::addColumn<QString>("target");
        QTest::addColumn<bool>("connected");
        QTest::addColumn<bool>("kept");
        QTest::newRow("channel number") << "CHN" << true << true;
        QTest::newRow("channel tag") << "LblCHN" << true << true;
        QTest::newRow("database picture") << "FrDbImg" << true << true;
        QTest::newRow("step caption") << "LblSTP" << true << true;
        QTest::newRow("frame gap") << "frame" << true << true;
        QTest::newRow("background") << "background" << true << false;
        QTest::newRow("background, no link") << "background" << false << true;
    }
    void clicksThatKeepTheEntry() {
        QFETCH(QString, target);
        QFETCH(bool, connected);
        QFETCH(bool, kept);
        KelvaneFixture f;
        QVERIFY(f.ok());
        Main& m = *f.main;
        if (!connected) {
            f.sim.setPowered(false);
            QVERIFY(f.waitTicking([&] { return !m.State().Connected; }));
        }
        QTest::keyClicks(m.Dummy, QStringLiteral("712"));
        QCOMPARE(m.keys().Entry().Text(), QStringLiteral("712"));
        QWidget* w = &m;
        QPoint at(1, 1);
        if (target == QLatin1String("CHN")) w = m.CHN;
        if (target == QLatin1String("LblCHN")) w = m.LblCHN;
        if (target == QLatin1String("FrDbImg")) w = m.FrDbImg;
        if (target == QLatin1String("LblSTP")) w = m.LblSTP[0];
        if (target == QLatin1String("frame")) {
            w = m.FrqFrame;
            at = QPoint(-1, -1);
            for (int y = 0; y < w->height() && at.x() < 0; ++y)
                for (int x = w->width() / 2; x < w->width() && at.x() < 0; ++x)
                    if (!w->childAt(x, y)) at = QPoint(x, y);
            QVERIFY(at.x() >= 0);
        }
        if (w != &m && w != m.FrqFrame) {
            w->show(); // the database picture shows only while linked
            at = w->rect().center();
        }
        QTest::mouseClick(w, Qt::LeftButton, Qt::NoModifier, at);
        QCOMPARE(m.keys().Entry().Text(), kept ? QStringLiteral("712") : QString());
    }
};

QTEST_MAIN(TestPanel)
#include "tst_panel.moc"
