// The keyboard, wheel and clipboard commands, driven through the real window against the
// simulated receiver; each case checks the command lines that reach the wire.

#include "tst_keys_support.h"

#include "input/keys.h"
#include "input/keys_table.h"
#include "scan/scan_engine.h"
#include "ui/minihelp.h"

#include <QClipboard>
#include <QWheelEvent>

class TestKeys : public QObject {
    Q_OBJECT

private slots:
    void sequences_data();
    void sequences();
    void refused_data();
    void refused();
    void stepEntry();
    void quickStoreReturnsOnlyTheFrequency();
    void markSwap();
    void clipboard_data();
    void clipboard();
    void rightClickPastes();
    void digitBoxes();
    void wheel_data();
    void wheel();
    void regionAndKnownStations();
    void pendingLetterIndicator();
    void lockAndUnlock();
    void helpWindow();
    void burstReachesTheLastStep_data();
    void burstReachesTheLastStep();
    void steppingScanIsRemembered();
};

void TestKeys::sequences_data() {
    QTest::addColumn<qint64>("start");
    QTest::addColumn<QString>("keys");
    QTest::addColumn<QStringList>("lines");
    QTest::addColumn<int>("beeps");

    // 9410 kHz lies in a broadcast band with a 5 kHz channel step.
    const qint64 f = 9410000;
    // clang-format off
    QTest::newRow("typed kHz") << f << "7125.5{Enter}" << QStringList{"F07125500"} << 0;
    QTest::newRow("three decimals") << f << "7125.125{Enter}" << QStringList{"F07125125"} << 0;
    QTest::newRow("fourth decimal refused") << f << "7125.1256{Enter}" << QStringList{"F07125125"} << 1;
    QTest::newRow("comma as point") << f << "7125,5{Enter}" << QStringList{"F07125500"} << 0;
    QTest::newRow("second point refused") << f << "7.1.5{Enter}" << QStringList{"F00007150"} << 1;
    QTest::newRow("top refused at last digit") << f << "29999.999{Enter}" << QStringList{"F29999990"} << 1;
    QTest::newRow("just below top") << f << "29999.998{Enter}" << QStringList{"F29999998"} << 0;
    QTest::newRow("30 MHz refused") << f << "30000{Enter}" << QStringList{"F03000000"} << 1;
    QTest::newRow("backspace") << f << "7125{BS}6{Enter}" << QStringList{"F07126000"} << 0;
    QTest::newRow("backspace on nothing") << f << "{BS}" << QStringList{} << 1;
    QTest::newRow("below 1 kHz refused") << f << "0.5{Enter}" << QStringList{} << 1;
    QTest::newRow("Enter alone keeps") << f << "{Enter}" << QStringList{} << 0;
    QTest::newRow("Up") << f << "{Up}" << QStringList{"F09415000"} << 0;
    QTest::newRow("Shift Up 1/10") << f << "{S-Up}" << QStringList{"F09410500"} << 0;
    QTest::newRow("Ctrl Up 1/5") << f << "{C-Up}" << QStringList{"F09411000"} << 0;
    QTest::newRow("Alt Up 1/2") << f << "{A-Up}" << QStringList{"F09412500"} << 0;
    QTest::newRow("Shift+Ctrl Up 2") << f << "{SC-Up}" << QStringList{"F09420000"} << 0;
    QTest::newRow("Shift+Alt Up 5") << f << "{SA-Up}" << QStringList{"F09435000"} << 0;
    QTest::newRow("Ctrl+Alt Up 10") << f << "{CA-Up}" << QStringList{"F09460000"} << 0;
    QTest::newRow("Ctrl+Alt+Shift Up 20") << f << "{SCA-Up}" << QStringList{"F09510000"} << 0;
    QTest::newRow("Down") << f << "{Down}" << QStringList{"F09405000"} << 0;
    QTest::newRow("Shift Down") << f << "{S-Down}" << QStringList{"F09409500"} << 0;
    // From the band's first channel Down enters a band with a 1 kHz step and moves by that.
    QTest::newRow("Down into a finer band") << qint64(9400000) << "{Down}" << QStringList{"F09399000"} << 0;
    QTest::newRow("Up wraps at the top") << qint64(29999999) << "{Up}" << QStringList{"F00001000"} << 0;
    QTest::newRow("Left wraps at the bottom") << qint64(1200) << "{Left}" << QStringList{"F29999999"} << 0;
    QTest::newRow("Right adds the local step") << f << "{Right}" << QStringList{"F09410500"} << 0;
    QTest::newRow("Left subtracts it") << f << "{Left}{Left}" << QStringList{"F09409500", "F09409000"} << 0;
    QTest::newRow("Home rounds down") << qint64(9410750) << "{Home}" << QStringList{"F09410000"} << 0;
    QTest::newRow("Shift Home: nearest station") << qint64(162200) << "{S-Home}" << QStringList{"F00162000"} << 0;
    QTest::newRow("Insert and Delete swallowed") << f << "{Del}" << QStringList{} << 0;
    QTest::newRow("next band") << f << "+" << QStringList{"F09900000"} << 0;
    QTest::newRow("previous band") << f << "-" << QStringList{"F09040000"} << 0;
    QTest::newRow("keep and return") << f << "({Up})" << QStringList{"F09415000", "F09410000"} << 0;
    QTest::newRow("return with nothing kept") << f << ")" << QStringList{} << 1;
    QTest::newRow("MU") << f << "MU" << QStringList{"D2"} << 0;
    QTest::newRow("mw lower case") << f << "mw" << QStringList{"D1"} << 0;
    QTest::newRow("MC as the key help names CW") << f << "MC" << QStringList{"D1"} << 0;
    QTest::newRow("MR") << f << "MR" << QStringList{"D0"} << 0;
    QTest::newRow("ML") << f << "ML" << QStringList{"D3"} << 0;
    QTest::newRow("MF") << f << "MF" << QStringList{"D5"} << 0;
    QTest::newRow("MX") << f << "MX" << QStringList{"D6"} << 0;
    QTest::newRow("MA when already AM") << f << "MA" << QStringList{} << 0;
    QTest::newRow("FN") << f << "FN" << QStringList{"B2"} << 0;
    QTest::newRow("FI") << f << "FI" << QStringList{"B1", "W2200"} << 0;
    QTest::newRow("FA") << f << "FA" << QStringList{"B3"} << 0;
    QTest::newRow("N1") << f << "N1" << QStringList{"N1"} << 0;
    QTest::newRow("N2 then N0") << f << "N2N0" << QStringList{"N2", "N0"} << 0;
    QTest::newRow("unknown second letter") << f << "MZ" << QStringList{} << 1;
    QTest::newRow("command after typed entry drops it") << f << "7125MU{Enter}" << QStringList{"D2"} << 0;
    QTest::newRow("Esc drops the entry") << f << "7125{Esc}{Enter}" << QStringList{} << 0;
    QTest::newRow("Esc drops the letter") << f << "M{Esc}N1" << QStringList{"N1"} << 0;
    QTest::newRow("key without meaning") << f << "Q" << QStringList{} << 1;
    QTest::newRow("function key without meaning") << f << "{F5}" << QStringList{} << 0;
    // clang-format on
}

