// The identification dialog and the options dialog, driven as the operator would.

#include "lists/ui/info.h"
#include "settings/settings.h"
#include "ui/opts.h"

#include <halvard/meter.h>

#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>

class TestListsUi : public QObject {
    Q_OBJECT
private slots:
    void composeIdent_data();
    void composeIdent();
    void infoDialog_data();
    void infoDialog();

    void startTab_data();
    void startTab();
    void cancelRestoresEveryValue();
    void okKeepsValues();
    void scanStepBox_data();
    void scanStepBox();
    void scanStepKeys();
    void sliders();
    void importControls();
    void profileChosen();
    void profilePreselected();
    void presets_data();
    void presets();
    void noSoundInput();
    void soundCardNone();
};

void TestListsUi::composeIdent_data() {
    QTest::addColumn<QString>("identification");
    QTest::addColumn<QString>("mode");
    QTest::addColumn<QString>("speed");
    QTest::addColumn<QString>("ident");

    QTest::newRow("defaults") << ""
                              << "Voice"
                              << ""
                              << "Voice";
    QTest::newRow("voice with a speed") << "BBC"
                                        << "Voice"
                                        << "50"
                                        << "BBC - Voice";
    QTest::newRow("RTTY 50") << "DWD"
                             << "RTTY"
                             << "50"
                             << "DWD - RTTY/50";
    QTest::newRow("mode without speed") << ""
                                        << "CW"
                                        << ""
                                        << "CW";
    QTest::newRow("61 characters cut to 60") << QString(61, u'x') << "Voice"
                                             << "" << QString(60, u'x') + " - Voice";
    QTest::newRow("typed mode") << "A"
                                << "PACTOR"
                                << "100"
                                << "A - PACTOR/100";
}

void TestListsUi::composeIdent() {
    QFETCH(QString, identification);
    QFETCH(QString, mode);
    QFETCH(QString, speed);
    QFETCH(QString, ident);
    QCOMPARE(Info::ComposeIdent(identification, mode, speed), ident);
}

void TestListsUi::infoDialog_data() {
    QTest::addColumn<QString>("typed");
    QTest::addColumn<int>("modeIndex"); // -1: type the mode
    QTest::addColumn<QString>("modeText");
    QTest::addColumn<QString>("speed");
    QTest::addColumn<QString>("ident");

    QTest::newRow("untouched") << "" << -1 << ""
                               << ""
                               << "Voice";
    QTest::newRow("chosen mode and speed") << "Kiel" << 1 << ""
                                           << "75"
                                           << "Kiel - RTTY/75";
    QTest::newRow("typed mode") << "X" << -1 << "SSTV"
                                << ""
                                << "X - SSTV";
    QTest::newRow("voice drops a speed") << "Y" << -1 << "Voice"
                                         << "110"
                                         << "Y - Voice";
    QTest::newRow("box holds 80 characters") << QString(90, u'a') << -1 << ""
                                             << "" << QString(60, u'a') + " - Voice";
}

void TestListsUi::infoDialog() {
    QFETCH(QString, typed);
    QFETCH(int, modeIndex);
    QFETCH(QString, modeText);
    QFETCH(QString, speed);
    QFETCH(QString, ident);

    Info info(false);
    QCOMPARE(info.windowTitle(), QStringLiteral("Enter identification"));
    QCOMPARE(info.Mode->currentText(), QStringLiteral("Voice"));
    QTest::keyClicks(info.Data, typed);
    QCOMPARE(info.Data->text(), typed.left(80));
    if (modeIndex >= 0) info.Mode->setCurrentIndex(modeIndex);
    if (!modeText.isEmpty()) {
        info.Mode->lineEdit()->clear();
        QTest::keyClicks(info.Mode->lineEdit(), modeText);
    }
    if (!speed.isEmpty()) QTest::keyClicks(info.Baud->lineEdit(), speed);
    QTest::mouseClick(info.OK, Qt::LeftButton);
    QCOMPARE(info.result(), int(QDialog::Accepted));
    QCOMPARE(info.Ident(), ident);
}

void TestListsUi::startTab_data() {
    QTest::addColumn<int>("tabs");
    QTest::addColumn<int>("index");
    QTest::newRow("1") << 1 << 0;
    QTest::newRow("3") << 3 << 2;
    QTest::newRow("4") << 4 << 3;
    QTest::newRow("0 gives 1") << 0 << 0;
    QTest::newRow("5 gives 1") << 5 << 0;
}

