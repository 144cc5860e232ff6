// Nrd535 on a real pseudo-terminal against the simulated receiver.

#include <driver_calls.h>
#include <nrd535sim/simulator.h>
#include <ostry/nrd535.h>
#include <ostry/serialline.h>

#include <QPointer>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <memory>

#include <fcntl.h>
#include <pty.h>
#include <unistd.h>

using namespace ostry;

namespace {

constexpr quint8 TestPort = 7;

// One simulated receiver with a driver pointed at it through the port map.
struct Rig {
    nrd535sim::Simulator sim;
    Nrd535 rx;
    QStringList messages;

    explicit Rig(bool held = false, bool paced = false, const QString& link = QString()) {
        sim.setHeld(held);
        sim.setPaced(paced);
        sim.setBaud(38400);
        QString error;
        if (!sim.start(link, &error)) qFatal("simulator: %s", qPrintable(error));
        setPortDevice(TestPort, sim.path());
        rx.Baud(QStringLiteral("38400"));
        rx.Port(TestPort);
        rx.setMessageDisplay([this](const QString& t) { messages << t; });
    }
    ~Rig() { setPortDevice(TestPort, QString()); }

    // Opens, connects and waits for the first status report.
    bool connect() {
        if (!rx.fOpen(false) || !rx.Conn()) return false;
        return QTest::qWaitFor([this] { return rx.Fr() > 0 && rx.SM() >= 0; }, 5000);
    }

    // Lines the simulator received from now until the driver's marker arrives.
    QStringList linesOf(const std::function<void()>& action) {
        const qsizetype from = sim.receivedLines().size();
        action();
        rx.Dump(999); // "J1999": a command the receiver ignores, used as an end marker
        if (!QTest::qWaitFor([this] { return sim.receivedLines().contains("J1999"); }, 5000))
            return {"<marker never arrived>"};
        QStringList got = sim.receivedLines().mid(from);
        got.removeAll(QStringLiteral("J1999"));
        sim.clearReceivedLines();
        return got;
    }
};

// Runs one call given as text, e.g. "FT 2400" or "Save 5 9410000 4 1 0 0".
void call(Nrd535& rx, const QString& text) {
    if (!nrd535sim::callDriver(rx, text)) qFatal("unknown call %s", qPrintable(text));
}

} // namespace

class TestNrd535 : public QObject {
    Q_OBJECT
private slots:
    void handshake_data();
    void handshake();
    void connOnSilentPort();
    void foreignIdentification();
    void commandLines_data();
    void commandLines();
    void settersIdleUntilConnected();
    void filterAndBlankerSettersReportAtOnce_data();
    void filterAndBlankerSettersReportAtOnce();
    void settersCompareWithWhatWasSent_data();
    void settersCompareWithWhatWasSent();
    void theReportIsTheTruthAgain();
    void filterSetterRunsNoEvents();
    void writeQueueIsBounded();
    void statusReportsReachTheHost();
    void channelDump();
    void fOpenFailure_data();
    void fOpenFailure();
    void badInput_data();
    void badInput();
    void shortTailIsNotStranded();
    void staleInputBeforeConn();
    void reportsDuringHandshake_data();
    void reportsDuringHandshake();
    void reportHeadIsNoAnswer();
    void unplugThenReopen();
    void discAndCloseTellTheReceiver();
    void connIsNotReentered();
    void deletedDuringConn();
    void deletedFromItsReportHandler_data();
    void deletedFromItsReportHandler();
    void everyByteButTheLineEndReachesTheReader();
    void oneNotificationPerLine();
    void heldLinesArriveInOnePiece();
    void pollRepliesWaitForTheNextPoll();
    void aCommandEndsTheWait();
    void unplugWhileRepliesWait();
};

void TestNrd535::handshake_data() {
    QTest::addColumn<bool>("held");
    QTest::addColumn<QStringList>("lines");
    QTest::newRow("free") << false << QStringList{"H", "?", "H1", "W", "M", "Q", "N", "I1"};
    QTest::newRow("left held") << true
                               << QStringList{"H", "?", "I0", "H0", "H1", "W", "M", "Q", "N", "I1"};
}

void TestNrd535::handshake() {
    QFETCH(bool, held);
    QFETCH(QStringList, lines);
    Rig rig(held);
    QVERIFY(rig.rx.fOpen(false));
    QVERIFY(rig.rx.Conn());
    QVERIFY(rig.rx.Connected());
    QVERIFY(rig.rx.Hook());
    QCOMPARE(rig.rx.RomId(), QStringLiteral("535D SIM 1.00"));
    QTRY_COMPARE(rig.sim.receivedLines(), lines);
    QVERIFY(rig.sim.held());
    QVERIFY(rig.sim.autoStatus());
    // The first report fills the fields; FT stays unknown while held.
    QTRY_COMPARE(rig.rx.Fr(), 9410000.0);
    QCOMPARE(int(rig.rx.MD()), int(ostry::AM));
    QCOMPARE(int(rig.rx.FT()), -1);
}

void TestNrd535::connOnSilentPort() {
    Rig rig;
    rig.sim.setPowered(false);
    QVERIFY(rig.rx.fOpen(false));
    QSignalSpy upd(&rig.rx, &Nrd535::OnUpd);
    QVERIFY(!rig.rx.Conn());
    QVERIFY(!rig.rx.Connected());
    QVERIFY(rig.rx.RomId().isEmpty());
    QCOMPARE(rig.rx.Fr(), -1.0);
    QCOMPARE(int(rig.rx.MD()), -1);
    QCOMPARE(int(rig.rx.FT()), -1);
    QCOMPARE(int(rig.rx.AG()), -1);
    QCOMPARE(int(rig.rx.AT()), -1);
    QCOMPARE(int(rig.rx.SQ()), -1);
    QCOMPARE(int(rig.rx.NB()), -1);
    QCOMPARE(int(rig.rx.SM()), -1);
    QTRY_COMPARE(rig.sim.receivedLines(), QStringList{"H"});
    QCOMPARE(upd.count(), 0);
    // The host retries once the receiver is switched on.
    rig.sim.setPowered(true);
    QVERIFY(rig.rx.Conn());
}

