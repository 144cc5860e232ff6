#include "fixture.h"

#include "core/tuner.h"
#include "ui/frequency_digits.h"
#include "ui/link_wiring.h"
#include "ui/lists_wiring.h"
#include "ui/memory_wiring.h"
#include "ui/net_wiring.h"
#include "ui/noise_wiring.h"
#include "ui/opts.h"
#include "ui/schedule_wiring.h"
#include "ui/web_wiring.h"

#include <ostry/nrd535.h>
#include <ostry/serialline.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QMouseEvent>
#include <QPushButton>
#include <QTest>

KelvaneFixture::KelvaneFixture() {
    setUp(Options{});
}

KelvaneFixture::KelvaneFixture(const Options& options) {
    setUp(options);
}

void KelvaneFixture::setUp(const Options& options) {
    if (!dir_.isValid()) {
        QTest::qFail("no temporary folder", __FILE__, __LINE__);
        return;
    }
    oldCwd_ = QDir::currentPath();
    QDir::setCurrent(dir_.path());
    QString error;
    if (!sim.start(dir_.filePath(QStringLiteral("ttySIM")), &error)) {
        QTest::qFail(qPrintable(QStringLiteral("simulator: ") + error), __FILE__, __LINE__);
        return;
    }
    ostry::setPortDevice(SimPort, sim.path());

    QStringList hive{QStringLiteral("REGEDIT4"), QString(),
                     QStringLiteral("[HKEY_LOCAL_MACHINE\\SOFTWARE\\Dunmore Software\\Kelvane]")};
    if (options.configurePort)
        hive << QStringLiteral("\"COM_Port\"=dword:%1").arg(SimPort, 8, 16, QLatin1Char('0'));
    hive << options.hiveLines;
    if (options.configurePort || !options.hiveLines.isEmpty()) {
        QFile f(settingsPath());
        if (!f.open(QIODevice::WriteOnly) ||
            f.write(hive.join(QStringLiteral("\r\n")).toUtf8() + "\r\n") < 0) {
            QTest::qFail("cannot write the hive", __FILE__, __LINE__);
            return;
        }
    }
    if (!startMain()) return;
    if (options.connect && !connect()) return;
    ok_ = true;
}

KelvaneFixture::~KelvaneFixture() {
    main.reset();
    reg.reset();
    sim.stop();
    ostry::clearPortOverrides();
    if (!oldCwd_.isEmpty()) QDir::setCurrent(oldCwd_);
}

bool KelvaneFixture::startMain() {
    main.reset();
    reg = std::make_unique<Registry>(settingsPath());
    reg->Load();
    main = std::make_unique<Main>(*reg);
    // The lists room's dialogs answered without a nested loop: no list file chosen, the
    // identification left as it opens, and the options closed through Serial and OK.
    ListsRoom* lists = WireLists(*main);
    lists->Files().SetChooseFile([] { return QString(); });
    lists->Pad().SetDescribe([] { return std::optional<QString>(QStringLiteral("Voice")); });
    lists->ShowOptions = [](Opts& o) {
        o.ComPrt->click();
        o.cmdOK->click();
    };
    WireLink(*main);
    WireNet(*main, *reg);
    WireMemory(*main);
    WireNoise(*main);
    WireSchedule(*main);
    WireWeb(*main, *reg);
    main->receiver().setMessageDisplay([this](const QString& text) { messages << text; });
    main->ShowPortDialog = [this](Main& m) {
        ++portDialogShown;
        if (portDialog) portDialog(m);
    };
    if (!main->Load()) return false;
    // Tests count ticks: no timer of their own.
    main->SetTimerRunning(false);
    main->show();
    if (!QTest::qWaitForWindowExposed(main.get())) {
        QTest::qFail("window not exposed", __FILE__, __LINE__);
        return false;
    }
    return true;
}

bool KelvaneFixture::connect() {
    for (int i = 0; i < 5 && !main->State().Connected; ++i) tick();
    if (!main->State().Connected) {
        QTest::qFail("the program did not connect to the simulator", __FILE__, __LINE__);
        return false;
    }
    // The first status report ("I1" makes the receiver send one) fills the panel. It waits with
    // the first poll's replies until the next poll or the end of the driver's hold; tests start
    // from a window that has not ticked again.
    const auto filled = [this] {
        return main->digits().Box(0)->text() != QLatin1String("-") &&
               main->MD->text() != QLatin1String("Mode");
    };
    if (!waitFor(filled, Nrd535::PollHoldMs + 200) && !waitTicking(filled)) {
        QTest::qFail("no status report reached the panel", __FILE__, __LINE__);
        return false;
    }
    return true;
}

void KelvaneFixture::stopMain() {
    if (!main) return;
    main->close();
    main.reset();
}

void KelvaneFixture::tick(int n) {
    for (int i = 0; i < n; ++i) {
        main->Tick();
        QCoreApplication::processEvents();
    }
}

bool KelvaneFixture::waitFor(const std::function<bool()>& cond, int timeoutMs) {
    return QTest::qWaitFor(cond, timeoutMs);
}

bool KelvaneFixture::waitTicking(const std::function<bool()>& cond, int maxTicks) {
    for (int i = 0; i < maxTicks; ++i) {
        // As the timer does: the next tick comes 100 ms after the last one.
        if (waitFor(cond, 100)) return true;
        tick();
    }
    return cond();
}

QStringList KelvaneFixture::takeLines() {
    // One fd carries every line in order: once the marker arrives, so has everything before it.
    const qsizetype before = sim.receivedLines().size();
    if (!main || !main->receiver().Connected()) {
        // Nothing can carry a marker: give the line a moment instead.
        QTest::qWait(150);
        QStringList lines = sim.receivedLines();
        sim.clearReceivedLines();
        return lines;
    }
    // A tune request may still wait for the line to be free.
    waitFor([&] { return !main->tuner().Pending(); });
    main->receiver().SMUpd();
    waitFor([&] {
        const QStringList lines = sim.receivedLines();
        return lines.size() > before && lines.last() == QLatin1String("M");
    });
    QStringList lines = sim.receivedLines();
    sim.clearReceivedLines();
    if (!lines.isEmpty() && lines.last() == QLatin1String("M")) lines.removeLast();
    return lines;
}

void KelvaneFixture::clearLines() {
    takeLines();
}

void KelvaneFixture::click(QWidget* w, Qt::MouseButton button, Qt::KeyboardModifiers modifiers) {
    QTest::mouseClick(w, button, modifiers, w->rect().center());
}

std::unique_ptr<Registry> KelvaneFixture::readHive() const {
    auto hive = std::make_unique<Registry>(settingsPath());
    hive->Load();
    return hive;
}