void TestListsUi::startTab() {
    QFETCH(int, tabs);
    QFETCH(int, index);
    Settings s;
    Opts o(s);
    o.Tabs(tabs);
    o.Activate();
    QCOMPARE(o.All->currentIndex(), index);
    QCOMPARE(o.All->tabText(2), QStringLiteral("&Import"));
    QCOMPARE(o.All->tabToolTip(3), QStringLiteral("Set Sound Acquisition Parameters"));
}

// Types into a box of the shown dialog as an operator does, and leaves it with Tab.
static void typeInto(Opts& o, QLineEdit* box, const QString& text) {
    o.show();
    QVERIFY(QTest::qWaitForWindowActive(&o));
    for (QWidget* w = box->parentWidget(); w; w = w->parentWidget())
        if (o.All->indexOf(w) >= 0) o.All->setCurrentWidget(w);
    box->setFocus();
    QVERIFY(box->hasFocus());
    QTest::keyClick(box, Qt::Key_End);
    while (!box->text().isEmpty()) QTest::keyClick(box, Qt::Key_Backspace);
    QTest::keyClicks(box, text);
    QTest::keyClick(box, Qt::Key_Tab);
}

// Changes every value the dialog edits, through its controls.
static void editEverything(Opts& o) {
    o.AgcOff->click();
    o.WndSnd->click();
    o.WndTop->click();
    o.BndMod->click();
    o.BndFlt->click();
    o.ScanPrm[7]->click();
    o.BndStp->click();
    o.ScanStp->setText(QStringLiteral("2500"));
    o.ScanDel[0]->setValue(50);
    o.ScanDel[1]->setValue(12);
    o.ImpCmn->click();
    o.ImpCmv->click();
    o.ImpFrq[4]->click();
    o.ImpMod[5]->click();
    o.ImpCmt[2]->click();
    o.ImpFix[3]->click();
    typeInto(o, o.ImpSiz[6], QStringLiteral("17"));
}

void TestListsUi::cancelRestoresEveryValue() {
    Settings s;
    s.SCN_Mode = 2;
    s.SCN_Step = 1000;
    s.SCN_Delay = 4;
    s.SCN_Wait = 3;
    s.COM_Port = 2;
    const Settings before = s;
    Opts o(s);
    int portDialogs = 0;
    o.SetOpenPortDialog([&] {
        ++portDialogs;
        s.COM_Port = 5;
        s.COM_Speed = QStringLiteral("9600");
    });
    o.Activate();
    editEverything(o);
    o.ComPrt->click();
    QCOMPARE(portDialogs, 1);

    // The dialog edits the live values while open.
    QCOMPARE(s.AGC_OffAllow, !before.AGC_OffAllow);
    QCOMPARE(s.WIN_Beep, !before.WIN_Beep);
    QCOMPARE(s.WIN_OnTop, !before.WIN_OnTop);
    QCOMPARE(s.BND_AutoMD, !before.BND_AutoMD);
    QCOMPARE(s.BND_AutoFT, !before.BND_AutoFT);
    QCOMPARE(s.SCN_Mode, 7);
    QCOMPARE(s.BND_AutoST, !before.BND_AutoST);
    QCOMPARE(s.SCN_Step, 2500);
    QCOMPARE(s.SCN_Delay, 50);
    QCOMPARE(s.SCN_Wait, 12);
    QCOMPARE(s.IMP_VNul, !before.IMP_VNul);
    QCOMPARE(s.IMP_VCmt, !before.IMP_VCmt);
    QCOMPARE(s.IMP_Frq, 4);
    QCOMPARE(s.IMP_Mod, 5);
    QCOMPARE(before.IMP_Cmt[2], 0);
    QCOMPARE(s.IMP_Cmt[2], 1); // one click: a comment after a space
    QCOMPARE(s.IMP_Fix[3], !before.IMP_Fix[3]);
    QCOMPARE(s.IMP_Siz[6], 17);

    QTest::mouseClick(o.cmdCancel, Qt::LeftButton);
    QVERIFY(o.Cancelled());
    QCOMPARE(s.AGC_OffAllow, before.AGC_OffAllow);
    QCOMPARE(s.WIN_Beep, before.WIN_Beep);
    QCOMPARE(s.WIN_OnTop, before.WIN_OnTop);
    QCOMPARE(s.BND_AutoMD, before.BND_AutoMD);
    QCOMPARE(s.BND_AutoFT, before.BND_AutoFT);
    QCOMPARE(s.BND_AutoST, before.BND_AutoST);
    QCOMPARE(s.SCN_Mode, before.SCN_Mode);
    QCOMPARE(s.SCN_Step, before.SCN_Step);
    QCOMPARE(s.SCN_Delay, before.SCN_Delay);
    QCOMPARE(s.SCN_Wait, before.SCN_Wait);
    QCOMPARE(s.COM_Port, before.COM_Port);
    QCOMPARE(s.COM_Speed, before.COM_Speed);
    QCOMPARE(s.IMP_VNul, before.IMP_VNul);
    QCOMPARE(s.IMP_VCmt, before.IMP_VCmt);
    QCOMPARE(s.IMP_Frq, before.IMP_Frq);
    QCOMPARE(s.IMP_Mod, before.IMP_Mod);
    QVERIFY(s.IMP_Cmt == before.IMP_Cmt);
    QVERIFY(s.IMP_Fix == before.IMP_Fix);
    QVERIFY(s.IMP_Siz == before.IMP_Siz);
    // The sound card and input chosen in the dialog come back too: soundCardNone.
}