void TestNrd535::foreignIdentification() {
    Rig rig;
    rig.sim.setIdent("NRD-545");
    QVERIFY(rig.rx.fOpen(false));
    QVERIFY(rig.rx.Conn());
    QVERIFY(rig.rx.RomId().isEmpty());
    QVERIFY(rig.rx.Connected());
}

void TestNrd535::commandLines_data() {
    QTest::addColumn<QString>("calls");
    QTest::addColumn<QStringList>("lines");
    // Connected, at 9 410 000 Hz, AM, Slow AGC, attenuator off, NB off, FT unknown (-1).
    // clang-format off
    QTest::newRow("Fr 0 tunes 162 kHz")    << "Fr 0"          << QStringList{"F00162000"};
    QTest::newRow("Fr truncated")          << "Fr 6195000.7"  << QStringList{"F06195000"};
    QTest::newRow("Fr top")                << "Fr 29999999"   << QStringList{"F29999999"};
    QTest::newRow("Fr FrMax")              << "Fr 30000000"   << QStringList{};
    QTest::newRow("Fr negative")           << "Fr -5"         << QStringList{};
    QTest::newRow("Fr current")            << "Fr 9410000"    << QStringList{};
    QTest::newRow("MD 2")                  << "MD 2"          << QStringList{"D2"};
    QTest::newRow("MD 9")                  << "MD 9"          << QStringList{};
    QTest::newRow("MD current")            << "MD 4"          << QStringList{};
    QTest::newRow("AG 2")                  << "AG 2"          << QStringList{"G2"};
    QTest::newRow("AG 3")                  << "AG 3"          << QStringList{};
    QTest::newRow("AT 1")                  << "AT 1"          << QStringList{"A1"};
    QTest::newRow("AT 2")                  << "AT 2"          << QStringList{};
    QTest::newRow("NB 2")                  << "NB 2"          << QStringList{"N2"};
    QTest::newRow("NB 3")                  << "NB 3"          << QStringList{};
    QTest::newRow("NB current")            << "NB 0"          << QStringList{};
    QTest::newRow("FT 2400")               << "FT 2400"       << QStringList{"B0", "W2400"};
    QTest::newRow("FT 1800")               << "FT 1800"       << QStringList{"B1", "W1800"};
    QTest::newRow("FT 2100 edge")          << "FT 2100"       << QStringList{"B1", "W2100"};
    QTest::newRow("FT 500 = BWL")          << "FT 500"        << QStringList{"B1", "W0500"};
    QTest::newRow("FT 1 Inter")            << "FT 1"          << QStringList{"B1", "W2200"};
    QTest::newRow("FT 0 Wide")             << "FT 0"          << QStringList{"B0", "W5500"};
    QTest::newRow("FT 3 Aux")              << "FT 3"          << QStringList{"B3"};
    QTest::newRow("FT 7000 is Wide")       << "FT 7000"       << QStringList{"B0", "W5500"};
    QTest::newRow("FT 100 is Narrow")      << "FT 100"        << QStringList{"B2"};
    QTest::newRow("FT same twice")         << "FT 3;FT 3"     << QStringList{"B3"};
    QTest::newRow("polls")                 << "FTUpd;NBUpd;SMUpd;SQUpd" << QStringList{"W", "N", "M", "Q"};
    QTest::newRow("Raz 0")                 << "Raz 0"         << QStringList{};
    QTest::newRow("Raz 4")                 << "Raz 4"         << QStringList{};
    QTest::newRow("Raz 2")                 << "Raz 2"         << QStringList{"Z2"};
    QTest::newRow("Save")                  << "Save 5 9410000 4 1 0 0" << QStringList{"K005014094100000"};
    QTest::newRow("Save channel 200")      << "Save 200 9410000 4 1 0 0" << QStringList{};
    QTest::newRow("Save two-digit mode")   << "Save 5 9410000 12 1 0 0" << QStringList{};
    QTest::newRow("Dump")                  << "Dump 7"        << QStringList{"J1007"};
    QTest::newRow("CHUpd 5..4")            << "CHUpd 5 4"     << QStringList{};
    QTest::newRow("CHUpd 0..200")          << "CHUpd 0 200"   << QStringList{};
    QTest::newRow("CHUpd -1..3")           << "CHUpd -1 3"    << QStringList{};
    QTest::newRow("CHUpd twice")           << "CHUpd 0 199;CHUpd 0 1" << QStringList{"L000199"};
    QTest::newRow("Hook off")              << "Hook 0"        << QStringList{"H0"};
    // clang-format on
}

void TestNrd535::commandLines() {
    QFETCH(QString, calls);
    QFETCH(QStringList, lines);
    Rig rig;
    QVERIFY(rig.connect());
    rig.sim.clearReceivedLines();
    const QStringList got = rig.linesOf([&] {
        for (const QString& c : calls.split(u';')) call(rig.rx, c);
    });
    QCOMPARE(got, lines);
}