void TestKeys::sequences() {
    QFETCH(qint64, start);
    QFETCH(QString, keys);
    QFETCH(QStringList, lines);
    QFETCH(int, beeps);

    KelvaneFixture::Options options;
    options.hiveLines = NoBandDefaults();
    KelvaneFixture fx(options);
    QVERIFY(Ready(fx, start));
    const int beepsBefore = fx.main->BeepCount;

    QCOMPARE(Type(fx, keys), lines);
    QCOMPARE(fx.main->BeepCount - beepsBefore, beeps);
}

void TestKeys::refused_data() {
    QTest::addColumn<bool>("held");
    QTest::addColumn<bool>("locked");
    QTest::addColumn<QString>("keys");
    QTest::addColumn<int>("beeps");

    // Navigation keys do nothing (quietly) unless the receiver is held and the panel free.
    QTest::newRow("Up not held") << false << false << "{Up}" << 0;
    QTest::newRow("Right not held") << false << false << "{Right}" << 0;
    QTest::newRow("Home while locked") << true << true << "{Home}" << 0;
    QTest::newRow("Enter not held") << false << false << "7125{Enter}" << 0;
    QTest::newRow("Enter while locked") << true << true << "7125{Enter}" << 0;
    QTest::newRow("next band not held") << false << false << "+" << 1;
    QTest::newRow("next band while locked") << true << true << "+" << 1;
    QTest::newRow("scan not held") << false << false << "SB" << 1;
    QTest::newRow("hold while locked") << true << true << "L" << 1;
}

