// The kelvane command itself: options, and a whole run on the built-in simulated receiver.
#include "settings/registry.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>

namespace {

struct Run {
    int code = -1;
    QString out, err;
};

Run kelvane(const QStringList& args, const QString& dir = QString()) {
    QProcess p;
    if (!dir.isEmpty()) p.setWorkingDirectory(dir);
    p.start(QStringLiteral(KELVANE_BINARY), args);
    Run r;
    if (!p.waitForFinished(30000)) {
        p.kill();
        p.waitForFinished();
        return r;
    }
    r.code = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.out = QString::fromLocal8Bit(p.readAllStandardOutput());
    r.err = QString::fromLocal8Bit(p.readAllStandardError());
    return r;
}

} // namespace

class TestCli : public QObject {
    Q_OBJECT

private slots:
    void options_data() {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("out");
        QTest::addColumn<QString>("err");
        QTest::newRow("help") << QStringList{"--help"} << 0 << "--settings FILE"
                              << "";
        QTest::newRow("help names the port option") << QStringList{"-h"} << 0 << "--port"
                                                    << "";
        QTest::newRow("version") << QStringList{"--version"} << 0
                                 << QStringLiteral("kelvane " KELVANE_VERSION) << "";
        QTest::newRow("unknown option") << QStringList{"--frobnicate"} << 2 << ""
                                        << "unknown option --frobnicate";
        QTest::newRow("settings without a file") << QStringList{"--settings"} << 2 << ""
                                                 << "--settings needs a file name";
        QTest::newRow("malformed port") << QStringList{"--port", "x=/dev/null"} << 2 << ""
                                        << "--port";
    }
    void options() {
        QFETCH(QStringList, args);
        QFETCH(int, code);
        QFETCH(QString, out);
        QFETCH(QString, err);
        const Run r = kelvane(args);
        QCOMPARE(r.code, code);
        // An empty column means nothing at all on that stream.
        QVERIFY2(out.isEmpty() ? r.out.isEmpty() : r.out.contains(out), qPrintable(r.out));
        QVERIFY2(err.isEmpty() ? r.err.trimmed().isEmpty() : r.err.contains(err),
                 qPrintable(r.err));
    }

    void simulatedRunConnectsAndKeepsTheStoredPort() {
        QTemporaryDir dir;
        const QString settings = dir.filePath(QStringLiteral("conf/k.reg"));
        qputenv("KELVANE_TIMING", "1");
        const Run r =
            kelvane({"--simulate", "--settings", settings, "--quit-after", "2500"}, dir.path());
        qunsetenv("KELVANE_TIMING");
        QCOMPARE(r.code, 0);
        QVERIFY2(r.out.contains(QStringLiteral("KELVANE_SHOWN")), qPrintable(r.out + r.err));
        QVERIFY2(r.out.contains(QStringLiteral("KELVANE_CONNECTED")), qPrintable(r.out + r.err));

        // Shutdown wrote the hive; the simulated port was not stored over the operator's.
        Registry reg(settings);
        QCOMPARE(reg.Load().kind, Registry::LoadResult::Loaded);
        QCOMPARE(reg.RegGet(QStringLiteral("Kelvane"), QString(), QStringLiteral("COM_Port"), 99)
                     .toInt(),
                 -1);
        QCOMPARE(
            reg.RegGet(QStringLiteral("Kelvane"), QString(), QStringLiteral("COM_Speed"), QString())
                .toString(),
            QStringLiteral("4800"));
    }

    void stopSignalShutsDownCleanly_data() {
        QTest::addColumn<int>("signal");
        QTest::newRow("SIGTERM") << int(SIGTERM);
        QTest::newRow("SIGINT") << int(SIGINT);
        QTest::newRow("SIGHUP") << int(SIGHUP);
    }
    void stopSignalShutsDownCleanly() {
        // kill, Ctrl+C or a logout: the receiver is released and the settings are written, as
        // when the window is closed.
        QFETCH(int, signal);
        QTemporaryDir dir;
        const QString settings = dir.filePath(QStringLiteral("k.reg"));
        QProcess p;
        p.setWorkingDirectory(dir.path());
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("KELVANE_TIMING"), QStringLiteral("1"));
        p.setProcessEnvironment(env);
        p.start(QStringLiteral(KELVANE_BINARY), {"--simulate", "--settings", settings});
        QByteArray out;
        QVERIFY(QTest::qWaitFor(
            [&] {
                p.waitForReadyRead(50);
                out += p.readAllStandardOutput();
                return out.contains("KELVANE_CONNECTED") || p.state() == QProcess::NotRunning;
            },
            20000));
        QVERIFY2(out.contains("KELVANE_CONNECTED"), out.constData());
        QVERIFY(!QFile::exists(settings));
        ::kill(pid_t(p.processId()), signal);
        if (!p.waitForFinished(15000)) {
            p.kill();
            p.waitForFinished();
            QFAIL("the program did not end on the signal");
        }
        QCOMPARE(p.exitStatus(), QProcess::NormalExit);
        QCOMPARE(p.exitCode(), 0);
        Registry reg(settings);
        QCOMPARE(reg.Load().kind, Registry::LoadResult::Loaded);
        QCOMPARE(
            reg.RegGet(QStringLiteral("Kelvane"), QString(), QStringLiteral("COM_Speed"), QString())
                .toString(),
            QStringLiteral("4800"));
    }
};

QTEST_GUILESS_MAIN(TestCli)
#include "tst_cli.moc"