void TestNrd535::settersIdleUntilConnected() {
    Rig rig;
    QVERIFY(rig.rx.fOpen(false));
    for (const char* c :
         {"Fr 7000000", "MD 2", "FT 2400", "FT 1", "AG 1", "AT 1", "NB 1", "FTUpd", "NBUpd",
          "SMUpd", "SQUpd", "Raz 1", "Dump 1", "Save 1 7000000 1 1 1 1", "CHUpd 0 10"})
        call(rig.rx, QString::fromLatin1(c));
    QVERIFY(!rig.rx.CHUpd(0, 10));
    QVERIFY(!rig.rx.Disc());
    // Hook is the exception: it is sent whatever the state.
    rig.rx.Hook(true);
    QTRY_COMPARE(rig.sim.receivedLines(), QStringList{"H1"});
    QCOMPARE(int(rig.rx.NB()), 0);
    QCOMPARE(int(rig.rx.FT()), 0);
}

// The FT and NB setters store what they sent and raise OnUpd at once. While one of them runs, the
// matching poll stays unsent: from the host's OnUpd handler and, for FT, from whatever was
// pending when it was called (a host tick), which runs after it has returned and never inside
// it. Polls go out again after that pass.
void TestNrd535::filterAndBlankerSettersReportAtOnce_data() {
    QTest::addColumn<QString>("setter");
    QTest::addColumn<QStringList>("lines");
    QTest::addColumn<int>("ft");
    QTest::addColumn<int>("nb");
    QTest::addColumn<int>("updates");
    // Connected with FT unknown (-1) and NB 0. The OnUpd handler, the pending event and the
    // caller after the pass each poll FTUpd and NBUpd.
    // clang-format off
    QTest::newRow("FT bandwidth") << "FT 2400" << QStringList{"B0", "W2400", "N", "N", "W", "N"} << 2400 << 0 << 1;
    QTest::newRow("FT Inter")     << "FT 1"    << QStringList{"B1", "W2200", "N", "N", "W", "N"} << 1    << 0 << 1;
    QTest::newRow("FT wide")      << "FT 7000" << QStringList{"B0", "W5500", "N", "N", "W", "N"} << 0    << 0 << 1;
    QTest::newRow("FT = BWH")     << "FT 5500" << QStringList{"B0", "W5500", "N", "N", "W", "N"} << 5500 << 0 << 1;
    QTest::newRow("FT narrow")    << "FT 100"  << QStringList{"B2", "N", "N", "W", "N"}          << 2    << 0 << 1;
    QTest::newRow("FT 5")         << "FT 5"    << QStringList{"B2", "N", "N", "W", "N"}          << 2    << 0 << 1;
    QTest::newRow("FT 4")         << "FT 4"    << QStringList{"W", "N", "W", "N"}                << -1   << 0 << 0;
    QTest::newRow("FT negative")  << "FT -2"   << QStringList{"W", "N", "W", "N"}                << -1   << 0 << 0;
    QTest::newRow("NB 2")         << "NB 2"    << QStringList{"N2", "W", "W", "N", "W", "N"}     << -1   << 2 << 1;
    QTest::newRow("NB 3")         << "NB 3"    << QStringList{"W", "N", "W", "N"}                << -1   << 0 << 0;
    // clang-format on
}

void TestNrd535::filterAndBlankerSettersReportAtOnce() {
    QFETCH(QString, setter);
    QFETCH(QStringList, lines);
    QFETCH(int, ft);
    QFETCH(int, nb);
    QFETCH(int, updates);
    Rig rig;
    QVERIFY(rig.connect());
    QTRY_COMPARE(rig.rx.NB(), qint16(0));
    QCOMPARE(int(rig.rx.FT()), -1);
    rig.rx.IsModFT();
    rig.rx.IsModNB();
    rig.sim.clearReceivedLines();

    bool inSetter = false;
    bool ranInside = false;
    bool ranAfter = false;
    QList<QVariantList> inside; // OnUpd raised while the setter runs
    QObject::connect(&rig.rx, &Nrd535::OnUpd, &rig.rx,
                     [&](double fr, ostry::MD, ostry::FT f, ostry::AG, ostry::ONOFF, qint16 n) {
                         if (!inSetter) return;
                         inside << QVariantList{fr, int(f), int(n)};
                         rig.rx.FTUpd();
                         rig.rx.NBUpd();
                     });
    const QStringList got = rig.linesOf([&] {
        // Posted before the setter, as a host's tick may be.
        QMetaObject::invokeMethod(
            &rig.rx,
            [&] {
                ranInside = inSetter;
                ranAfter = true;
                rig.rx.FTUpd();
                rig.rx.NBUpd();
            },
            Qt::QueuedConnection);
        inSetter = true;
        call(rig.rx, setter);
        inSetter = false;
        QVERIFY(QTest::qWaitFor([&] { return ranAfter; }, 2000));
        QCoreApplication::processEvents();
        rig.rx.FTUpd();
        rig.rx.NBUpd();
    });
    QCOMPARE(got, lines);
    QVERIFY(!ranInside);
    QCOMPARE(inside.size(), updates);
    if (updates) {
        QCOMPARE(inside[0][1].toInt(), ft);
        QCOMPARE(inside[0][2].toInt(), nb);
    }
    QCOMPARE(rig.rx.IsModFT(), setter.startsWith("FT") && updates > 0);
    QCOMPARE(rig.rx.IsModNB(), setter.startsWith("NB") && updates > 0);
    QCOMPARE(int(rig.rx.FT()), ft);
    QCOMPARE(int(rig.rx.NB()), nb);
}