void TestKeys::refused() {
    QFETCH(bool, held);
    QFETCH(bool, locked);
    QFETCH(QString, keys);
    QFETCH(int, beeps);

    KelvaneFixture::Options options;
    options.hiveLines = NoBandDefaults();
    KelvaneFixture fx(options);
    QVERIFY(Ready(fx, 9410000, held));
    if (locked) fx.main->SetPanelLocked(true);
    const double before = fx.main->receiver().Fr();
    const int beepsBefore = fx.main->BeepCount;
    const int stateBefore = int(fx.main->State().Scan);

    QCOMPARE(Type(fx, keys), QStringList{});
    QCOMPARE(fx.main->BeepCount - beepsBefore, beeps);
    QCOMPARE(fx.main->receiver().Fr(), before);
    QCOMPARE(int(fx.main->State().Scan), stateBefore);
    QCOMPARE(fx.main->State().RemoteHeld, held);
    QCOMPARE(fx.main->State().PanelLocked, locked);
}

void TestKeys::stepEntry() {
    KelvaneFixture::Options options;
    options.hiveLines = NoBandDefaults();
    KelvaneFixture fx(options);
    QVERIFY(Ready(fx, 9410000));

    // A typed number before an arrow is the local step in hertz; it does not tune.
    QCOMPARE(Type(fx, "2500{Right}"), QStringList{});
    QCOMPARE(fx.main->TuningStep(), 2500.0);
    QCOMPARE(fx.main->STP[0]->text(), QStringLiteral("2500"));
    QVERIFY(fx.main->keys().Entry().Empty());
    QCOMPARE(Type(fx, "{Right}{Left}{Left}"), (QStringList{"F09412500", "F09410000", "F09407500"}));
    // A step of nothing is refused.
    const int beeps = fx.main->BeepCount;
    QCOMPARE(Type(fx, "0{Left}"), QStringList{});
    QCOMPARE(fx.main->BeepCount, beeps + 1);
    QCOMPARE(fx.main->TuningStep(), 2500.0);
}

void TestKeys::quickStoreReturnsOnlyTheFrequency() {
    // With the band plan's defaults on, ")" from another band sends the kept frequency and
    // nothing else: the receiver keeps the mode and filter it has.
    KelvaneFixture fx;
    QVERIFY(Ready(fx, 9410000));
    QCOMPARE(Type(fx, "("), QStringList{});
    const QStringList away = Type(fx, "14100{Enter}");
    QVERIFY2(away.size() > 1, qPrintable(away.join(' '))); // the new band's mode went out too
    QCOMPARE(Type(fx, ")"), QStringList{"F09410000"});
}

void TestKeys::markSwap() {
    KelvaneFixture::Options options;
    options.hiveLines = NoBandDefaults();
    KelvaneFixture fx(options);
    QVERIFY(Ready(fx, 7100000));
    ScanEngine& scan = fx.main->scan();

    // Lower mark first, upper second: kept as they are.
    QVERIFY(PanelTune(fx, 7100000));
    Type(fx, "[");
    QCOMPARE(scan.Mark(1), 7100000.0);
    QCOMPARE(scan.Mark(2), -1.0);
    QVERIFY(PanelTune(fx, 7105000));
    Type(fx, "]");
    QCOMPARE(scan.Mark(1), 7100000.0);
    QCOMPARE(scan.Mark(2), 7105000.0);
    // A "[" above the upper mark is swapped into place.
    QVERIFY(PanelTune(fx, 7120000));
    Type(fx, "[");
    QCOMPARE(scan.Mark(1), 7105000.0);
    QCOMPARE(scan.Mark(2), 7120000.0);
    // A "]" below the lower mark likewise.
    QVERIFY(PanelTune(fx, 7090000));
    Type(fx, "]");
    QCOMPARE(scan.Mark(1), 7090000.0);
    QCOMPARE(scan.Mark(2), 7105000.0);
    QCOMPARE(scan.Mark(0), -1.0);
}

void TestKeys::clipboard_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("lines");

    QTest::newRow("kHz with decimals") << "7125.5" << QStringList{"F07125500"};
    QTest::newRow("kHz whole") << " 7125 " << QStringList{"F07125000"};
    QTest::newRow("comma") << "6,2" << QStringList{"F00006200"};
    QTest::newRow("sub-hertz dropped") << "7125.12345" << QStringList{"F07125123"};
    QTest::newRow("not a number") << "abc" << QStringList{};
    QTest::newRow("two points") << "7.1.2" << QStringList{};
    QTest::newRow("above the range") << "30000" << QStringList{};
    QTest::newRow("below the range") << "0.9" << QStringList{};
    QTest::newRow("huge") << "99999999999999999999" << QStringList{};
}

