// Files from outside the program where a pipe, a folder, a device or a huge file stands in
// their place: every reader refuses or stops in bounds, with the file's message or its usual
// reaction, and the program starts as usual with such files in its working folder.

#include "core/record_text.h"
#include "files/bounded_file.h"
#include "lists/import_profile.h"
#include "lists/record_reader.h"
#include "lists/scratch_pad.h"
#include "memory/memory_file.h"
#include "memory/memory_table.h"
#include "noise/noise_file.h"
#include "settings/registry.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>
#include <sys/types.h>

namespace {

constexpr qint64 HugeBytes = 1LL << 30;

// Puts a bad file of `kind` at `path`: "fifo", "folder", "device" (a link to /dev/zero) or
// "huge" (1 GB of zeros, sparse, so the test costs no disk).
bool makeBad(const QString& kind, const QString& path) {
    const QByteArray name = QFile::encodeName(path);
    if (kind == QLatin1String("fifo")) return ::mkfifo(name.constData(), 0600) == 0;
    if (kind == QLatin1String("folder")) return ::mkdir(name.constData(), 0700) == 0;
    if (kind == QLatin1String("device")) return QFile::link(QStringLiteral("/dev/zero"), path);
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.resize(HugeBytes);
}

// The word the reader's message uses for each kind.
QString kindWord(const QString& kind) {
    if (kind == QLatin1String("fifo")) return QStringLiteral("a pipe");
    if (kind == QLatin1String("folder")) return QStringLiteral("a folder");
    return QStringLiteral("a device");
}

const QStringList Kinds{QStringLiteral("fifo"), QStringLiteral("folder"), QStringLiteral("device"),
                        QStringLiteral("huge")};

} // namespace

class TestBadFiles : public QObject {
    Q_OBJECT
private slots:
    void readers_data();
    void readers();
    void startUp_data();
    void startUp();
};

void TestBadFiles::readers_data() {
    QTest::addColumn<QString>("reader");
    QTest::addColumn<QString>("kind");
    for (const char* reader : {"memory", "pad", "list", "profiles", "noise", "settings"})
        for (const QString& kind : Kinds)
            QTest::addRow("%s, %s", reader, qPrintable(kind))
                << QString::fromLatin1(reader) << kind;
}

void TestBadFiles::readers() {
    QFETCH(QString, reader);
    QFETCH(QString, kind);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("file"));
    QVERIFY(makeBad(kind, path));
    const bool huge = kind == QLatin1String("huge");

    QString error;
    QFile f;
    QCOMPARE(boundedfile::Open(f, path, &error), huge);
    if (!huge) QVERIFY2(error.contains(kindWord(kind)), qPrintable(error));
    QCOMPARE(FileExists(path), huge);

    if (reader == QLatin1String("memory")) {
        ChannelTable table;
        const LoadResult r = LoadChannelFile(path, table);
        QCOMPARE(r.opened, huge);
        // 1 GB of zeros is one line without "|": loading stops at it, as at any short line.
        if (huge)
            QVERIFY(r.badLine && r.rowsRead == 0);
        else
            QVERIFY2(r.error.contains(kindWord(kind)), qPrintable(r.error));
    } else if (reader == QLatin1String("pad") || reader == QLatin1String("list")) {
        RecordReader records;
        records.SetPath(path);
        const RecordReader::Step s = records.Read(ReadOp::Start, 0, &ScratchPad::PadFrequency);
        QCOMPARE(s.kind, RecordReader::Step::None);
        QVERIFY(!records.IsOpen());
    } else if (reader == QLatin1String("profiles")) {
        QCOMPARE(ProfileNames(path), QStringList());
        ImportLayout layout;
        QVERIFY(!LoadImportProfile(path, QStringLiteral("EIBI"), layout));
    } else if (reader == QLatin1String("noise")) {
        NoiseSurvey survey;
        survey.Mean = 7;
        // The huge file is one overlong line: no survey in it.
        QCOMPARE(LoadNoiseLine(path, survey, -1), huge ? 1 : 0);
        QCOMPARE(survey.Mean, 7);
        if (!huge) QVERIFY(!AppendNoiseLine(path, survey));
    } else if (reader == QLatin1String("settings")) {
        Registry hive(path);
        const Registry::LoadResult r = hive.Load();
        QCOMPARE(r.kind, Registry::LoadResult::Reset);
        QVERIFY2(r.message.contains(huge ? QStringLiteral("too large")
                                         : QStringLiteral("is not a file")),
                 qPrintable(r.message));
    }
}

// The program with bad files under every name it reads from its working folder: it starts,
// connects to its simulated receiver and quits as asked.
void TestBadFiles::startUp_data() {
    QTest::addColumn<QString>("kind");
    for (const QString& kind : Kinds) QTest::newRow(qPrintable(kind)) << kind;
}

void TestBadFiles::startUp() {
    QFETCH(QString, kind);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    for (const char* name : {"default.mem", "scratch.log", "Noise.txt", "import.cnf"})
        QVERIFY(makeBad(kind, dir.filePath(QString::fromLatin1(name))));
    QProcess kelvane;
    kelvane.setWorkingDirectory(dir.path());
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    env.insert(QStringLiteral("KELVANE_TIMING"), QStringLiteral("1"));
    kelvane.setProcessEnvironment(env);
    kelvane.start(QStringLiteral(KELVANE_BINARY),
                  {QStringLiteral("--simulate"), QStringLiteral("--settings"),
                   dir.filePath(QStringLiteral("s.reg")), QStringLiteral("--quit-after"),
                   QStringLiteral("2500")});
    QVERIFY(kelvane.waitForStarted(10000));
    const bool finished = kelvane.waitForFinished(60000);
    if (!finished) {
        kelvane.kill();
        kelvane.waitForFinished(5000);
    }
    QVERIFY2(finished, "the program did not quit");
    QCOMPARE(kelvane.exitStatus(), QProcess::NormalExit);
    QVERIFY(kelvane.readAllStandardOutput().contains("KELVANE_CONNECTED"));
}

QTEST_MAIN(TestBadFiles)
#include "tst_badfiles.moc"
