// Start-up, shutdown and the link: the port dialog, settings written at shutdown and read back
// by a second start, a receiver switched off and on, an adapter unplugged and plugged back.
#include "fixture.h"
#include "ui/comopt.h"

#include <fennick/freqs.h>
#include <ostry/nrd535.h>
#include <ostry/serialline.h>

#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QSerialPort>
#include <QTemporaryDir>
#include <QTest>
#include <ctime>
#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

namespace {

QByteArray readFile(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

QString entryFor(const QComboBox* box, int port) {
    for (int i = 0; i < box->count(); ++i)
        if (box->itemData(i).toInt() == port) return box->itemText(i);
    return QString();
}

double cpuSeconds() {
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return double(ts.tv_sec) + double(ts.tv_nsec) / 1e9;
}

} // namespace

class TestStartup : public QObject {
    Q_OBJECT

private slots:
    void firstStartAsksForThePort() {
        KelvaneFixture::Options o;
        o.configurePort = false;
        int offered = -1;
        QString entry;
        // The dialog is answered in place of the operator, without a nested event loop.
        auto answer = [&](Main& m) {
            ComOpt dialog(m.settings, &m);
            dialog.show();
            offered = dialog.Port->count();
            entry = entryFor(dialog.Port, KelvaneFixture::SimPort);
            dialog.Port->setCurrentIndex(dialog.Port->findData(KelvaneFixture::SimPort));
            dialog.ComSpd[2]->click(); // 9600
            dialog.OK->click();
        };
        // The fixture starts the window in its constructor: set the answer through a first,
        // unconnected start, then start again with it.
        KelvaneFixture f(o);
        QCOMPARE(f.portDialogShown, 1);
        // Ended before anything started: no port open, no timer.
        QVERIFY(f.main);
        QVERIFY(!f.main->receiver().PortOpened());
        QVERIFY(!f.main->TimerRunning());
        QVERIFY(!QFile::exists(f.settingsPath())); // ended without writing anything

        f.portDialog = answer;
        QVERIFY(f.startMain());
        QCOMPARE(f.portDialogShown, 2);
        QVERIFY(offered >= 1);
        QCOMPARE(entry, QStringLiteral("COM1  (%1)").arg(f.sim.path()));
        QCOMPARE(f.main->settings.COM_Port, KelvaneFixture::SimPort);
        QCOMPARE(f.main->settings.COM_Speed, QStringLiteral("9600"));
        QVERIFY(f.connect());
        f.stopMain();
        const auto hive = f.readHive();
        QCOMPARE(hive->RegGet(QStringLiteral("Kelvane"), QString(), QStringLiteral("COM_Port"), -1)
                     .toInt(),
                 KelvaneFixture::SimPort);
    }

    void failedOpenAsksAgain() {
        // The configured port maps to a device that does not exist.
        QTemporaryDir elsewhere;
        ostry::setPortDevice(3, elsewhere.filePath(QStringLiteral("ttyGone")));
        KelvaneFixture::Options o;
        o.configurePort = false;
        o.hiveLines << QStringLiteral("\"COM_Port\"=dword:00000003");
        o.connect = false;
        KelvaneFixture f(o);
        // No answer: the program ends after the message and one showing of the dialog.
        QCOMPARE(f.portDialogShown, 1);
        QCOMPARE(f.messages.size(), 1);
        QVERIFY(f.messages[0].contains(QStringLiteral("[Port=3]")));

        int asked = 0;
        f.portDialog = [&](Main& m) {
            ++asked;
            QCOMPARE(m.settings.COM_Port, -1); // the failed port was dropped
            m.settings.COM_Port = KelvaneFixture::SimPort;
        };
        f.messages.clear();
        QVERIFY(f.startMain());
        QCOMPARE(asked, 1);
        QVERIFY(f.connect());
    }