void TestKeys::clipboard() {
    QFETCH(QString, text);
    QFETCH(QStringList, lines);

    KelvaneFixture::Options options;
    options.hiveLines = NoBandDefaults();
    KelvaneFixture fx(options);
    QVERIFY(Ready(fx, 9410000));

    Type(fx, "{C-c}");
    QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("9410.000"));

    QGuiApplication::clipboard()->setText(text);
    const int beeps = fx.main->BeepCount;
    QCOMPARE(Type(fx, "{C-v}"), lines);
    QCOMPARE(fx.main->BeepCount - beeps, lines.isEmpty() ? 1 : 0);
}

void TestKeys::rightClickPastes() {
    KelvaneFixture::Options options;
    options.hiveLines = NoBandDefaults();
    KelvaneFixture fx(options);
    QVERIFY(Ready(fx, 9410000));

    QGuiApplication::clipboard()->setText(QStringLiteral("6215.5"));
    // On the background, and on a label: one paste each, never two.
    QTest::mouseClick(fx.main.get(), Qt::RightButton, {}, QPoint(2, 2));
    QStringList lines;
    Settle(fx, &lines);
    QCOMPARE(lines, QStringList{"F06215500"});
    QVERIFY(PanelTune(fx, 9410000));
    KelvaneFixture::click(fx.main->Band, Qt::RightButton);
    lines.clear();
    Settle(fx, &lines);
    QCOMPARE(lines, QStringList{"F06215500"});
}

void TestKeys::digitBoxes() {
    KelvaneFixture::Options options;
    options.hiveLines = NoBandDefaults();
    KelvaneFixture fx(options);
    QVERIFY(Ready(fx, 9410000));
    Main& m = *fx.main;

    // Box 4 is the kilohertz digit of eight.
    KelvaneFixture::click(m.digits().Box(4));
    QTRY_VERIFY(fx.main->digits().Editing());
    QCOMPARE(fx.main->digits().EditIndex(), 4);
    QCOMPARE(Type(fx, "{Up}"), QStringList{"F09411000"});
    QCOMPARE(Type(fx, "{K-+}{K--}{Down}"), (QStringList{"F09412000", "F09411000", "F09410000"}));
    // A digit replaces the box and moves on; nothing tunes before Enter.
    QCOMPARE(Type(fx, "73"), QStringList{});
    QCOMPARE(m.digits().Box(4)->text(), QStringLiteral("7"));
    QCOMPARE(m.digits().Box(5)->text(), QStringLiteral("3"));
    QCOMPARE(m.focusWidget(), m.digits().Box(6));
    QCOMPARE(Type(fx, "{Enter}"), QStringList{"F09417300"});
    // Left and Right move between boxes with wrap; Backspace moves back.
    KelvaneFixture::click(m.digits().Box(0));
    Type(fx, "{Left}");
    QCOMPARE(m.focusWidget(), m.digits().Box(7));
    Type(fx, "{Right}{Right}");
    QCOMPARE(m.focusWidget(), m.digits().Box(1));
    Type(fx, "{BS}");
    QCOMPARE(m.focusWidget(), m.digits().Box(0));
    // Esc ends digit editing as the window's Esc does.
    Type(fx, "{Esc}");
    QVERIFY(!fx.main->digits().Editing());
    QCOMPARE(m.digits().Box(4)->text(), QStringLiteral("7"));
}

static void Wheel(QWidget* w, int delta, Qt::MouseButtons buttons) {
    const QPointF at(w->width() / 2.0, w->height() / 2.0);
    QWheelEvent ev(at, w->mapToGlobal(at), QPoint(), QPoint(0, delta), buttons, Qt::NoModifier,
                   Qt::NoScrollPhase, false);
    QApplication::sendEvent(w, &ev);
}

void TestKeys::wheel_data() {
    QTest::addColumn<int>("delta");
    QTest::addColumn<bool>("middle");
    QTest::addColumn<bool>("onDigit");
    QTest::addColumn<QStringList>("lines");
    QTest::addColumn<int>("scanState");

    // clang-format off
    QTest::newRow("forward is Left") << 120 << false << false << QStringList{"F09409500"} << 0;
    QTest::newRow("backward is Right") << -120 << false << false << QStringList{"F09410500"} << 0;
    QTest::newRow("two notches") << 240 << false << false << QStringList{"F09409500", "F09409000"} << 0;
    QTest::newRow("half a notch does nothing") << 60 << false << false << QStringList{} << 0;
    QTest::newRow("middle forward: stepping up") << 120 << true << false << QStringList{} << 12;
    QTest::newRow("forward on a digit is Down") << 120 << false << true << QStringList{"F09409000"} << 0;
    QTest::newRow("backward on a digit is Up") << -120 << false << true << QStringList{"F09411000"} << 0;
    // clang-format on
}