void TestListsUi::okKeepsValues() {
    Settings s;
    Opts o(s);
    o.Activate();
    editEverything(o);
    QTest::mouseClick(o.cmdOK, Qt::LeftButton);
    QVERIFY(!o.Cancelled());
    QCOMPARE(s.SCN_Mode, 7);
    QCOMPARE(s.SCN_Delay, 50);
    QCOMPARE(s.IMP_Siz[6], 17);
}

void TestListsUi::scanStepBox_data() {
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("step");

    QTest::newRow("9000 is the largest") << "9000"
                                         << "9000" << 9000;
    QTest::newRow("12000 resets to 1000") << "12000"
                                          << "1000" << 1000;
    QTest::newRow("9001 resets to 1000") << "9001"
                                         << "1000" << 1000;
    QTest::newRow("small step") << "5"
                                << "5" << 5;
    QTest::newRow("letters are dropped") << "2a5"
                                         << "25" << 25;
    QTest::newRow("0 keeps the step") << "0"
                                      << "0" << 300;
}

void TestListsUi::scanStepBox() {
    QFETCH(QString, typed);
    QFETCH(QString, text);
    QFETCH(int, step);
    Settings s;
    s.SCN_Step = 300;
    s.BND_AutoST = false;
    s.WIN_Beep = true;
    Opts o(s);
    int beeps = 0;
    o.SetBeep([&] { ++beeps; });
    o.Activate();
    QVERIFY(o.ScanStp->isEnabled());
    o.ScanStp->selectAll();
    QTest::keyClick(o.ScanStp, Qt::Key_Backspace);
    QTest::keyClicks(o.ScanStp, typed);
    QCOMPARE(o.ScanStp->text(), text);
    QCOMPARE(s.SCN_Step, step);
    QCOMPARE(beeps, int(typed.count(u'a')));
}

void TestListsUi::scanStepKeys() {
    Settings s;
    s.BND_AutoST = true;
    s.WIN_Beep = false;
    Opts o(s);
    int beeps = 0;
    o.SetBeep([&] { ++beeps; });
    o.Activate();
    // The step box follows the band plan box.
    QVERIFY(!o.ScanStp->isEnabled());
    o.BndStp->click();
    QVERIFY(o.ScanStp->isEnabled());
    QCOMPARE(s.BND_AutoST, false);
    // A refused key without "WIN_Beep": no beep.
    QTest::keyClick(o.ScanStp, Qt::Key_X);
    QCOMPARE(beeps, 0);
}

void TestListsUi::sliders() {
    Settings s;
    Opts o(s);
    o.Activate();
    QCOMPARE(o.ScanDel[0]->minimum(), 1);
    QCOMPARE(o.ScanDel[0]->maximum(), 100);
    QCOMPARE(o.ScanDel[0]->pageStep(), 20);
    QCOMPARE(o.ScanDel[1]->maximum(), 30);
    QCOMPARE(o.ScanDel[1]->pageStep(), 5);
    o.ScanDel[0]->setValue(7);
    o.ScanDel[1]->setValue(30);
    QCOMPARE(o.ScanWde[0]->text(), QStringLiteral("0.70"));
    QCOMPARE(o.ScanWde[1]->text(), QStringLiteral("30.00"));
    QCOMPARE(s.SCN_Delay, 7);
    QCOMPARE(s.SCN_Wait, 30);
}