    void portDialogMarksPorts() {
        KelvaneFixture f;
        QVERIFY(f.ok());
        // Port 2 names the same device, which this program holds as port 1.
        ostry::setPortDevice(2, f.sim.path());
        QTemporaryDir elsewhere;
        ostry::setPortDevice(4, elsewhere.filePath(QStringLiteral("ttyGone")));
        {
            ComOpt dialog(f.main->settings, f.main.get());
            QCOMPARE(entryFor(dialog.Port, 1), QStringLiteral("COM1=  (%1)").arg(f.sim.path()));
            QCOMPARE(entryFor(dialog.Port, 2), QStringLiteral("COM2*  (%1)").arg(f.sim.path()));
            QCOMPARE(entryFor(dialog.Port, 4), QString()); // absent and not configured
            QCOMPARE(dialog.Port->currentData().toInt(), 1);
            QVERIFY(dialog.ComSpd[1]->isChecked());
            dialog.Port->setCurrentIndex(dialog.Port->findData(2));
            QVERIFY(dialog.Note->text().contains(QStringLiteral("in use by another program")));
            // Cancel keeps the port; a speed clicked meanwhile stays.
            dialog.ComSpd[3]->click();
            dialog.Cancel->click();
        }
        QCOMPARE(f.main->settings.COM_Port, 1);
        QCOMPARE(f.main->settings.COM_Speed, QStringLiteral("19200"));

        // A configured port that is absent is still offered, so it can be kept.
        f.main->settings.COM_Port = 4;
        ComOpt dialog(f.main->settings, f.main.get());
        QCOMPARE(entryFor(dialog.Port, 4),
                 QStringLiteral("COM4  (%1)").arg(elsewhere.filePath(QStringLiteral("ttyGone"))));
        QCOMPARE(dialog.Port->currentData().toInt(), 4);
        QVERIFY(dialog.Note->text().contains(QStringLiteral("not present")));
        dialog.OK->click();
        QCOMPARE(f.main->settings.COM_Port, 4);
    }

    void secondProgramFindsThePortInUse() {
        KelvaneFixture f;
        QVERIFY(f.ok());
        // Another program's open of the device fails while this one holds it.
        QSerialPort other;
        other.setPortName(f.sim.path());
        QVERIFY(!other.open(QIODevice::ReadWrite));
        QCOMPARE(ComOpt::PortStatus(KelvaneFixture::SimPort), ComOpt::InUse);
        f.stopMain();
        QCOMPARE(ComOpt::PortStatus(KelvaneFixture::SimPort), ComOpt::Free);
    }