void TestKeys::wheel() {
    QFETCH(int, delta);
    QFETCH(bool, middle);
    QFETCH(bool, onDigit);
    QFETCH(QStringList, lines);
    QFETCH(int, scanState);

    KelvaneFixture::Options options;
    options.hiveLines = NoBandDefaults();
    KelvaneFixture fx(options);
    QVERIFY(Ready(fx, 9410000));
    if (onDigit) {
        KelvaneFixture::click(fx.main->digits().Box(4));
        QTRY_VERIFY(fx.main->digits().Editing());
    }

    QStringList got;
    if (delta == 240) {
        Wheel(fx.main->Band, 120, Qt::NoButton);
        Settle(fx, &got);
        Wheel(fx.main->Band, 120, Qt::NoButton);
    } else {
        Wheel(fx.main->Band, delta, middle ? Qt::MiddleButton : Qt::NoButton);
    }
    Settle(fx, &got);
    QCOMPARE(got, lines);
    QCOMPARE(int(fx.main->State().Scan), scanState);
    if (scanState == 12) {
        QVERIFY(fx.main->scan().StepUp());
        QVERIFY(!fx.main->State().PanelLocked); // the stepping scan leaves the panel free
    }
}

void TestKeys::regionAndKnownStations() {
    KelvaneFixture::Options options;
    options.hiveLines = NoBandDefaults();
    KelvaneFixture fx(options);
    QVERIFY(Ready(fx, 162000, false));
    Main& m = *fx.main;
    // Band tracking runs while the receiver is not held.
    fx.tick(2);
    QVERIFY(Hold(fx));

    QCOMPARE(m.RNG->text(), QStringLiteral("R2"));
    Type(fx, "r");
    QCOMPARE(m.RNG->text(), QStringLiteral("R3"));

    // No known list chosen yet: refused.
    int beeps = m.BeepCount;
    QCOMPARE(Type(fx, "{S-+}"), QStringList{});
    QCOMPARE(m.BeepCount, beeps + 1);

    // With the broadcast list chosen: its next and previous stations.
    m.settings.KWN_Sel = QList<int>(20, 0);
    m.settings.KWN_Sel[0] = 19;
    m.settings.KWN_Sel[1] = 1;
    beeps = m.BeepCount;
    QCOMPARE(Type(fx, "{S-+}"), QStringList{"F00183000"});
    QCOMPARE(m.CHN->text(), QStringLiteral("00-002"));
    QCOMPARE(m.LblCHN->text(), QStringLiteral("Kf"));
    QCOMPARE(Type(fx, "{S--}"), QStringList{"F00162000"});
    QCOMPARE(m.CHN->text(), QStringLiteral("00-001"));
    QVERIFY(m.Band->text().contains(QStringLiteral("France Inter")));
    QCOMPARE(m.BeepCount, beeps);
}

void TestKeys::pendingLetterIndicator() {
    KelvaneFixture::Options options;
    options.hiveLines = NoBandDefaults();
    KelvaneFixture fx(options);
    QVERIFY(Ready(fx, 9410000));
    const QColor peach(255, 224, 192);
    const auto colour = [&] { return fx.main->DIMInf->palette().color(QPalette::Window); };

    Type(fx, "M");
    QCOMPARE(fx.main->keys().PendingCommand(), QChar(u'M'));
    QCOMPARE(colour(), peach);
    Type(fx, "U");
    QVERIFY(fx.main->keys().PendingCommand().isNull());
    QVERIFY(colour() != peach);
    Type(fx, "7");
    QCOMPARE(colour(), peach);
    QVERIFY(fx.main->CmdBox->isHidden());
    // The digits show the typed value (kHz) without tuning.
    QCOMPARE(fx.main->digits().Box(4)->text(), QStringLiteral("7"));
    QCOMPARE(fx.main->digits().Box(1)->text(), QStringLiteral("0"));
    Type(fx, "{Esc}");
    QVERIFY(colour() != peach);
}