void TestListsUi::importControls() {
    Settings s;
    s.IMP_Frq = 9; // out of range: field 1
    s.IMP_Mod = -1;
    s.IMP_Siz = {0, 12, 0, 0, 0, 0, 0};
    s.IMP_Cmt = {0, 1, 2, 0, 0, 0, 0};
    Opts o(s);
    o.Activate();
    QCOMPARE(s.IMP_Frq, 0);
    QVERIFY(o.ImpFrq[0]->isChecked());
    for (QRadioButton* b : o.ImpMod) QVERIFY(!b->isChecked());
    QVERIFY(o.ImpMdt->isChecked());
    QCOMPARE(o.ImpSiz[0]->text(), QString());
    QCOMPARE(o.ImpSiz[1]->text(), QStringLiteral("12"));
    QCOMPARE(o.ImpCmt[1]->checkState(), Qt::Checked);
    // A comment on a new line shows ticked and stays so until the box is clicked; the boxes
    // have two states.
    QCOMPARE(o.ImpCmt[2]->checkState(), Qt::Checked);
    QVERIFY(!o.ImpCmt[2]->isTristate());
    QTest::mouseClick(o.ImpCmt[0], Qt::LeftButton);
    QCOMPARE(s.IMP_Cmt[0], 1);
    QTest::mouseClick(o.ImpCmt[0], Qt::LeftButton);
    QCOMPARE(s.IMP_Cmt[0], 0);
    QCOMPARE(s.IMP_Cmt[2], 2);
    QTest::mouseClick(o.ImpCmt[2], Qt::LeftButton);
    QCOMPARE(s.IMP_Cmt[2], 0);
    // An emptied size box is 0.
    typeInto(o, o.ImpSiz[1], QString());
    QCOMPARE(s.IMP_Siz[1], 0);
    typeInto(o, o.ImpSiz[1], QStringLiteral("40"));
    QCOMPARE(s.IMP_Siz[1], 40);

    // A mode button clears "Mode Field"; ticking it again clears the mode.
    o.ImpMod[3]->click();
    QCOMPARE(s.IMP_Mod, 3);
    QVERIFY(!o.ImpMdt->isChecked());
    o.ImpMod[1]->click();
    QCOMPARE(s.IMP_Mod, 1);
    QVERIFY(!o.ImpMod[3]->isChecked());
    o.ImpMdt->click();
    QCOMPARE(s.IMP_Mod, -1);
    for (QRadioButton* b : o.ImpMod) QVERIFY(!b->isChecked());
}

void TestListsUi::profileChosen() {
    QTemporaryDir dir;
    Settings s;
    s.IMP_Fil = dir.filePath(QStringLiteral("import.cnf"));
    {
        QFile f(s.IMP_Fil);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("# layouts\r\nsw|F(0)|M(0)|C(0)|Z(12)\r\nutc|X(0)|F(0)|C(200)\r\n");
    }
    s.IMP_Cmt.fill(1);
    Opts o(s);
    o.Activate();
    QVERIFY(o.Profils->isEnabled());
    QCOMPARE(o.Profils->count(), 2);
    QCOMPARE(o.Profils->itemText(0), QStringLiteral("SW"));
    o.Profils->setCurrentIndex(0);
    o.FromList->click();
    QCOMPARE(s.IMP_Frq, 0);
    QCOMPARE(s.IMP_Mod, 1);
    QVERIFY(o.ImpFrq[0]->isChecked());
    QVERIFY(o.ImpMod[1]->isChecked());
    QCOMPARE(o.ImpCmt[2]->checkState(), Qt::Checked);
    QCOMPARE(o.ImpCmt[3]->checkState(), Qt::Checked);
    QCOMPARE(s.IMP_Cmt[3], 2);
    QCOMPARE(o.ImpCmt[0]->checkState(), Qt::Unchecked);
    QVERIFY(o.ImpFix[3]->isChecked());
    QCOMPARE(o.ImpSiz[3]->text(), QStringLiteral("12"));
    QCOMPARE(s.IMP_Siz[3], 12);

    // Cancel undoes the profile too.
    QTest::mouseClick(o.cmdCancel, Qt::LeftButton);
    QCOMPARE(s.IMP_Frq, 1);
    QCOMPARE(s.IMP_Mod, -1);
    QCOMPARE(s.IMP_Cmt[0], 1);

    // No profile file: the list is empty and disabled.
    s.IMP_Fil = dir.filePath(QStringLiteral("missing.cnf"));
    Opts none(s);
    none.Activate();
    QVERIFY(!none.Profils->isEnabled());
    QCOMPARE(none.Profils->count(), 0);
}

void TestListsUi::profilePreselected() {
    Settings s;
    s.IMP_Fil = QStringLiteral(KELVANE_APP_DATA "/import.cnf");
    Opts o(s);
    o.Tabs(3);
    o.Profil(QStringLiteral("mode"));
    o.Activate();
    QCOMPARE(o.All->currentIndex(), 2);
    QCOMPARE(o.Profils->currentText(), QStringLiteral("MODE"));
    QCOMPARE(s.IMP_Frq, 0);
    QCOMPARE(s.IMP_Mod, 1);
    QCOMPARE(s.IMP_Siz[2], 200);
}

