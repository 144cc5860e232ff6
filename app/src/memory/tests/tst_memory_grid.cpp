// The memory grid and quick-filter windows on the offscreen platform, against the simulated
// receiver: cell edits through the model, keys and row changes through the window.

#include "memory/ui/memory_models.h"
#include "memory/ui/rxflt.h"
#include "memory/ui/rxkwn.h"
#include "memory/ui/rxmem.h"
#include "memory_rig.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QHeaderView>
#include <QPushButton>
#include <QSignalSpy>
#include <QTableView>
#include <QTest>

class TestMemoryGrid : public QObject {
    Q_OBJECT
private slots:
    void cellEdits_data();
    void cellEdits();
    void typedIntoTheEditors_data();
    void typedIntoTheEditors();
    void dropDownButtons();
    void keysInTheGrid();
    void rowChangeTunes();
    void pushFromTheGrid();
    void headerClickAsksForTheScan();
    void quickFilterCells_data();
    void quickFilterCells();
    void knownListSelection();
};

void TestMemoryGrid::cellEdits_data() {
    QTest::addColumn<int>("column");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<double>("hz");
    QTest::addColumn<int>("filter");
    QTest::addColumn<int>("beeps");
    QTest::newRow("7125") << 1 << "7125"
                          << "7125.000" << 7125000.0 << 1 << 0;
    QTest::newRow("30000 clamps") << 1 << "30000"
                                  << "29999.999" << 29999999.0 << 1 << 1;
    QTest::newRow("empty kept") << 1 << ""
                                << "9410.000" << 9410000.0 << 1 << 0;
    QTest::newRow("filter 2") << 3 << "2"
                              << "Narrow" << 9410000.0 << 2 << 0;
    QTest::newRow("filter text") << 3 << "Aux"
                                 << "Aux" << 9410000.0 << 3 << 0;
    QTest::newRow("bandwidth kept") << 3 << "2400"
                                    << "2400" << 9410000.0 << 2400 << 0;
    QTest::newRow("bandwidth too wide") << 3 << "6000"
                                        << "Aux" << 9410000.0 << 3 << 0;
    QTest::newRow("filter garbage") << 3 << "x"
                                    << "Inter" << 9410000.0 << 1 << 1;
}

void TestMemoryGrid::cellEdits() {
    QFETCH(int, column);
    QFETCH(QString, typed);
    QFETCH(QString, shown);
    QFETCH(double, hz);
    QFETCH(int, filter);
    QFETCH(int, beeps);
    MemoryRig rig;
    QVERIFY(rig.Connect()); // the driver's nominal bandwidths come with the open port
    rig.channels.SetRow(4, MemoryRecord{9410000, 4, 1, 0, "x"});
    rig.channels.SetModified(false);
    MemoryTableModel model(rig.channels, rig.rx, rig.settings, [&] { rig.panel.WarnBeep(); });
    model.setData(model.index(4, column), typed, Qt::EditRole);
    QCOMPARE(model.index(4, column).data().toString(), shown);
    QCOMPARE(rig.channels.Row(4).Frequency, hz);
    QCOMPARE(rig.channels.Row(4).Filter, filter);
    QCOMPARE(rig.panel.beeps, beeps);
    // Stored edits (clamped ones too) mark the table; a refused or empty one does not.
    QCOMPARE(rig.channels.Modified(), !typed.isEmpty() && typed != "x");
}

namespace {

// Types as an operator does: each key goes to the widget holding the focus (the grid, then the
// editor the first key opened). "\n" is Enter, "\b" Backspace, "\x1b" Esc.
void typeKeys(const QString& keys) {
    for (QChar c : keys) {
        QWidget* w = QApplication::focusWidget();
        QVERIFY(w);
        if (c == u'\n')
            QTest::keyClick(w, Qt::Key_Return);
        else if (c == u'\b')
            QTest::keyClick(w, Qt::Key_Backspace);
        else if (c == u'\x1b')
            QTest::keyClick(w, Qt::Key_Escape);
        else
            QTest::keyClick(w, c.toLatin1());
        // The view commits an edit from its queue, as it does for the operator.
        QCoreApplication::processEvents();
    }
}

} // namespace