    void shutdownWritesWhatTheNextStartReads() {
        KelvaneFixture::Options o;
        o.hiveLines << QStringLiteral("\"SCN_Delay\"=dword:00000000")
                    << QStringLiteral("\"SCN_Range\"=dword:000186a0")
                    << QStringLiteral("\"MEM_Inf5\"=\"6195000|4|0|0|old\"")
                    << QStringLiteral("\"HelpLeft\"=dword:00000960");
        KelvaneFixture f(o);
        QVERIFY(f.ok());
        Main& m = *f.main;
        QCOMPARE(m.settings.SCN_Delay, 4);
        QCOMPARE(m.settings.SCN_Range, 1000000.0);
        KelvaneFixture::click(m.Auto[1]); // "BND_AutoMD" off
        KelvaneFixture::click(m.RNG);     // next region
        const int region = m.freqs().Region();
        m.settings.AGC_OffAllow = false;
        m.settings.COM_Speed = QStringLiteral("9600");
        m.settings.SMT_Pad = QStringLiteral("my pad.log");
        m.settings.MEM_Inf[0] = MemoryRecord{7050000, 3, 1, 0, QStringLiteral("a|b")};
        m.settings.MEM_Inf[5].Frequency = 0; // written too, so an erased memory stays erased
        m.settings.FLT_Inf[9] = QuickFilter{3100, QStringLiteral("Data")};
        m.settings.IMP_Cmt[6] = 12;
        m.move(200, 150);
        f.stopMain();

        const QByteArray text = readFile(f.settingsPath());
        QVERIFY(text.contains("\"SCN_Delay\"=dword:00000004"));
        QVERIFY(text.contains("\"SCN_Range\"=dword:000f4240"));
        QVERIFY(text.contains("\"MEM_Inf5\"=\"0|4|0|0|old\""));
        QVERIFY(text.contains("\"IMP_Cmt7\"=dword:0000000c"));
        QVERIFY(text.contains("\"HelpLeft\"=dword:00000960")); // never read: kept as stored
        QVERIFY(text.contains("\"MainWidth\"=dword:"));
        QVERIFY(QFile::exists(f.settingsPath() + ".bak")); // the hive before this run

        QVERIFY(f.startMain());
        Main& n = *f.main;
        QCOMPARE(n.settings.BND_AutoMD, false);
        QCOMPARE(n.Auto[1]->palette().color(QPalette::Window), QColor(255, 0, 0));
        QCOMPARE(n.freqs().Region(), region);
        QCOMPARE(n.RNG->text(), QStringLiteral("R%1").arg(region + 1));
        QCOMPARE(n.settings.AGC_OffAllow, false);
        QCOMPARE(n.settings.COM_Speed, QStringLiteral("9600"));
        QCOMPARE(n.settings.SMT_Pad, QStringLiteral("my pad.log"));
        QCOMPARE(n.settings.MEM_Inf[0].Comment, QStringLiteral("a|b"));
        QCOMPARE(n.settings.MEM_Inf[5].Comment, QStringLiteral("old"));
        QCOMPARE(n.settings.FLT_Inf[9].Code, 3100);
        QCOMPARE(n.settings.IMP_Cmt[6], 12);
        QCOMPARE(n.settings.MainLeft, 200 * 15);
        QCOMPARE(n.settings.MainTop, 150 * 15);
        QVERIFY(f.connect());
    }

    void closingMinimisedWritesNothing() {
        KelvaneFixture f;
        QVERIFY(f.ok());
        const QByteArray before = readFile(f.settingsPath());
        f.main->settings.AGC_OffAllow = false;
        f.main->showMinimized();
        QTRY_VERIFY(f.main->isMinimized());
        f.stopMain();
        QCOMPARE(readFile(f.settingsPath()), before);
        QVERIFY(!QFile::exists(f.settingsPath() + ".bak"));
        // The link was still closed properly: the receiver was released.
        QTRY_VERIFY(f.sim.receivedLines().endsWith(QStringLiteral("H0")));
    }

    void receiverOffShowsTheMaskAndOnReconnects() {
        KelvaneFixture f;
        QVERIFY(f.ok());
        Main& m = *f.main;
        KelvaneFixture::click(m.LockImg[0]); // held: a reconnection releases the hold
        QVERIFY(m.State().RemoteHeld);
        f.tick(2);
        f.sim.setPowered(false);
        // Let the last replies in flight arrive; from here on the receiver says nothing.
        QTest::qWait(100);
        int ticks = 0;
        while (m.State().Connected && ticks < 10) {
            f.tick();
            ++ticks;
        }
        // Two silent ticks are noticed at the next even phase.
        QVERIFY2(ticks <= 3, qPrintable(QString::number(ticks)));
        QVERIFY(m.Mask->isVisible());

        f.sim.setPowered(true);
        f.sim.setIdent("535D ROM 2.11");
        f.tick();
        QVERIFY(m.State().Connected);
        QVERIFY(!m.Mask->isVisible());
        QVERIFY(!m.State().RemoteHeld);
        QVERIFY(!m.receiver().Hook());
        QCOMPARE(m.windowTitle(),
                 QStringLiteral("Kelvan " KELVANE_VERSION
                                " - Receiver Module [NRD535D Rev. 535D ROM 2.11]"));
    }

