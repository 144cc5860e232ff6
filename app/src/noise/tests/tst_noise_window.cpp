// The noise-floor window: paging through the file, Esc, and what the bar graph paints.

#include "noise/noise_file.h"
#include "noise/ui/rx_noise.h"
#include "settings/settings.h"

#include <QImage>
#include <QTemporaryDir>
#include <QtTest>

namespace {

NoiseSurvey surveyNamed(const QString& date, int levelCount) {
    NoiseSurvey s;
    for (int i = 0; i < levelCount; ++i) s.Levels[size_t(i)] = 150 + i;
    s.Mean = NoiseMeanOf(s.Levels, NoiseSurvey::Segments - 1);
    s.Date = date;
    s.Time = QStringLiteral("12:00");
    return s;
}

// Whether the column of segment k holds the level box's fill anywhere.
bool boxAt(const QImage& img, const RxNoise& w, int k) {
    const int charW = w.width() / 33; // the window is 33 "XX" wide
    const int x = int((k + 2.0) * charW);
    for (int y = 0; y < img.height(); ++y)
        if (img.pixelColor(x, y) == QColor(0, 0, 255)) return true;
    return false;
}

} // namespace

class TestNoiseWindow : public QObject {
    Q_OBJECT
private slots:
    void paging_data();
    void paging();
    void pagingWaitsForTheSurvey();
    void escCloses();
    void boxesOnlyForMeasuredSegments();
};

void TestNoiseWindow::paging_data() {
    QTest::addColumn<QString>("keys");
    QTest::addColumn<QString>("date");
    QTest::addColumn<QString>("titleEnd");
    QTest::newRow("opens on the last") << ""
                                       << "third"
                                       << "third 12:00";
    QTest::newRow("Up from the last wraps to the first") << "U"
                                                         << "first"
                                                         << " (1)";
    QTest::newRow("Down from the first goes to the last") << "UD"
                                                          << "third"
                                                          << " (3)";
    QTest::newRow("Down from the last") << "D"
                                        << "second"
                                        << " (2)";
}

void TestNoiseWindow::paging() {
    QFETCH(QString, keys);
    QFETCH(QString, date);
    QFETCH(QString, titleEnd);
    QTemporaryDir dir;
    Settings settings;
    settings.SMT_Log = dir.filePath(QStringLiteral("Noise.txt"));
    for (const char* d : {"first", "second", "third"})
        QVERIFY(AppendNoiseLine(settings.SMT_Log, surveyNamed(QString::fromLatin1(d), 30)));
    NoiseSurvey survey;
    RxNoise w(survey, settings);
    w.Reload();
    QCOMPARE(w.Pages().LineCount, 3);
    for (QChar k : keys) QTest::keyClick(&w, k == QLatin1Char('U') ? Qt::Key_Up : Qt::Key_Down);
    QCOMPARE(survey.Date, date);
    QVERIFY2(w.windowTitle().startsWith(QStringLiteral("Noise floor for ")),
             qPrintable(w.windowTitle()));
    QVERIFY2(w.windowTitle().endsWith(titleEnd), qPrintable(w.windowTitle()));
}

void TestNoiseWindow::pagingWaitsForTheSurvey() {
    QTemporaryDir dir;
    Settings settings;
    settings.SMT_Log = dir.filePath(QStringLiteral("Noise.txt"));
    QVERIFY(AppendNoiseLine(settings.SMT_Log, surveyNamed(QStringLiteral("old"), 30)));
    NoiseSurvey survey = surveyNamed(QStringLiteral("running"), 4);
    RxNoise w(survey, settings);
    bool surveying = true;
    w.CanPage = [&] { return !surveying; };
    QTest::keyClick(&w, Qt::Key_Up);
    // The levels a running survey fills are not overwritten from the file.
    QCOMPARE(survey.Date, QStringLiteral("running"));
    QCOMPARE(survey.Levels[10], 0);
    surveying = false;
    QTest::keyClick(&w, Qt::Key_Up);
    QCOMPARE(survey.Date, QStringLiteral("old"));
}

void TestNoiseWindow::escCloses() {
    Settings settings;
    NoiseSurvey survey;
    RxNoise w(survey, settings);
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    QTest::keyClick(&w, Qt::Key_Escape);
    QVERIFY(!w.isVisible());
}

void TestNoiseWindow::boxesOnlyForMeasuredSegments() {
    Settings settings;
    NoiseSurvey survey = surveyNamed(QStringLiteral("x"), 3);
    RxNoise w(survey, settings);
    QVERIFY(w.width() > 0 && w.height() > 0);
    const QImage img = w.grab().toImage();
    for (int k = 0; k < 3; ++k) QVERIFY2(boxAt(img, w, k), qPrintable(QString::number(k)));
    for (int k = 3; k < 30; ++k) QVERIFY2(!boxAt(img, w, k), qPrintable(QString::number(k)));
}

QTEST_MAIN(TestNoiseWindow)
#include "tst_noise_window.moc"