void TestMemoryGrid::typedIntoTheEditors_data() {
    QTest::addColumn<int>("column");
    QTest::addColumn<QString>("keys");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<int>("beeps");
    QTest::addColumn<bool>("open"); // the window after the keys
    QTest::newRow("frequency") << 1 << "7125\n"
                               << "7125.000" << 0 << true;
    QTest::newRow("comma beeps") << 1 << "712,5\n"
                                 << "7125.000" << 1 << true;
    QTest::newRow("second point beeps") << 1 << "7.1.5\n"
                                        << "07.150" << 1 << true;
    QTest::newRow("letter beeps") << 1 << "7x1\n"
                                  << "71.000" << 1 << true;
    QTest::newRow("backspace") << 1 << "71\b25\n"
                               << "725.000" << 0 << true;
    QTest::newRow("too high clamps") << 1 << "30000\n"
                                     << "29999.999" << 1 << true;
    QTest::newRow("esc closes at once") << 1 << "71\x1b"
                                        << "9410.000" << 0 << false;
    QTest::newRow("filter code") << 3 << "2\n"
                                 << "Narrow" << 0 << true;
    QTest::newRow("filter bandwidth") << 3 << "2400\n"
                                      << "2400" << 0 << true;
    QTest::newRow("filter letter") << 3 << "a"
                                   << "Aux" << 0 << true;
    QTest::newRow("filter esc") << 3 << "2\x1b"
                                << "Inter" << 0 << false;
    QTest::newRow("mode letter") << 2 << "l"
                                 << "LSB" << 0 << true;
    QTest::newRow("comment") << 5 << "Net\n"
                             << "Net" << 0 << true;
}

void TestMemoryGrid::typedIntoTheEditors() {
    QFETCH(int, column);
    QFETCH(QString, keys);
    QFETCH(QString, shown);
    QFETCH(int, beeps);
    QFETCH(bool, open);
    MemoryRig rig;
    QVERIFY(rig.Connect());
    rig.channels.SetRow(4, MemoryRecord{9410000, 4, 1, 0, "x"});
    RxMem window(*rig.memory, rig.channels, rig.rx, rig.panel, rig.settings, 4);
    window.show();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    QTableView* grid = window.MemGrid();
    grid->setCurrentIndex(grid->model()->index(4, column));
    grid->setFocus();
    typeKeys(keys);
    QCOMPARE(grid->model()->index(4, column).data().toString(), shown);
    QCOMPARE(rig.panel.beeps, beeps);
    QCOMPARE(window.isVisible(), open);
}

void TestMemoryGrid::dropDownButtons() {
    MemoryRig rig;
    QVERIFY(rig.Connect());
    rig.channels.SetRow(4, MemoryRecord{9410000, 4, 1, 0, ""});
    RxMem window(*rig.memory, rig.channels, rig.rx, rig.panel, rig.settings, 4);
    window.show();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    QTableView* grid = window.MemGrid();
    // The button is drawn without an editor open: the right end of a list cell differs from
    // the same place of the (empty) comment cell's neighbour, the plain frequency cell.
    const QImage shot = grid->viewport()->grab().toImage();
    for (int c : {2, 3, 4}) {
        const QRect cell = grid->visualRect(grid->model()->index(4, c));
        const QRect plain = grid->visualRect(grid->model()->index(4, 5));
        const QPoint at(cell.right() - cell.height() / 2, cell.center().y());
        const QPoint ref(plain.left() + cell.width() - cell.height() / 2, plain.center().y());
        QVERIFY2(shot.pixel(at) != shot.pixel(ref), qPrintable(QString::number(c)));
    }
    // A click on it opens the list.
    const QRect cell = grid->visualRect(grid->model()->index(4, 4));
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {},
                      QPoint(cell.right() - 3, cell.center().y()));
    auto* box = qobject_cast<QComboBox*>(grid->indexWidget(grid->model()->index(4, 4)));
    QVERIFY(box);
    QVERIFY(box->view()->isVisible());
}