void TestKeys::lockAndUnlock() {
    KelvaneFixture::Options options;
    options.hiveLines = NoBandDefaults();
    KelvaneFixture fx(options);
    QVERIFY(Ready(fx, 9410000, false));
    QCOMPARE(Type(fx, "U"), QStringList{"H1"});
    QVERIFY(fx.main->State().RemoteHeld);
    QVERIFY(fx.main->FT->isEnabled());
    QCOMPARE(Type(fx, "l"), QStringList{"H0"});
    QVERIFY(!fx.main->State().RemoteHeld);
    QVERIFY(!fx.main->FT->isEnabled());
}

void TestKeys::helpWindow() {
    KelvaneFixture::Options options;
    options.hiveLines = NoBandDefaults();
    options.hiveLines << QStringLiteral("\"HelpLeft\"=dword:000005a0") // 1440 twips
                      << QStringLiteral("\"HelpTop\"=dword:00000b40"); // 2880 twips
    KelvaneFixture fx(options);
    QVERIFY(Ready(fx, 9410000, false));
    Type(fx, "{S-F1}");
    QVERIFY(!fx.main->Help().isVisible());
    Type(fx, "{F1}");
    MiniHelp& help = fx.main->Help();
    QVERIFY(help.isVisible());
    QCOMPARE(help.windowTitle(), fx.main->ProgramTitle + QStringLiteral(" Keys      "));
    QCOMPARE(help.pos(), QPoint(TwipsToPixels(1440), TwipsToPixels(2880)));
    // The keys go back to the main window.
    QCOMPARE(fx.main->focusWidget(), fx.main->Dummy);
    // It lists the commands that work, and only those.
    const QString html = MiniHelp::Html();
    for (const CommandRow& row : Commands()) {
        const QString keys = QStringLiteral(">%1%2<").arg(QChar(row.prefix), QChar(row.second));
        QVERIFY2(html.contains(keys) == row.built, qPrintable(keys));
    }
    QTest::keyClick(&help, Qt::Key_Escape);
    QVERIFY(!help.isVisible());

    // Where the operator leaves it is stored at shutdown.
    Type(fx, "{F1}");
    help.move(help.pos() + QPoint(30, 0));
    const int left = help.LeftTwips();
    QVERIFY(left != 1440);
    fx.stopMain();
    QCOMPARE(fx.readHive()->RegGet("Kelvane", QString(), "HelpLeft", 0).toInt(), left);
}

QTEST_MAIN(TestKeys)
// Keys pressed faster than the receiver reports (a held key, a spun wheel) all count: each step
// builds on the last one commanded, and the receiver ends where the last key put it.
void TestKeys::burstReachesTheLastStep_data() {
    QTest::addColumn<int>("gapMs");
    QTest::newRow("at once") << 0;
    QTest::newRow("10 ms") << 10;
    QTest::newRow("40 ms") << 40;
}

void TestKeys::burstReachesTheLastStep() {
    QFETCH(int, gapMs);
    KelvaneFixture::Options options;
    options.hiveLines = NoBandDefaults();
    KelvaneFixture fx(options);
    QVERIFY(Ready(fx, 9410000));
    constexpr int presses = 40;
    for (int i = 0; i < presses; ++i) {
        QTest::keyClick(fx.main->Dummy, Qt::Key_Up);
        if (gapMs) QTest::qWait(gapMs);
    }
    const QStringList lines = TuneLines(fx.takeLines());
    const qint64 last = 9410000 + presses * 5000;
    QVERIFY(!lines.isEmpty());
    QVERIFY2(lines.last() == QStringLiteral("F%1").arg(last, 8, 10, QChar(u'0')),
             qPrintable(lines.join(u' ')));
    // Never a step back, never more lines than keys.
    QVERIFY(lines.size() <= presses);
    for (qsizetype i = 1; i < lines.size(); ++i) QVERIFY(lines[i] > lines[i - 1]);
    QTRY_COMPARE(fx.sim.settings().hz, last);
}

// The stepping scan stores its mode, so the Scan button starts it again.
void TestKeys::steppingScanIsRemembered() {
    KelvaneFixture::Options options;
    options.hiveLines = NoBandDefaults();
    KelvaneFixture fx(options);
    QVERIFY(Ready(fx, 9410000));
    Type(fx, "{SCA-Left}");
    QCOMPARE(int(fx.main->State().Scan), int(ScanState::Stepping));
    QCOMPARE(fx.main->settings.SCN_Mode, 255);
    Type(fx, "{Esc}");
    KelvaneFixture::click(fx.main->Scan);
    QCOMPARE(int(fx.main->State().Scan), int(ScanState::Stepping));
}

#include "tst_keys.moc"
