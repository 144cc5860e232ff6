// The simulated receiver seen from the other end of its pseudo-terminal, without the driver.

#include <nrd535sim/simulator.h>

#include <QElapsedTimer>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

#include <cerrno>
#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

using nrd535sim::Simulator;

namespace {

// A raw client on the slave side.
struct Client {
    int fd = -1;
    int reads = 0; // read() calls that returned data
    QByteArray got;

    explicit Client(const QString& path) {
        fd = ::open(path.toLocal8Bit().constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
        if (fd >= 0) {
            termios t{};
            ::tcgetattr(fd, &t);
            ::cfmakeraw(&t);
            ::tcsetattr(fd, TCSANOW, &t);
        }
    }
    ~Client() {
        if (fd >= 0) ::close(fd);
    }
    void send(const QByteArray& line) {
        const QByteArray b = line + '\r';
        QCOMPARE(::write(fd, b.constData(), size_t(b.size())), ssize_t(b.size()));
    }
    void drain() {
        char buf[256];
        ssize_t n;
        while ((n = ::read(fd, buf, sizeof buf)) > 0) {
            got.append(buf, n);
            ++reads;
        }
    }
    // Reads until `want` bytes have arrived (or a timeout).
    QByteArray take(qsizetype want, int timeoutMs = 3000) {
        (void)QTest::qWaitFor(
            [&] {
                drain();
                return got.size() >= want;
            },
            timeoutMs);
        const QByteArray out = got.left(want);
        got.remove(0, want);
        return out;
    }
    // Everything that arrives within `ms`.
    QByteArray settle(int ms = 150) {
        QTest::qWait(ms);
        drain();
        const QByteArray out = got;
        got.clear();
        return out;
    }
};

} // namespace

class TestSimulator : public QObject {
    Q_OBJECT
private slots:
    void replies_data();
    void replies();
    void memoryChannels();
    void pacedOutputArrivesInPieces();
    void meterModel();
    void carrierSchedule_data();
    void carrierSchedule();
    void meterFollowsSchedule();
    void meterSettlesAfterTune();
    void inputPacedAtLineSpeed();
    void switchedOffIsSilent();
    void garbageGoesOutVerbatim();
    void linkFollowsRestart();
};

void TestSimulator::replies_data() {
    QTest::addColumn<bool>("held");
    QTest::addColumn<QByteArrayList>("commands");
    QTest::addColumn<QByteArray>("reply");
    // clang-format off
    QTest::newRow("remote state free")    << false << QByteArrayList{"H"} << QByteArray("H0\r");
    QTest::newRow("remote state held")    << true  << QByteArrayList{"H"} << QByteArray("H1\r");
    QTest::newRow("identification")       << false << QByteArrayList{"?"} << QByteArray("?535D SIM 1.00\r");
    QTest::newRow("reports on")           << true  << QByteArrayList{"I1"} << QByteArray("I004094100000\r");
    QTest::newRow("tune reports")         << true  << QByteArrayList{"I1", "F06195000"} << QByteArray("I004094100000\rI004061950000\r");
    QTest::newRow("reports off")          << true  << QByteArrayList{"F06195000"} << QByteArray();
    QTest::newRow("free ignores settings") << false << QByteArrayList{"I1", "F06195000", "D2"} << QByteArray("I004094100000\r");
    QTest::newRow("take hold then tune")  << false << QByteArrayList{"H1", "I1", "D2"} << QByteArray("I004094100000\rI002094100000\r");
    QTest::newRow("tune above range")     << true  << QByteArrayList{"I1", "F30000000"} << QByteArray("I004094100000\r");
    QTest::newRow("mode out of range")    << true  << QByteArrayList{"I1", "D9"} << QByteArray("I004094100000\r");
    QTest::newRow("filter and agc")       << true  << QByteArrayList{"I1", "B2", "G1", "A1"} << QByteArray("I004094100000\rI024094100000\rI024094100001\rI124094100001\r");
    QTest::newRow("width query default")  << true  << QByteArrayList{"W"} << QByteArray("W5500\r");
    QTest::newRow("width after B1 W1800") << true  << QByteArrayList{"B1", "W1800", "W"} << QByteArray("W1800\r");
    QTest::newRow("width narrow")         << true  << QByteArrayList{"B2", "W"} << QByteArray("W0000\r");
    QTest::newRow("blanker")              << true  << QByteArrayList{"N2", "N"} << QByteArray("N2\r");
    QTest::newRow("squelch")              << true  << QByteArrayList{"Q"} << QByteArray("Q0\r");
    QTest::newRow("LF ignored")           << false << QByteArrayList{"\nH"} << QByteArray("H0\r");
    QTest::newRow("unknown command")      << true  << QByteArrayList{"X12", "#"} << QByteArray();
    // clang-format on
}

void TestSimulator::replies() {
    QFETCH(bool, held);
    QFETCH(QByteArrayList, commands);
    QFETCH(QByteArray, reply);
    Simulator sim;
    sim.setPaced(false);
    sim.setHeld(held);
    QVERIFY(sim.start());
    Client c(sim.slavePath());
    QVERIFY(c.fd >= 0);
    for (const auto& cmd : commands) c.send(cmd);
    QCOMPARE(c.settle(), reply);
    QCOMPARE(sim.receivedLines().size(), commands.size());
}

void TestSimulator::memoryChannels() {
    Simulator sim;
    sim.setPaced(false);
    sim.setHeld(true);
    QVERIFY(sim.start());
    Client c(sim.slavePath());
    c.send("K005014094100000"); // write channel 5
    c.send("F07205000");
    c.send("D3");
    c.send("J1007"); // store the current setting in 7
    c.send("L004008");
    QCOMPARE(c.take(6 + 17 + 6 + 17 + 6),
             QByteArray("L004V\rL005014094100000\rL006V\rL007003072050000\rL008V\r"));
    QCOMPARE(sim.channel(7).hz, qint64(7205000));
    c.send("Z2"); // clears the channels
    c.send("L005005");
    QCOMPARE(c.take(6), QByteArray("L005V\r"));
    // Malformed requests get no answer.
    c.send("L5");
    c.send("L199300");
    c.send("Labcdef");
    QCOMPARE(c.settle(), QByteArray("L199V\r"));
}

void TestSimulator::pacedOutputArrivesInPieces() {
    Simulator sim;
    sim.setBaud(9600);
    QVERIFY(sim.start());
    Client c(sim.slavePath());
    c.send("L000039"); // 40 empty records, 240 bytes: a quarter of a second on the line
    const QByteArray got = c.take(240);
    QCOMPARE(got.size(), 240);
    QVERIFY(got.startsWith("L000V\r") && got.endsWith("L039V\r"));
    // The client polls about every 10 ms, so a paced reply comes in many reads.
    QVERIFY2(c.reads > 3, qPrintable(QString::number(c.reads)));
    QCOMPARE(sim.pendingOutput(), qsizetype(0));
}

void TestSimulator::meterModel() {
    Simulator sim;
    sim.setCarriers({{9410000, 9000, 54}});
    for (int mhz = 0; mhz < 30; ++mhz) sim.setNoiseFloor(mhz, mhz == 5 ? 20 : 3);
    auto reading = [&](qint64 hz, int ft = 0) {
        auto s = sim.settings();
        s.hz = hz;
        s.ft = ft;
        sim.panelSet(s);
        return sim.meterReading();
    };
    const int carrier = reading(9410000);
    const int quiet = reading(9500000);
    const int noisy = reading(5500000);
    QCOMPARE(carrier, Simulator::rawFromDb(54)); // S9
    QCOMPARE(quiet, Simulator::rawFromDb(3));
    QCOMPARE(noisy, Simulator::rawFromDb(20));
    QVERIFY(carrier < noisy && noisy < quiet); // smaller is stronger
    // A narrow filter off the carrier's edge hears nothing of it; wide does.
    QCOMPARE(reading(9416000, 2), quiet);
    QVERIFY(reading(9416000, 0) < quiet);
    sim.setFixedMeter(200);
    QCOMPARE(reading(9410000), 200);
}

void TestSimulator::carrierSchedule_data() {
    QTest::addColumn<int>("onMs");
    QTest::addColumn<int>("offMs");
    QTest::addColumn<int>("phaseMs");
    QTest::addColumn<qint64>("at");
    QTest::addColumn<bool>("on");
    // clang-format off
    QTest::newRow("steady")               << 0    << 0    << 0   << qint64(123456) << true;
    QTest::newRow("first on period")      << 1000 << 3000 << 0   << qint64(999)    << true;
    QTest::newRow("goes off")             << 1000 << 3000 << 0   << qint64(1000)   << false;
    QTest::newRow("still off")            << 1000 << 3000 << 0   << qint64(3999)   << false;
    QTest::newRow("back on")              << 1000 << 3000 << 0   << qint64(4000)   << true;
    QTest::newRow("many cycles later")    << 1000 << 3000 << 0   << qint64(400500) << true;
    QTest::newRow("phase moves it on")    << 1000 << 3000 << 3500 << qint64(500)   << true;
    QTest::newRow("phase moves it off")   << 1000 << 3000 << 500 << qint64(600)    << false;
    QTest::newRow("never on")             << 0    << 1000 << 0   << qint64(0)      << false;
    QTest::newRow("before the clock starts") << 1000 << 3000 << 0 << qint64(-500)  << false;
    // clang-format on
}

void TestSimulator::carrierSchedule() {
    QFETCH(int, onMs);
    QFETCH(int, offMs);
    QFETCH(int, phaseMs);
    QFETCH(qint64, at);
    QFETCH(bool, on);
    nrd535sim::Carrier c{7100000, 3000, 40, onMs, offMs, phaseMs};
    QCOMPARE(c.OnAt(at), on);
}

void TestSimulator::meterFollowsSchedule() {
    Simulator sim;
    for (int mhz = 0; mhz < 30; ++mhz) sim.setNoiseFloor(mhz, 5);
    sim.setCarriers({{7100000, 3000, 40, 2000, 2000, 0}, {7100000, 3000, 30}});
    sim.panelTune(7100000);
    sim.setClockMs(500);
    QCOMPARE(sim.meterReading(), Simulator::rawFromDb(40));
    // The intermittent one is off: the steady one beside it is what the meter hears.
    sim.setClockMs(2500);
    QCOMPARE(sim.meterReading(), Simulator::rawFromDb(30));
    sim.setCarriers({{7100000, 3000, 40, 2000, 2000, 0}});
    QCOMPARE(sim.meterReading(), Simulator::rawFromDb(5));
    sim.setClockMs(4000);
    QCOMPARE(sim.meterReading(), Simulator::rawFromDb(40));
}

void TestSimulator::meterSettlesAfterTune() {
    Simulator sim;
    sim.setPaced(false);
    sim.setHeld(true);
    for (int mhz = 0; mhz < 30; ++mhz) sim.setNoiseFloor(mhz, 4);
    sim.setCarriers({{7100000, 3000, 44}});
    sim.setClockMs(10000);
    sim.panelTune(7000000);
    // By default the new reading is there at once.
    sim.panelTune(7100000);
    QCOMPARE(sim.meterReading(), Simulator::rawFromDb(44));
    sim.panelTune(7000000);
    QCOMPARE(sim.meterReading(), Simulator::rawFromDb(4));

    sim.setSettleMs(40);
    sim.setClockMs(11000);
    QVERIFY(sim.start());
    Client c(sim.slavePath());
    c.send("F07100000");
    c.send("M");
    QCOMPARE(c.take(5), "M" + QByteArray::number(Simulator::rawFromDb(4)) + '\r');
    sim.setClockMs(11020); // half way, straight in dB
    QCOMPARE(sim.meterReading(), Simulator::rawFromDb(24));
    sim.setClockMs(11040);
    c.send("M");
    QCOMPARE(c.take(5), "M" + QByteArray::number(Simulator::rawFromDb(44)) + '\r');
    // Tuning away half way through starts from what the meter showed then.
    sim.setClockMs(20000);
    c.send("F07000000");
    QTRY_COMPARE(sim.settings().hz, qint64(7000000));
    sim.setClockMs(20020);
    QCOMPARE(sim.meterReading(), Simulator::rawFromDb(24));
    c.send("F07100000");
    QTRY_COMPARE(sim.settings().hz, qint64(7100000));
    sim.setClockMs(20040);
    QCOMPARE(sim.meterReading(), Simulator::rawFromDb(34));
    // A query changes nothing: the meter keeps settling where it is.
    c.send("W");
    QCOMPARE(c.take(6), QByteArray("W5500\r"));
    sim.setClockMs(20060);
    QCOMPARE(sim.meterReading(), Simulator::rawFromDb(44));
}

void TestSimulator::inputPacedAtLineSpeed() {
    Simulator sim;
    sim.setPaced(false);
    sim.setHeld(true);
    sim.setBaud(1200); // 8.3 ms a character: "F" and eight digits with CR take 83 ms
    sim.setInputPaced(true);
    QVERIFY(sim.start());
    Client c(sim.slavePath());
    QElapsedTimer t;
    t.start();
    c.send("F07100000");
    c.send("M");
    // Nothing is acted on before its last character could have arrived.
    QTRY_COMPARE(sim.receivedLines().size(), 2);
    QVERIFY2(t.elapsed() >= 100, qPrintable(QString::number(t.elapsed())));
    QCOMPARE(sim.receivedLines(), (QStringList{"F07100000", "M"}));
    QCOMPARE(sim.settings().hz, qint64(7100000));
    QCOMPARE(c.take(5).left(1), QByteArray("M"));
}

void TestSimulator::switchedOffIsSilent() {
    Simulator sim;
    sim.setPaced(false);
    QVERIFY(sim.start());
    Client c(sim.slavePath());
    sim.setPowered(false);
    c.send("H");
    c.send("?");
    QCOMPARE(c.settle(), QByteArray());
    QCOMPARE(sim.receivedLines(), (QStringList{"H", "?"}));
    sim.setPowered(true);
    c.send("H");
    QCOMPARE(c.take(3), QByteArray("H0\r"));
}

void TestSimulator::garbageGoesOutVerbatim() {
    Simulator sim;
    sim.setPaced(false);
    QVERIFY(sim.start());
    Client c(sim.slavePath());
    const QByteArray junk("\0\r\n\xff\x80I\x13\x11", 9);
    sim.injectGarbage(junk);
    QCOMPARE(c.take(junk.size()), junk);
    sim.injectRandomGarbage(1000, 3);
    QCOMPARE(c.take(1000).size(), 1000);
}

void TestSimulator::linkFollowsRestart() {
    QTemporaryDir dir;
    const QString link = dir.filePath("rx");
    Simulator sim;
    sim.setPaced(false);
    QVERIFY(sim.start(link));
    QCOMPARE(sim.path(), link);
    const QString first = sim.slavePath();
    sim.stop();
    QVERIFY(!QFile::exists(link));
    // Another pseudo-terminal takes the freed number, so the restart gets a new one.
    const int other = ::posix_openpt(O_RDWR | O_NOCTTY);
    QVERIFY(other >= 0);
    QVERIFY(sim.start(link));
    QVERIFY(sim.slavePath() != first);
    QVERIFY(QFileInfo(link).isSymLink());
    QCOMPARE(QFileInfo(link).symLinkTarget(), sim.slavePath());
    Client c(link);
    c.send("H");
    QCOMPARE(c.take(3), QByteArray("H0\r"));
    ::close(other);
}

QTEST_GUILESS_MAIN(TestSimulator)
#include "tst_simulator.moc"