// Setters called one after the other before the receiver could report compare with what the
// first of them sent: the report the second one would compare with is not there yet.
void TestNrd535::settersCompareWithWhatWasSent_data() {
    QTest::addColumn<QString>("calls");
    QTest::addColumn<QStringList>("lines");
    // Connected on 9410 kHz, AM, Slow, attenuator off, Wide.
    // clang-format off
    QTest::newRow("mode there and back")  << "MD 3;MD 4"         << QStringList{"D3", "D4"};
    QTest::newRow("mode twice")           << "MD 3;MD 3"         << QStringList{"D3"};
    QTest::newRow("agc there and back")   << "AG 1;AG 0"         << QStringList{"G1", "G0"};
    QTest::newRow("att there and back")   << "AT 1;AT 0"         << QStringList{"A1", "A0"};
    QTest::newRow("tune there and back")  << "Fr 7100000;Fr 9410000" << QStringList{"F07100000", "F09410000"};
    QTest::newRow("tune twice")           << "Fr 7100000;Fr 7100000" << QStringList{"F07100000"};
    QTest::newRow("filter there and back") << "FT 1;FT 0"        << QStringList{"B1", "W2200", "B0", "W5500"};
    QTest::newRow("blanker there and back") << "NB 1;NB 0"       << QStringList{"N1", "N0"};
    // A database message after a band entry: the band's mode, then the message's own.
    QTest::newRow("band then message")    << "MD 3;FT 1;Fr 7100000;MD 4;FT 0;AG 0"
                                          << QStringList{"D3", "B1", "W2200", "F07100000", "D4", "B0", "W5500"};
    // clang-format on
}

void TestNrd535::settersCompareWithWhatWasSent() {
    QFETCH(QString, calls);
    QFETCH(QStringList, lines);
    Rig rig;
    QVERIFY(rig.connect());
    rig.rx.FT(ostry::Wide);
    QTRY_VERIFY(rig.sim.receivedLines().contains(QStringLiteral("W5500")));
    QTRY_VERIFY(rig.rx.state().AG == 0 && rig.rx.state().AT == 0 && rig.rx.state().MD == 4);
    rig.sim.clearReceivedLines();
    const QStringList got = rig.linesOf([&] {
        for (const QString& c : calls.split(u';')) call(rig.rx, c);
    });
    QCOMPARE(got, lines);
}

// Once the receiver has reported, its report is the truth again: a change on its front panel
// back to the value before the program's is sent over again when asked for.
void TestNrd535::theReportIsTheTruthAgain() {
    Rig rig;
    QVERIFY(rig.connect());
    rig.rx.MD(ostry::USB);
    QTRY_COMPARE(rig.rx.state().MD, qint32(ostry::USB));
    nrd535sim::RxSettings s;
    s.hz = 9410000;
    s.md = ostry::AM;
    rig.sim.panelSet(s);
    QTRY_COMPARE(rig.rx.state().MD, qint32(ostry::AM));
    rig.sim.clearReceivedLines();
    QCOMPARE(rig.linesOf([&] { rig.rx.MD(ostry::USB); }), QStringList{"D2"});
}

// The FT setter runs nothing of its caller's: an event pending when it is called (a second
// database message, a host tick) runs after it has returned.
void TestNrd535::filterSetterRunsNoEvents() {
    Rig rig;
    QVERIFY(rig.connect());
    bool ran = false;
    QTimer::singleShot(0, &rig.rx, [&] { ran = true; });
    rig.rx.FT(ostry::Inter);
    QVERIFY(!ran);
    rig.rx.FT(ostry::Aux);
    QVERIFY(!ran);
    QTRY_VERIFY(ran);
}

// A line that takes nothing (the far end stopped reading) stays open and refuses commands once
// its queue is full, instead of growing without end or counting as unplugged.
void TestNrd535::writeQueueIsBounded() {
    int master = -1, slave = -1;
    char name[128] = {};
    QVERIFY(::openpty(&master, &slave, name, nullptr, nullptr) == 0);
    setPortDevice(TestPort, QString::fromLatin1(name));
    SerialLine line;
    line.setPortNumber(TestPort);
    QVERIFY(line.open());
    const QByteArray cmd("F09410000\r");
    bool refused = false;
    for (int i = 0; i < 200000 && !refused; ++i) refused = !line.write(cmd);
    QVERIFY(refused);
    QVERIFY2(line.isOpen() && line.errorString().contains(QStringLiteral("not carrying")),
             qPrintable(line.errorString()));
    QVERIFY(line.bytesToWrite() <= SerialLine::MaxWriteQueue);
    line.close();
    ::close(slave);
    ::close(master);
    setPortDevice(TestPort, QString());
}

void TestNrd535::statusReportsReachTheHost() {
    Rig rig;
    QVERIFY(rig.connect());
    QSignalSpy upd(&rig.rx, &Nrd535::OnUpd);
    rig.sim.panelTune(6195000);
    bool modified = false; // the flag reads once, then clears
    QTRY_VERIFY(modified || (modified = rig.rx.IsModFR()));
    QCOMPARE(rig.rx.Fr(), 6195000.0);
    QVERIFY(upd.count() >= 1);
    QCOMPARE(upd.last().at(0).toDouble(), 6195000.0);
    // Getters clear the flag.
    QVERIFY(!rig.rx.IsModFR());

    // Held: the panel's filter digit is not taken; released: it is.
    auto s = rig.sim.settings();
    s.ft = 2;
    rig.sim.panelSet(s);
    rig.sim.panelTune(6000000);
    QTRY_COMPARE(rig.rx.Fr(), 6000000.0);
    QCOMPARE(int(rig.rx.FT()), -1);
    rig.rx.Hook(false);
    rig.sim.panelTune(5900000);
    QTRY_COMPARE(rig.rx.Fr(), 5900000.0);
    QCOMPARE(int(rig.rx.FT()), int(ostry::Narrow));

    // A polled S-meter reply.
    rig.sim.setFixedMeter(45);
    rig.rx.SMUpd();
    QTRY_COMPARE(rig.rx.SM(), qint16(45));
}

