// The occupancy sweep's grid, its CSV and its picture, and the thin window over them.

#include "scan/lockouts.h"
#include "scan/occupancy.h"
#include "scan/ui/occupancy_view.h"

#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <cmath>

class TestScanOccupancy : public QObject {
    Q_OBJECT
private slots:
    void gridRows();
    void csv();
    void colours_data();
    void colours();
    void picture();
    void view();
};

void TestScanOccupancy::gridRows() {
    OccupancyGrid g;
    g.Reset({7000000, 7005000, 7010000});
    QCOMPARE(g.Rows(), 0);
    g.Set(0, 1, 12.5);
    g.Set(0, 7, 1.0);  // no such column
    g.Set(-1, 0, 3.0); // no row for it yet, and older than none: opens the first
    QCOMPARE(g.Rows(), 1);
    g.Set(1, 0, 3.0);
    g.Set(0, 2, 4.0); // an older sweep still kept
    QCOMPARE(g.Rows(), 2);
    QCOMPARE(g.SweepOf(1), 1);
    QCOMPARE(g.Cell(0, 1), 12.5f);
    QCOMPARE(g.Cell(0, 2), 4.0f);
    QVERIFY(std::isnan(g.Cell(1, 1)));
    g.MarkHit(1, 0);
    QVERIFY(g.IsHit(1, 0) && !g.IsHit(0, 0));
    QCOMPARE(g.ColumnOf(7006000), 1);
    // The oldest rows go beyond the bound.
    for (int s = 2; s < OccupancyGrid::MaxRows + 5; ++s) g.Set(s, 0, 1.0);
    QCOMPARE(g.Rows(), OccupancyGrid::MaxRows);
    QCOMPARE(g.SweepOf(0), 5);
    g.Set(3, 0, 1.0); // dropped already: not opened again
    QCOMPARE(g.SweepOf(0), 5);
}

void TestScanOccupancy::csv() {
    OccupancyGrid g;
    g.Reset({7000000, 7005000});
    const QDateTime t0(QDate(2026, 12, 11), QTime(14, 0, 0), Qt::UTC);
    g.Set(0, 0, 1.04, t0);
    g.Set(0, 1, 38.24, t0);
    g.MarkHit(0, 1);
    g.Set(1, 1, -2.0, t0.addSecs(3));
    QCOMPARE(g.Csv(), QByteArray("Sweep,Start UTC,7000000,7005000\r\n"
                                 "0,2026-12-11T14:00:00Z,1.0,38.2H\r\n"
                                 "1,2026-12-11T14:00:03Z,,-2.0\r\n"));
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("sweeps.csv"));
    QString error;
    QVERIFY2(g.SaveCsv(path, &error), qPrintable(error));
    QFile f(path);
    QVERIFY(f.open(QIODevice::ReadOnly));
    QCOMPARE(f.readAll(), g.Csv());
    QVERIFY(!g.SaveCsv(dir.filePath(QStringLiteral("missing/sweeps.csv")), &error));
    QVERIFY(error.contains(QStringLiteral("missing")));
}

void TestScanOccupancy::colours_data() {
    QTest::addColumn<float>("db");
    QTest::addColumn<QColor>("colour");
    QTest::newRow("floor") << 0.0f << QColor(0, 0, 80);
    QTest::newRow("below floor") << -6.0f << QColor(0, 0, 80);
    QTest::newRow("middle") << 20.0f << QColor(0, 200, 80);
    QTest::newRow("full scale") << 40.0f << QColor(230, 30, 0);
    QTest::newRow("beyond") << 70.0f << QColor(230, 30, 0);
    QTest::newRow("not measured") << std::numeric_limits<float>::quiet_NaN() << QColor(24, 24, 24);
}

void TestScanOccupancy::colours() {
    QFETCH(float, db);
    QFETCH(QColor, colour);
    QCOMPARE(OccupancyPicture::CellColour(db), colour);
}

void TestScanOccupancy::picture() {
    OccupancyGrid g;
    g.Reset({7000000, 7005000, 7010000, 7015000});
    for (int s = 0; s < 3; ++s)
        for (int c = 0; c < 4; ++c) g.Set(s, c, 10.0 * c);
    g.MarkHit(2, 3);
    LockoutList locks;
    locks.Add({7005000, 0, {}});
    const QImage img = OccupancyPicture::Render(g, &locks);
    QCOMPARE(img.size(), QSize(4, 3));
    QCOMPARE(QColor(img.pixel(0, 0)), OccupancyPicture::CellColour(0));
    QCOMPARE(QColor(img.pixel(2, 1)), OccupancyPicture::CellColour(20));
    QCOMPARE(QColor(img.pixel(1, 0)), QColor(110, 110, 110)); // locked out
    QCOMPARE(QColor(img.pixel(3, 2)), QColor(Qt::white));     // hit
    QCOMPARE(QColor(img.pixel(3, 1)), OccupancyPicture::CellColour(30));
    // One row again, as the sweep under way changes it.
    QImage again = img;
    g.Set(1, 0, 40.0);
    OccupancyPicture::RenderRow(g, &locks, 1, again);
    QCOMPARE(QColor(again.pixel(0, 1)), OccupancyPicture::CellColour(40));
    QCOMPARE(again.pixel(0, 0), img.pixel(0, 0));

    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("occupancy.png"));
    QString error;
    QVERIFY2(OccupancyPicture::SavePng(img, path, 4, &error), qPrintable(error));
    QImage back(path);
    QCOMPARE(back.size(), QSize(16, 12));
    QCOMPARE(QColor(back.pixel(13, 9)), QColor(Qt::white));
}

void TestScanOccupancy::view() {
    OccupancyGrid g;
    g.Reset({7000000, 7005000});
    g.Set(0, 0, 5.0);
    OccupancyView v;
    v.SetGrid(&g, nullptr);
    QCOMPARE(v.Picture().size(), QSize(2, 1));
    g.Set(0, 1, 30.0);
    v.RowChanged(0);
    QCOMPARE(QColor(v.Picture().pixel(1, 0)), OccupancyPicture::CellColour(30));
    g.Set(1, 0, 1.0); // a new row: the picture grows
    v.RowChanged(1);
    QCOMPARE(v.Picture().size(), QSize(2, 2));
    v.resize(400, 300);
    v.show();
    QSignalSpy end(&v, &OccupancyView::EndRequested);
    QTest::keyClick(&v, Qt::Key_Escape);
    QCOMPARE(end.size(), 1);
}

QTEST_MAIN(TestScanOccupancy)
#include "tst_scan_occupancy.moc"