    // The Options button reaches the port dialog: unchanged answers leave the link alone, a new
    // speed lets the receiver go and connects again.
    void optionsButtonChangesThePort() {
        KelvaneFixture f;
        QVERIFY(f.ok());
        Main& m = *f.main;
        KelvaneFixture::click(m.LockImg[0]);
        QVERIFY(m.State().RemoteHeld);
        f.clearLines();

        f.portDialog = [](Main&) {}; // Cancel
        KelvaneFixture::click(m.Options);
        QCOMPARE(f.portDialogShown, 1);
        QVERIFY(m.State().Connected);
        QCOMPARE(f.takeLines(), QStringList());

        f.portDialog = [](Main& w) { w.settings.COM_Speed = QStringLiteral("9600"); };
        KelvaneFixture::click(m.Options);
        QVERIFY(!m.State().Connected);
        QVERIFY(m.Mask->isVisible());
        QVERIFY(!m.State().RemoteHeld);
        QCOMPARE(m.receiver().Baud(), QStringLiteral("9600"));
        QCOMPARE(f.takeLines().mid(0, 2), QStringList({"I0", "H0"}));
        f.tick();
        QVERIFY(m.State().Connected);
        QVERIFY(!m.Mask->isVisible());
    }

    void captionShowsTheRevision_data() {
        QTest::addColumn<QString>("ident");
        QTest::addColumn<QString>("caption");
        const QString base =
            QStringLiteral("Kelvan " KELVANE_VERSION " - Receiver Module [NRD535D");
        QTest::newRow("revision") << QStringLiteral("535D ROM 2.11")
                                  << base + QStringLiteral(" Rev. 535D ROM 2.11]");
        QTest::newRow("not a 535 answer") << QStringLiteral("XYZ 1.0") << base + QLatin1Char(']');
    }
    void captionShowsTheRevision() {
        QFETCH(QString, ident);
        QFETCH(QString, caption);
        KelvaneFixture::Options options;
        options.connect = false;
        KelvaneFixture f(options);
        QVERIFY(f.ok());
        f.sim.setIdent(ident.toLatin1());
        QVERIFY(f.connect());
        QCOMPARE(f.main->windowTitle(), caption);
    }

    void freshLinkIsNotJudgedBeforeItsReplies_data() {
        QTest::addColumn<int>("phase");
        QTest::newRow("connect on an even phase") << 0;
        QTest::newRow("connect on an odd phase") << 1;
        QTest::newRow("connect as the phase wraps") << 15;
    }

    void freshLinkIsNotJudgedBeforeItsReplies() {
        // The handshake holds the tick for 400 ms, so the running timer's next tick comes at
        // once, before any reply to the first polls has been read. The link must survive it.
        QFETCH(int, phase);
        KelvaneFixture::Options options;
        options.connect = false;
        KelvaneFixture f(options);
        QVERIFY(f.ok());
        Main& m = *f.main;
        m.Phase = phase;
        m.Tick();
        QVERIFY(m.State().Connected);
        m.Tick(); // the overdue tick, with no event handled in between
        QVERIFY(m.State().Connected);
        for (int i = 0; i < 6; ++i) { // then a tick every 100 ms, as the timer runs
            QTest::qWait(100);
            f.tick();
        }
        QVERIFY(m.State().Connected);
        QVERIFY(!m.Mask->isVisible());
        const QStringList lines = f.takeLines();
        QVERIFY2(!lines.contains(QStringLiteral("I0")), qPrintable(lines.join(QLatin1Char(' '))));
        QCOMPARE(lines.count(QStringLiteral("H")), 1); // one handshake, no reconnection
    }