void TestNrd535::channelDump() {
    Rig rig(false, true); // paced: the records arrive in pieces
    for (int n = 0; n < 200; ++n) {
        nrd535sim::Channel c;
        c.empty = n % 3 == 1;
        c.hz = 1000000 + n * 1000;
        c.md = n % 9;
        c.ft = n % 4;
        c.ag = n % 3;
        c.at = n % 2;
        rig.sim.setChannel(n, c);
    }
    QVERIFY(rig.connect());
    QSignalSpy chn(&rig.rx, &Nrd535::OnChn);
    QVERIFY(rig.rx.CHUpd(10, 39, false));
    QVERIFY(rig.rx.DumpBusy());
    QVERIFY(!rig.rx.CHUpd(0, 1));
    QTRY_VERIFY_WITH_TIMEOUT(!rig.rx.DumpBusy(), 10000);
    QCOMPARE(chn.count(), 30);
    for (int i = 0; i < chn.count(); ++i) {
        const auto& a = chn.at(i);
        const int n = 10 + i;
        QCOMPARE(a.at(0).toBool(), false);
        QCOMPARE(a.at(1).value<qint16>(), qint16(n));
        QCOMPARE(a.at(2).toBool(), n == 39);
        if (n % 3 == 1) {
            QCOMPARE(a.at(3).toDouble(), 0.0);
            continue;
        }
        QCOMPARE(a.at(3).toDouble(), 1000000.0 + n * 1000);
        QCOMPARE(int(a.at(4).value<ostry::MD>()), n % 9);
        QCOMPARE(int(a.at(5).value<ostry::FT>()), n % 4);
        QCOMPARE(int(a.at(6).value<ostry::AG>()), n % 3);
        QCOMPARE(int(a.at(7).value<ostry::ONOFF>()), n % 2);
    }
    // Written channels come back in the next dump.
    rig.rx.Save(150, 7205000, ostry::LSB, ostry::Narrow, ostry::fast, ostry::Onn);
    QVERIFY(rig.rx.CHUpd(150, 150));
    QTRY_COMPARE(chn.count(), 31);
    QCOMPARE(chn.last().at(0).toBool(), true);
    QCOMPARE(chn.last().at(3).toDouble(), 7205000.0);
    QCOMPARE(int(chn.last().at(4).value<ostry::MD>()), int(ostry::LSB));
    // fOpen clears a dump still running.
    QVERIFY(rig.rx.CHUpd(0, 199));
    QVERIFY(rig.rx.fOpen(false));
    QVERIFY(!rig.rx.DumpBusy());
}

void TestNrd535::fOpenFailure_data() {
    QTest::addColumn<int>("port");
    QTest::addColumn<QString>("device");
    QTest::addColumn<bool>("showErr");
    QTest::addColumn<QString>("baud");
    QTest::newRow("missing device, quiet") << 9 << "/nonexistent/ttyX" << false << "4800";
    QTest::newRow("missing device, shown") << 9 << "/nonexistent/ttyX" << true << "4800";
    QTest::newRow("port 0, quiet") << 0 << "" << false << "4800";
    QTest::newRow("port 0, shown") << 0 << "" << true << "4800";
    QTest::newRow("unmapped 200, shown") << 200 << "" << true << "4800";
    QTest::newRow("not a tty, shown") << 9 << "/dev/null" << true << "4800";
    QTest::newRow("no line speed, shown") << 9 << "/dev/null" << true << "";
    QTest::newRow("bad line speed, quiet") << 9 << "/dev/null" << false << "fast";
}

void TestNrd535::fOpenFailure() {
    QFETCH(int, port);
    QFETCH(QString, device);
    QFETCH(bool, showErr);
    QFETCH(QString, baud);
    setPortDevice(port, device);
    Nrd535 rx;
    QStringList shown;
    rx.setMessageDisplay([&](const QString& t) { shown << t; });
    rx.Baud(baud);
    rx.Port(quint8(port));
    QVERIFY(!rx.fOpen(showErr));
    QVERIFY(!rx.PortOpened());
    QVERIFY(!rx.fClose());
    QVERIFY(!rx.Conn());
    setPortDevice(port, QString());
    QCOMPARE(shown.size(), showErr ? 1 : 0);
    // The reason is kept whether or not it was shown, so a quiet caller can still tell.
    const QString why = rx.LastError();
    QVERIFY2(why.endsWith(QStringLiteral(" [Port=%1]").arg(port)), qPrintable(why));
    QVERIFY(why.size() > 12); // says what went wrong, not just the port
    if (showErr) QCOMPARE(shown[0], why);
}

void TestNrd535::badInput_data() {
    QTest::addColumn<QByteArray>("garbage");
    QTest::newRow("binary noise") << QByteArray(); // filled in the test
    QTest::newRow("NUL bytes") << QByteArray(300, '\0');
    QTest::newRow("CR only") << QByteArray(300, '\r');
    QTest::newRow("long lines") << (QByteArray(40, 'I') + '\r' + QByteArray(500, 'L') + '\r');
    QTest::newRow("no CR ever") << QByteArray(5000, 'M');
    QTest::newRow("broken replies") << QByteArray("I12\rM\rW99999\rL1\rLabcV\rQ-\rN\r\n\r");
}