void TestMemoryGrid::keysInTheGrid() {
    MemoryRig rig;
    QVERIFY(rig.Connect());
    for (int r = 0; r < 200; r += 7)
        rig.channels.SetRow(r, MemoryRecord{1000000.0 + r, 4, 0, 0, ""});
    rig.channels.SetModified(false);
    RxMem window(*rig.memory, rig.channels, rig.rx, rig.panel, rig.settings, 3);
    window.show();
    QCOMPARE(window.windowTitle(), QStringLiteral("Channel Memory"));
    QCOMPARE(window.CurrentRow(), 3);
    QTableView* grid = window.MemGrid();
    grid->setFocus();
    // Modifiers alone are no keys; Shift+Tab moves back a column.
    for (Qt::Key k : {Qt::Key_Shift, Qt::Key_Control, Qt::Key_Alt}) QTest::keyClick(grid, k);
    QCOMPARE(rig.panel.beeps, 0);
    QTest::keyClick(grid, Qt::Key_Backtab, Qt::ShiftModifier);
    QCOMPARE(grid->currentIndex().column(), 0);
    QCOMPARE(rig.panel.beeps, 0);
    QTest::keyClick(grid, Qt::Key_Q);
    QCOMPARE(rig.panel.beeps, 1);
    // "S" stores the receiver's setting in the row and clears its comment.
    QTest::keyClick(grid, Qt::Key_S);
    QCOMPARE(rig.channels.Row(3).Frequency, rig.rx.Fr());
    QVERIFY(rig.channels.Modified());
    // "E" empties all 200 rows.
    QTest::keyClick(grid, Qt::Key_E);
    QVERIFY(!rig.channels.AnyFilled());
    QCOMPARE(grid->model()->index(150, 1).data().toString(), QStringLiteral("00.000"));
    // "D" reads the receiver's channel 3 into row 3; the window waits meanwhile.
    rig.sim.setChannel(3, nrd535sim::Channel{false, 0, 2, 3, 1, 6000000});
    QSignalSpy done(rig.memory.get(), &MemoryCommands::dumpFinished);
    QTest::keyClick(grid, Qt::Key_D);
    QVERIFY(!window.isEnabled());
    QVERIFY(done.wait(5000));
    QVERIFY(window.isEnabled());
    QCOMPARE(rig.channels.Row(3).Frequency, 6000000.0);
    QCOMPARE(rig.panel.beeps, 1);
    // The quick memory grid carries its own caption.
    RxMem quick(*rig.memory, rig.quick, rig.rx, rig.panel, rig.settings, 0);
    QCOMPARE(quick.windowTitle(), QStringLiteral("Quick Memory"));
}

void TestMemoryGrid::rowChangeTunes() {
    MemoryRig rig;
    QVERIFY(rig.Connect());
    rig.quick.SetRow(2, MemoryRecord{7125000, 2, 1, 1, "two"});
    RxMem window(*rig.memory, rig.quick, rig.rx, rig.panel, rig.settings, 0);
    window.show();
    QTableView* grid = window.MemGrid();
    // Onto an empty row: nothing is sent.
    QStringList lines = rig.LinesOf([&] { grid->setCurrentIndex(grid->model()->index(1, 1)); });
    QVERIFY2(lines.isEmpty(), qPrintable(lines.join(' ')));
    lines = rig.LinesOf([&] { grid->setCurrentIndex(grid->model()->index(2, 1)); });
    QCOMPARE(lines.value(0), QStringLiteral("F07125000"));
    QCOMPARE(rig.panel.tag, QStringLiteral("M"));
    QCOMPARE(rig.panel.number, QStringLiteral("002"));
    QVERIFY(rig.panel.captionVisible);
    // The scan moves the grid without a second tune.
    lines = rig.LinesOf([&] { window.FollowRow(0); });
    QVERIFY(lines.isEmpty());
    QCOMPARE(window.CurrentRow(), 0);
}

void TestMemoryGrid::pushFromTheGrid() {
    MemoryRig rig;
    QVERIFY(rig.Connect());
    rig.quick.SetRow(1, MemoryRecord{7125000, 2, 1, 1, ""});
    RxMem window(*rig.memory, rig.quick, rig.rx, rig.panel, rig.settings, 5);
    window.show();
    QSignalSpy done(rig.memory.get(), &MemoryCommands::pushFinished);
    const QStringList lines = rig.LinesOf([&] {
        QTest::keyClick(window.MemGrid(), Qt::Key_P);
        QVERIFY(done.wait(5000));
    });
    // Every row of the shown table goes out, the empty ones too.
    QCOMPARE(lines.size(), 10);
    QCOMPARE(lines[1], QStringLiteral("K001012071250001"));
    QCOMPARE(window.CurrentRow(), 5);
}

