// A memory file save killed at any point leaves the old file or the new one, never a mix or a
// part. The test runs itself as a child that saves in a loop and kills it with SIGKILL.

#include "memory/memory_file.h"
#include "memory/memory_table.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include <cstdio>

namespace {

const char* const LoopOption = "--save-loop";

// Two full tables that differ in every row.
void fill(ChannelTable& t, int variant) {
    for (int r = 0; r < t.Size(); ++r)
        t.SetRow(
            r, MemoryRecord{
                   double(1000000 + r * 1000 + variant), variant, r % 4, r % 3,
                   QStringLiteral("variant %1 row %2 ").arg(variant).arg(r).repeated(variant + 1)});
}

QByteArray fileBytes(const ChannelTable& t) {
    QByteArray b;
    for (const MemoryRecord& r : t.Rows()) b += FormatRecordLine(r).toUtf8() + "\r\n";
    return b;
}

// The child: saves the two tables in turn, forever, and tells the parent after each save.
int saveLoop(const QString& path) {
    ChannelTable a, b;
    fill(a, 0);
    fill(b, 1);
    for (unsigned n = 0;; ++n) {
        if (!SaveChannelFile(path, n % 2 ? b : a).ok) return 2;
        std::fputc('.', stdout);
        std::fflush(stdout);
    }
}

} // namespace

class TestMemoryCrash : public QObject {
    Q_OBJECT
private slots:
    void killedSaveLeavesAWholeFile();
};

void TestMemoryCrash::killedSaveLeavesAWholeFile() {
    QTemporaryDir dir;
    const QString path = dir.filePath("default.mem");
    ChannelTable a, b;
    fill(a, 0);
    fill(b, 1);
    const QByteArray bytesA = fileBytes(a), bytesB = fileBytes(b);
    QVERIFY(SaveChannelFile(path, a).ok);

    QRandomGenerator rng(20261210);
    int rounds = 0;
    for (int round = 0; round < 60; ++round) {
        QProcess child;
        child.start(QCoreApplication::applicationFilePath(), {LoopOption, path});
        QVERIFY(child.waitForStarted());
        // Let it complete a few saves, then kill it somewhere inside the next ones.
        const int saves = 1 + int(rng.bounded(4));
        while (child.bytesAvailable() < saves && child.state() == QProcess::Running)
            child.waitForReadyRead(1000);
        QThread::usleep(rng.bounded(3000));
        child.kill();
        QVERIFY(child.waitForFinished());
        QCOMPARE(child.exitStatus(), QProcess::CrashExit);
        QFile f(path);
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QByteArray got = f.readAll();
        QVERIFY2(got == bytesA || got == bytesB,
                 qPrintable(QStringLiteral("round %1: %2 bytes").arg(round).arg(got.size())));
        ++rounds;
    }
    QCOMPARE(rounds, 60);
}

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() == 3 && args[1] == QLatin1String(LoopOption)) return saveLoop(args[2]);
    TestMemoryCrash test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_memory_crash.moc"