void TestNrd535::badInput() {
    QFETCH(QByteArray, garbage);
    Rig rig;
    QVERIFY(rig.connect());
    const qint16 sm = rig.rx.SM();
    QSignalSpy chn(&rig.rx, &Nrd535::OnChn);
    if (garbage.isEmpty())
        rig.sim.injectRandomGarbage(20000, 7);
    else
        rig.sim.injectGarbage(garbage);
    // Then one CR to end whatever line the garbage left open, and a real report.
    rig.sim.injectGarbage("\r");
    rig.sim.panelTune(7100000);
    QTRY_COMPARE(rig.rx.Fr(), 7100000.0);
    QVERIFY(rig.rx.Connected());
    if (QTest::currentDataTag() != QLatin1String("binary noise")) {
        QCOMPARE(rig.rx.SM(), sm);
        QCOMPARE(chn.count(), 0);
    }
    // Still answering polls.
    rig.sim.setFixedMeter(77);
    rig.rx.SMUpd();
    QTRY_COMPARE(rig.rx.SM(), qint16(77));
}

// A reply whose last characters trickle in below the receive threshold, with nothing after it
// (the end of a dump): they still reach the driver.
void TestNrd535::shortTailIsNotStranded() {
    Rig rig;
    QVERIFY(rig.connect());
    QSignalSpy chn(&rig.rx, &Nrd535::OnChn);
    rig.sim.injectGarbage("L00712009410000");
    QTest::qWait(100);
    rig.sim.injectGarbage("0\r");
    QTRY_COMPARE(chn.count(), 1);
    QCOMPARE(chn.at(0).at(1).value<qint16>(), qint16(7));
    QCOMPARE(chn.at(0).at(3).toDouble(), 9410000.0);
}

// Reports still waiting from before (a reconnect after the receiver went quiet) are not taken for
// the handshake's answers.
void TestNrd535::staleInputBeforeConn() {
    Rig rig(true);
    QVERIFY(rig.rx.fOpen(false));
    rig.sim.injectGarbage("I002070000000\rM045\r");
    QTest::qWait(50);
    QVERIFY(rig.rx.Conn());
    QCOMPARE(rig.rx.RomId(), QStringLiteral("535D SIM 1.00"));
    // The receiver was held: the handshake releases it first.
    QTRY_VERIFY(rig.sim.receivedLines().contains(QStringLiteral("I0")));
}

void TestNrd535::reportsDuringHandshake_data() {
    QTest::addColumn<bool>("held");
    QTest::addColumn<int>("atMs");         // when the reports arrive, after Conn starts
    QTest::addColumn<QByteArray>("bytes"); // what arrives then
    const QByteArray two = "I002070000000\rI012071000000\r";
    // The answer to "H" comes at once; "?" goes out 200 ms later.
    QTest::newRow("held, reports after the remote state") << true << 100 << two;
    QTest::newRow("free, reports after the identification") << false << 300 << two;
    QTest::newRow("held, reports after the identification") << true << 300 << two;
    QTest::newRow("report split over the identification")
        << false << 300 << QByteArray("\nI002070000000\r");
    // Still on its way when the driver flushes before "?": the flush takes its first characters.
    QTest::newRow("report cut by the flush before the identification")
        << false << 190 << QByteArray("I002070000000\r");
}

void TestNrd535::reportHeadIsNoAnswer() {
    // A receiver too busy reporting to answer "?" in time: the start of a report still on its way
    // is not taken for the identification, and the handshake is tried again later.
    Rig rig(false, true);
    rig.sim.setBaud(2400); // ten reports take 580 ms, the answer waits behind them
    QVERIFY(rig.rx.fOpen(false));
    QTimer::singleShot(190, &rig.sim, [&rig] {
        rig.sim.injectGarbage(QByteArray("I002070000000\r").repeated(10));
    });
    QVERIFY(!rig.rx.Conn());
    QVERIFY(!rig.rx.Connected());
    QVERIFY(rig.rx.RomId().isEmpty());
}

void TestNrd535::reportsDuringHandshake() {
    // A receiver left reporting by a program that was killed sends status lines whenever it is
    // tuned by hand, also while the handshake waits for its answers.
    QFETCH(bool, held);
    QFETCH(int, atMs);
    QFETCH(QByteArray, bytes);
    Rig rig(held, true);
    rig.sim.setBaud(2400); // a report takes 58 ms on the line
    rig.sim.setAutoStatus(held);
    QVERIFY(rig.rx.fOpen(false));
    QTimer::singleShot(atMs, &rig.sim, [&rig, bytes] { rig.sim.injectGarbage(bytes); });
    QVERIFY(rig.rx.Conn());
    QCOMPARE(rig.rx.RomId(), QStringLiteral("535D SIM 1.00"));
    QTRY_VERIFY(rig.sim.receivedLines().contains(QStringLiteral("I1")));
    const QStringList lines = rig.sim.receivedLines();
    QCOMPARE(lines.mid(0, 2), (QStringList{"H", "?"}));
    QCOMPARE(lines.contains(QStringLiteral("I0")), held);
}

void TestNrd535::unplugThenReopen() {
    QTemporaryDir dir;
    const QString link = dir.filePath("nrd535");
    Rig rig(false, false, link);
    QVERIFY(rig.connect());
    QSignalSpy lost(&rig.rx, &Nrd535::portLost);
    rig.sim.stop(); // the adapter goes away
    QVERIFY(lost.wait(5000));
    QVERIFY(rig.rx.deviceLost());
    QVERIFY(!rig.rx.PortOpened());
    QVERIFY(!rig.rx.Connected());
    QVERIFY(!rig.rx.Hook());
    // Everything fails quietly meanwhile.
    rig.rx.Fr(7000000);
    rig.rx.FT(ostry::FT(2400));
    rig.rx.Hook(true);
    QVERIFY(!rig.rx.CHUpd(0, 1));
    QVERIFY(!rig.rx.Disc());
    QVERIFY(!rig.rx.Conn());
    QCOMPARE(lost.count(), 1);
    // While nothing is there, reopening fails.
    QVERIFY(!rig.rx.fOpen(false));
    // The device is back under the same name.
    QVERIFY(rig.sim.start(link));
    rig.rx.fClose();
    QVERIFY(rig.rx.fOpen(false));
    QVERIFY(!rig.rx.deviceLost());
    QVERIFY(rig.rx.Conn());
    rig.sim.panelTune(5000000);
    QTRY_COMPARE(rig.rx.Fr(), 5000000.0);
}