void TestMemoryGrid::headerClickAsksForTheScan() {
    MemoryRig rig;
    RxMem window(*rig.memory, rig.channels, rig.rx, rig.panel, rig.settings, 0);
    window.show();
    MemoryTable* asked = nullptr;
    window.ScanRequested = [&](MemoryTable& t) { asked = &t; };
    QHeaderView* header = window.MemGrid()->horizontalHeader();
    QTest::mouseClick(header->viewport(), Qt::LeftButton, {},
                      QPoint(header->sectionViewportPosition(0) + 5, header->height() / 2));
    QCOMPARE(asked, &rig.channels);
}

void TestMemoryGrid::quickFilterCells_data() {
    QTest::addColumn<QStringList>("edits"); // "row:text" into the filter column
    QTest::addColumn<QList<int>>("codes");  // rows 0..2 afterwards
    QTest::addColumn<int>("beeps");
    QTest::newRow("odd rounded up") << QStringList{"0:1801"} << QList<int>{1802, -1, -1} << 0;
    QTest::newRow("too wide") << QStringList{"0:9000"} << QList<int>{12000, -1, -1} << 0;
    QTest::newRow("duplicate refused")
        << QStringList{"0:2400", "1:2400"} << QList<int>{2400, -1, -1} << 1;
    QTest::newRow("emptied") << QStringList{"0:2400", "0:"} << QList<int>{-1, -1, -1} << 0;
}

void TestMemoryGrid::quickFilterCells() {
    QFETCH(QStringList, edits);
    QFETCH(QList<int>, codes);
    QFETCH(int, beeps);
    MemoryRig rig;
    QVERIFY(rig.Connect());
    RxFlt window(rig.filters, rig.rx, rig.panel, rig.settings);
    QCOMPARE(window.windowTitle(), QStringLiteral("Quick Filters"));
    QAbstractItemModel* m = window.FltGrid()->model();
    for (const QString& e : edits)
        m->setData(m->index(e.section(':', 0, 0).toInt(), 1), e.section(':', 1), Qt::EditRole);
    QCOMPARE(rig.panel.beeps, beeps);
    for (int r = 0; r < 3; ++r) QCOMPARE(rig.filters.Row(r).Code, codes[r]);
    if (codes[0] > 0) {
        QCOMPARE(rig.filters.Row(0).Name, QString::number(codes[0]));
        // Moving onto the row selects the filter.
        window.show();
        const QStringList lines =
            rig.LinesOf([&] { window.FltGrid()->setCurrentIndex(m->index(0, 1)); });
        // The driver sends a bandwidth beyond the variable control as its widest.
        const QString sent =
            QStringLiteral("W%1").arg(std::min(codes[0], 5500), 4, 10, QLatin1Char('0'));
        QVERIFY2(lines.contains(sent), qPrintable(lines.join(' ')));
    }
}

void TestMemoryGrid::knownListSelection() {
    QList<int> selection{3, 1, 0, 1};
    QStringList labels;
    for (int i = 0; i < 30; ++i) labels << QStringLiteral("List %1").arg(i);
    {
        RxKwn window(selection, labels, false);
        QCOMPARE(window.windowTitle(), QStringLiteral("Known frequencies list select"));
        QCOMPARE(window.Wkn[23]->text(), QStringLiteral("List 23"));
        QVERIFY(window.Wkn[0]->isChecked());
        QVERIFY(!window.Wkn[1]->isChecked());
        window.Wkn[1]->setChecked(true);
        window.Cancel->click();
    }
    QCOMPARE(selection, (QList<int>{3, 1, 0, 1}));
    {
        RxKwn window(selection, labels, false);
        window.Wkn[1]->setChecked(true);
        window.Wkn[2]->setChecked(false);
        window.OK->click();
    }
    QCOMPARE(selection, (QList<int>{3, 1, 1, 0}));
}

QTEST_MAIN(TestMemoryGrid)
#include "tst_memory_grid.moc"