    void unpluggedAdapterIsReportedOnceAndComesBack() {
        KelvaneFixture f;
        QVERIFY(f.ok());
        Main& m = *f.main;
        const QString device = f.sim.path();
        f.sim.stop(); // the device node disappears: an unplugged adapter
        QTRY_VERIFY(!m.State().Connected);
        QVERIFY(m.Mask->isVisible());
        QVERIFY(!m.LinkLostMessage().isEmpty());
        QVERIFY(m.LinkLostMessage().contains(device));

        // No busy loop while the device is gone, and the message is not repeated.
        const double cpuBefore = cpuSeconds();
        for (int i = 0; i < 20; ++i) {
            f.tick();
            QTest::qWait(50);
        }
        const double cpu = cpuSeconds() - cpuBefore;
        QVERIFY2(cpu < 0.5, qPrintable(QStringLiteral("%1 s of CPU").arg(cpu)));
        QCOMPARE(m.findChildren<QMessageBox*>().size(), 1);

        // The adapter comes back under the same name.
        QVERIFY(f.sim.start(device));
        for (int i = 0; i < 40 && !m.State().Connected; ++i) f.tick();
        QVERIFY(m.State().Connected);
        QVERIFY(!m.Mask->isVisible());
        QTRY_VERIFY(m.LinkLostMessage().isEmpty()); // closed on reconnection
    }

    // The dialog offers the configured port, else the one given for this run, else none: the
    // operator must choose before OK.
    void portDialogPreselects_data() {
        QTest::addColumn<int>("configured");
        QTest::addColumn<int>("preferred");
        QTest::addColumn<int>("selected");
        QTest::newRow("configured") << 1 << -1 << 1;
        QTest::newRow("nothing configured") << -1 << -1 << -1;
        QTest::newRow("given for this run") << -1 << 1 << 1;
        QTest::newRow("configured wins") << 1 << 2 << 1;
    }
    void portDialogPreselects() {
        QFETCH(int, configured);
        QFETCH(int, preferred);
        QFETCH(int, selected);
        nrd535sim::Simulator sim;
        QTemporaryDir dir;
        QVERIFY(sim.start(dir.filePath(QStringLiteral("rx"))));
        ostry::setPortDevice(1, sim.path());
        Settings settings;
        settings.COM_Port = configured;
        ComOpt dialog(settings, nullptr, preferred);
        const int current =
            dialog.Port->currentIndex() >= 0 ? dialog.Port->currentData().toInt() : -1;
        QCOMPARE(current, selected);
        QCOMPARE(dialog.OK->isEnabled(), selected >= 1);
    }

    void portDialogKeepsOnTop() {
        Settings settings;
        for (bool onTop : {false, true}) {
            settings.WIN_OnTop = onTop;
            ComOpt dialog(settings);
            QCOMPARE(dialog.windowFlags().testFlag(Qt::WindowStaysOnTopHint), onTop);
        }
    }

    // Listing the ports must not configure them: a device on a port may belong to other
    // equipment.
    void probingLeavesTheLineAlone() {
        nrd535sim::Simulator sim;
        QTemporaryDir dir;
        QVERIFY(sim.start(dir.filePath(QStringLiteral("rx"))));
        ostry::setPortDevice(1, sim.path());
        const int fd = ::open(QFile::encodeName(sim.path()).constData(), O_RDWR | O_NOCTTY);
        QVERIFY(fd >= 0);
        termios before{};
        QCOMPARE(::tcgetattr(fd, &before), 0);
        cfsetispeed(&before, B1200);
        cfsetospeed(&before, B1200);
        before.c_lflag |= ICANON | ECHO;
        QCOMPARE(::tcsetattr(fd, TCSANOW, &before), 0);
        QCOMPARE(::tcgetattr(fd, &before), 0);
        QCOMPARE(ComOpt::PortStatus(1), ComOpt::Free);
        termios after{};
        QCOMPARE(::tcgetattr(fd, &after), 0);
        ::close(fd);
        QCOMPARE(cfgetospeed(&after), cfgetospeed(&before));
        QCOMPARE(after.c_lflag, before.c_lflag);
        QCOMPARE(after.c_cflag, before.c_cflag);
    }
};

QTEST_MAIN(TestStartup)
#include "tst_startup.moc"