void TestNrd535::discAndCloseTellTheReceiver() {
    Rig rig(false, true);
    QVERIFY(rig.connect());
    rig.sim.clearReceivedLines();
    QVERIFY(rig.rx.Disc());
    QVERIFY(!rig.rx.Disc());
    QTRY_COMPARE(rig.sim.receivedLines(), (QStringList{"I0", "H0"}));
    QVERIFY(rig.rx.PortOpened());
    QVERIFY(rig.rx.Conn());
    QTRY_VERIFY(rig.sim.receivedLines().contains("I1"));
    rig.sim.clearReceivedLines();
    // Closing straight after the last commands must not drop them.
    QVERIFY(rig.rx.fClose());
    QVERIFY(!rig.rx.PortOpened());
    QVERIFY(!rig.rx.Hook());
    QTRY_COMPARE(rig.sim.receivedLines(), (QStringList{"I0", "H0"}));
    QVERIFY(!rig.sim.held());
    QVERIFY(!rig.sim.autoStatus());
    QVERIFY(!rig.rx.fClose());
}

void TestNrd535::connIsNotReentered() {
    Rig rig;
    QVERIFY(rig.rx.fOpen(false));
    int inner = -1;
    // A host timer firing inside the handshake's waits.
    QTimer::singleShot(50, &rig.rx, [&] { inner = rig.rx.Conn() ? 1 : 0; });
    QVERIFY(rig.rx.Conn());
    QCOMPARE(inner, 0);
    QTRY_COMPARE(rig.sim.receivedLines(), (QStringList{"H", "?", "H1", "W", "M", "Q", "N", "I1"}));
}

void TestNrd535::deletedDuringConn() {
    Rig rig;
    auto* rx = new Nrd535;
    rx->Baud("38400");
    rx->Port(TestPort);
    QVERIFY(rx->fOpen(false));
    QTimer::singleShot(50, [rx] { delete rx; });
    QVERIFY(!rx->Conn());
}

void TestNrd535::deletedFromItsReportHandler_data() {
    QTest::addColumn<bool>("batch");
    QTest::newRow("a reply read as it comes") << false;
    QTest::newRow("poll replies read by the next poll") << true;
}

// A host that destroys the driver from its report handler (the notification comes straight from
// the device's read signal, or from inside the next update poll): nothing of the driver, the
// line or the device is used after it is gone.
void TestNrd535::deletedFromItsReportHandler() {
    QFETCH(bool, batch);
    Rig rig;
    QPointer<Nrd535> rx = new Nrd535;
    rx->Baud("38400");
    rx->Port(TestPort);
    rx->setMessageDisplay([](const QString&) {});
    QVERIFY(rx->fOpen(false) && rx->Conn());
    if (batch) {
        QTRY_COMPARE(rig.sim.pendingOutput(), 0);
        QTest::qWait(30); // what the handshake brought is read
        rx->PollStatus();
        QTRY_COMPARE(rig.sim.pendingOutput(), 0);
        QTest::qWait(30);
    }
    QObject::connect(rx.data(), &Nrd535::OnUpd, [rx] { delete rx.data(); });
    if (batch)
        rx->PollStatus();
    else
        rx->SMUpd();
    QTRY_VERIFY(rx.isNull());
    QTest::qWait(50); // the device goes on the next pass of the loop
}

namespace {
// A serial line of our own on the simulator's terminal, collecting what it is notified of.
struct Reader {
    SerialLine line;
    QByteArray got;
    int notifications = 0;
    Reader() {
        line.setPortNumber(TestPort);
        line.setSettings(QStringLiteral("38400,N,8,1"));
        QObject::connect(&line, &SerialLine::received, [this] {
            ++notifications;
            got += line.readAll();
        });
    }
};

// A simulated receiver, paced at 4800 baud or not, and a Reader open on it with a threshold of
// one character.
struct ReaderOnSim {
    nrd535sim::Simulator sim;
    std::unique_ptr<Reader> r;
    explicit ReaderOnSim(bool paced) {
        sim.setPaced(paced);
        sim.setBaud(4800);
        if (!sim.start()) qFatal("simulator did not start");
        setPortDevice(TestPort, sim.path());
        r = std::make_unique<Reader>();
    }
    ~ReaderOnSim() {
        r.reset();
        setPortDevice(TestPort, QString());
    }
    bool open() {
        if (!r->line.open()) return false;
        r->line.setReceiveThreshold(1);
        return true;
    }
};
} // namespace

// The line is read in whole lines, but no byte is special except CR and LF: NUL, DEL, the
// terminal's erase, kill, end-of-file, interrupt and suspend characters, XON/XOFF and bytes with
// the top bit set all arrive as sent.
void TestNrd535::everyByteButTheLineEndReachesTheReader() {
    ReaderOnSim rs(false);
    QVERIFY(rs.open());
    Reader& r = *rs.r;
    QByteArray sent;
    for (int b = 0; b < 256; ++b)
        if (b != '\r' && b != '\n') sent.append(char(b));
    sent += "\rM045\nW0000\r";
    rs.sim.injectGarbage(sent);
    QTRY_COMPARE(r.got.size(), sent.size());
    QCOMPARE(r.got, sent);
}