void TestListsUi::presets_data() {
    QTest::addColumn<QString>("button");
    QTest::addColumn<int>("frq");
    QTest::addColumn<int>("mod");
    QTest::addColumn<QList<int>>("cmt");
    QTest::addColumn<QList<int>>("siz");
    QTest::addColumn<QList<bool>>("fix");

    QTest::newRow("WUN") << "WUN" << 0 << -1 << QList<int>{0, 1, 1, 0, 0, 0, 0}
                         << QList<int>{8, 0, 0, 0, 0, 0, 0}
                         << QList<bool>{true, false, false, false, false, false, false};
    QTest::newRow("NO") << "NO" << 0 << 2 << QList<int>{0, 1, 0, 0, 0, 0, 0}
                        << QList<int>{9, 7, 56, 0, 0, 0, 0}
                        << QList<bool>{true, true, false, false, false, false, false};
    QTest::newRow("Shoc") << "Shoc" << 0 << 5 << QList<int>{0, 1, 0, 1, 0, 0, 0}
                          << QList<int>{10, 21, 4, 11, 3, 6, 24}
                          << QList<bool>{true, true, true, true, true, true, true};
}

void TestListsUi::presets() {
    QFETCH(QString, button);
    QFETCH(int, frq);
    QFETCH(int, mod);
    QFETCH(QList<int>, cmt);
    QFETCH(QList<int>, siz);
    QFETCH(QList<bool>, fix);

    Settings s;
    s.IMP_Frq = 3;
    s.IMP_Mod = 4;
    s.IMP_Cmt.fill(2);
    s.IMP_VNul = false;
    s.IMP_VCmt = false;
    Opts o(s);
    o.Activate();
    o.findChild<QPushButton*>(button)->click();
    // The view options are the operator's, not the layout's.
    QVERIFY(!s.IMP_VNul);
    QVERIFY(!s.IMP_VCmt);
    QVERIFY(!o.ImpCmn->isChecked());
    QVERIFY(!o.ImpCmv->isChecked());
    QCOMPARE(s.IMP_Frq, frq);
    QCOMPARE(s.IMP_Mod, mod);
    QCOMPARE(QList<int>(s.IMP_Cmt.begin(), s.IMP_Cmt.end()), cmt);
    QCOMPARE(QList<int>(s.IMP_Siz.begin(), s.IMP_Siz.end()), siz);
    QCOMPARE(QList<bool>(s.IMP_Fix.begin(), s.IMP_Fix.end()), fix);
    QCOMPARE(o.ImpMdt->isChecked(), mod == -1);
    for (int i = 0; i < 7; ++i) QCOMPARE(o.ImpFix[size_t(i)]->isChecked(), fix[i]);
}

void TestListsUi::noSoundInput() {
    Settings s;
    s.SND_Crd = 0;
    Opts o(s);
    o.Tabs(4);
    o.Activate();
    QVERIFY(o.SndErr->isVisibleTo(&o));
    QVERIFY(!o.SndCrdFrame->isVisibleTo(&o));
    QCOMPARE(o.SndErr->text(), QStringLiteral("SOUND CARD or NSP INTEL Library not found!"));
    for (QRadioButton* b : o.SndInp) QVERIFY(!b->isEnabled());
}

void TestListsUi::soundCardNone() {
    Settings s;
    s.SND_Crd = 0;
    s.SND_Inp = 1;
    Meter meter;
    Opts o(s);
    o.Sound(&meter);
    o.Tabs(4);
    o.Activate();
    QCOMPARE(o.SndCrd[2]->isEnabled(), meter.Cards() != 1);

    // "None" stops the meter and leaves no input to choose.
    o.SndCrd[0]->click();
    QCOMPARE(s.SND_Crd, -1);
    QCOMPARE(meter.Card(), qint16(-1));
    QVERIFY(!meter.Run());
    for (QRadioButton* b : o.SndInp) QVERIFY(!b->isEnabled());
    QVERIFY(o.SndErr->isVisibleTo(&o));

    // Cancel puts the card and input back in the settings (the meter is left as it is).
    QTest::mouseClick(o.cmdCancel, Qt::LeftButton);
    QCOMPARE(s.SND_Crd, 0);
    QCOMPARE(s.SND_Inp, 1);
}

QTEST_MAIN(TestListsUi)
#include "tst_lists_ui.moc"