// Replies arriving a character at a time at the line speed are handed over in whole lines, one
// notification a line at the most, even with a threshold of one character: the reader is not
// woken for every character.
void TestNrd535::oneNotificationPerLine() {
    ReaderOnSim rs(true);
    Reader& r = *rs.r;
    QStringList chunks;
    QObject::connect(&r.line, &SerialLine::received, [&] { chunks << QString::fromLatin1(r.got); });
    QVERIFY(rs.open());
    QByteArray sent;
    for (int i = 0; i < 10; ++i) sent += QByteArray("M0") + QByteArray::number(40 + i) + "\r";
    rs.sim.injectGarbage(sent);
    QTRY_COMPARE_WITH_TIMEOUT(r.got, sent, 5000);
    QVERIFY2(r.notifications <= 10, qPrintable(chunks.join(u'/')));
    for (const QString& c : chunks) QVERIFY2(c.endsWith(u'\r'), qPrintable(chunks.join(u'/')));
}

// Lines that arrive while reading is held wait in the terminal: no notification until the hold
// is released, then one for all of them. readAll() takes what a hold left waiting.
void TestNrd535::heldLinesArriveInOnePiece() {
    ReaderOnSim rs(true);
    QVERIFY(rs.open());
    Reader& r = *rs.r;
    nrd535sim::Simulator& sim = rs.sim;
    QVERIFY(r.line.holdReading(60000));
    const QByteArray sent("W0000\rN0\rQ0\rM045\r");
    sim.injectGarbage(sent);
    QTRY_COMPARE(sim.pendingOutput(), 0);
    QTest::qWait(30); // the terminal has the last line
    QCOMPARE(r.notifications, 0);
    QVERIFY(r.line.holding());
    r.line.releaseReading();
    QVERIFY(!r.line.holding());
    QTRY_COMPARE(r.got, sent);
    QCOMPARE(r.notifications, 1);

    QVERIFY(r.line.holdReading(60000));
    sim.injectGarbage("M050\r");
    QByteArray taken;
    QTRY_COMPARE(taken += r.line.readAll(), QByteArray("M050\r"));
    QVERIFY(r.line.holding());
    // Reading the port again does not let it take the next lines by itself.
    sim.injectGarbage("M051\r");
    QTRY_COMPARE(sim.pendingOutput(), 0);
    QTest::qWait(30);
    QCOMPARE(r.notifications, 1);
    // Closing ends the hold; nothing is left over for the next opening.
    r.line.close();
    QVERIFY(!r.line.holding());
    QCOMPARE(r.line.readAll(), QByteArray());
}

// The update poll goes out as one batch, "W", "N", "Q", "M", and its replies are read at the
// next poll: nothing reaches the host while they wait, then one report carries all four.
void TestNrd535::pollRepliesWaitForTheNextPoll() {
    Rig rig(false, true);
    QVERIFY(rig.connect());
    auto s = rig.sim.settings();
    s.nb = 2;
    rig.sim.panelSet(s); // a status line, read as it comes; NB changes only by its own reply
    QTRY_COMPARE(rig.sim.pendingOutput(), 0);
    QTest::qWait(30);
    rig.sim.setFixedMeter(77);
    rig.sim.clearReceivedLines();
    QSignalSpy upd(&rig.rx, &Nrd535::OnUpd);

    rig.rx.PollStatus();
    QTRY_COMPARE(rig.sim.receivedLines(), (QStringList{"W", "N", "Q", "M"}));
    QTRY_COMPARE(rig.sim.pendingOutput(), 0);
    QTest::qWait(30);
    QCOMPARE(upd.count(), 0);

    rig.rx.PollStatus();
    QTRY_COMPARE(upd.count(), 1);
    QCOMPARE(upd[0][6].toInt(), 77); // SM
    QCOMPARE(upd[0][5].toInt(), 2);  // NB
    const quint32 replies = rig.rx.SMReplies();
    // A host that stops polling still gets the last replies, a moment later.
    QTRY_COMPARE(rig.rx.SMReplies(), replies + 1);
    QCOMPARE(upd.count(), 2);
}

// A command sent while poll replies wait ends the wait: what it brings is read as it arrives.
void TestNrd535::aCommandEndsTheWait() {
    Rig rig(false, true);
    QVERIFY(rig.connect());
    QTRY_COMPARE(rig.sim.pendingOutput(), 0);
    QSignalSpy upd(&rig.rx, &Nrd535::OnUpd);
    const quint32 replies = rig.rx.SMReplies();
    rig.rx.PollStatus();
    rig.rx.MD(ostry::USB);
    QTRY_VERIFY(rig.rx.SMReplies() == replies + 1 && rig.rx.state().MD == ostry::USB);
    // Line by line: a report for each, not one for the batch.
    QVERIFY2(upd.count() >= 2, qPrintable(QString::number(upd.count())));
}

// A device that goes away while replies wait is still reported.
void TestNrd535::unplugWhileRepliesWait() {
    QTemporaryDir dir;
    Rig rig(false, true, dir.filePath("nrd535"));
    QVERIFY(rig.connect());
    QSignalSpy lost(&rig.rx, &Nrd535::portLost);
    rig.rx.PollStatus();
    rig.sim.stop();
    QVERIFY(lost.wait(5000));
    QVERIFY(!rig.rx.PortOpened());
}

QTEST_MAIN(TestNrd535)
#include "tst_nrd535.moc"
