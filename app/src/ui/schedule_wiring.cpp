#include "ui/schedule_wiring.h"

#include "input/keys.h"
#include "scan/scan_engine.h"
#include "schedule/on_air.h"
#include "schedule/ui/on_air_window.h"
#include "ui/main_window.h"

#include <fennick/freqs.h>
#include <ostry/nrd535.h>

#include <QGridLayout>
#include <QLabel>
#include <QMessageBox>

namespace {
// The panel's mode code for AM.
constexpr int AmMode = 4;
// How close the receiver must be to a scheduled frequency, kHz.
constexpr double PanelTolerance = 1.0;
// How long the frequency must stay before it is looked up: a scan or the wheel passes by.
constexpr int RestMs = 250;
} // namespace

ScheduleRoom::ScheduleRoom(Main& main, Clock clock)
    : QObject(&main), main_(main), clock_(std::move(clock)),
      scan_(
          sked_, main, main.settings,
          [this](double* low, double* high) { return scanRange(low, high); },
          [this] { return clock_(); }) {
    // The on-air line under the record caption, across the frequency frame.
    label_ = new PassiveLabel(main.FrqFrame);
    label_->setObjectName(QStringLiteral("SkdOnAir"));
    {
        QPalette p = label_->palette();
        p.setColor(QPalette::WindowText, QColor(160, 255, 160));
        label_->setPalette(p);
    }
    label_->hide();
    if (auto* grid = qobject_cast<QGridLayout*>(main.FrqFrame->layout()))
        grid->addWidget(label_, grid->rowCount(), 0, 1, 7);

    rest_.setSingleShot(true);
    rest_.setInterval(RestMs);
    connect(&rest_, &QTimer::timeout, this, &ScheduleRoom::showOnAir);
    minute_.setInterval(60 * 1000);
    minute_.setTimerType(Qt::CoarseTimer);
    connect(&minute_, &QTimer::timeout, this, &ScheduleRoom::showOnAir);
    connect(&main.receiver(), &Nrd535::OnUpd, this, [this] {
        if (sked_.Empty()) return; // no schedule: nothing to look up
        const double hz = main_.receiver().Fr();
        if (hz == lastHz_) return;
        lastHz_ = hz;
        rest_.start();
    });

    main.scan().SetSource(ScanState::OnAir, &scan_);
    main.keys().Features.OnAirWindow = [this] { ShowWindow(); };
    connect(&main, &Main::started, this, [this] {
        QString error;
        if (Reload(&error) || error.isEmpty()) return;
        // Not fatal: the program works on without a schedule.
        qWarning("%s", qUtf8Printable(error));
        auto* box = new QMessageBox(QMessageBox::Warning, main_.windowTitle(), error,
                                    QMessageBox::Ok, &main_);
        box->setAttribute(Qt::WA_DeleteOnClose);
        box->setWindowModality(Qt::NonModal);
        box->show();
    });
    connect(&main, &Main::stopping, this, [this] {
        main_.scan().SetSource(ScanState::OnAir, nullptr);
        rest_.stop();
        minute_.stop();
        if (window_) window_->close();
    });
}

ScheduleRoom::~ScheduleRoom() {
    delete window_;
}

bool ScheduleRoom::Reload(QString* error) {
    if (window_) window_->SetSchedule(nullptr);
    sked_.Clear();
    lastHz_ = -1;
    const QString path = main_.settings.SKD_File;
    bool ok = true;
    if (!path.isEmpty()) {
        const ScheduleLoad load = sked_.Load(path);
        if (!load.Ok) {
            sked_.Clear();
            if (error) *error = load.Error;
            ok = false;
        }
    }
    if (sked_.Empty()) {
        minute_.stop();
        label_->hide();
    } else {
        minute_.start();
        lastHz_ = main_.receiver().Fr();
        showOnAir();
    }
    if (window_) window_->SetSchedule(&sked_);
    return ok;
}

void ScheduleRoom::showOnAir() {
    const double hz = main_.receiver().Fr();
    if (sked_.Empty() || hz <= 0) {
        label_->hide();
        return;
    }
    sked_.OnAirAt(hz / 1000, PanelTolerance, ScheduleTime::FromUtc(clock_()), found_);
    if (found_.empty()) {
        label_->hide();
        return;
    }
    label_->setText(schedule::Caption(found_));
    label_->show();
}

void ScheduleRoom::ShowWindow() {
    if (!window_) {
        window_ = new OnAirWindow(nullptr, clock_);
        window_->setAttribute(Qt::WA_DeleteOnClose);
        window_->setWindowFlag(Qt::WindowStaysOnTopHint, main_.settings.WIN_OnTop);
        connect(window_, &OnAirWindow::tuneRequested, this, &ScheduleRoom::tune);
        window_->SetSchedule(&sked_);
    }
    if (sked_.Empty())
        window_->Status()->setText(
            main_.settings.SKD_File.isEmpty()
                ? QStringLiteral("No schedule: name one in the options")
                : QStringLiteral("The schedule %1 did not read").arg(main_.settings.SKD_File));
    window_->show();
    window_->raise();
    window_->activateWindow();
}

void ScheduleRoom::tune(double khz) {
    const ProgramState& s = main_.State();
    if (!s.Connected || !s.RemoteHeld || s.PanelLocked) {
        main_.WarnBeep();
        return;
    }
    main_.TuneTo(khz * 1000, true, true, true);
    // Broadcasts are heard in AM unless the band plan chooses the mode.
    if (!main_.settings.BND_AutoMD) main_.ShowMode(AmMode, true);
}

bool ScheduleRoom::scanRange(double* lowKhz, double* highKhz) {
    // Between the marks when both are set, otherwise the band the receiver is in.
    const ScanEngine& scan = main_.scan();
    if (scan.Mark(1) >= 0 && scan.Mark(2) >= 0) {
        *lowKhz = scan.Mark(1) / 1000;
        *highKhz = scan.Mark(2) / 1000;
        return true;
    }
    const double hz = main_.receiver().Fr();
    if (hz <= 0) return false;
    bool approx = false;
    main_.freqs().Look(hz / 1000, approx);
    *lowKhz = main_.freqs().BandFrq();
    *highKhz = main_.freqs().Last();
    return *highKhz > *lowKhz;
}

ScheduleRoom* WireSchedule(Main& main) {
    return new ScheduleRoom(main);
}

bool ApplyScheduleFile(Main& main, const QString& path, QString* error) {
    auto* room = main.findChild<ScheduleRoom*>();
    main.settings.SKD_File = path;
    if (!room) {
        if (error) *error = QStringLiteral("The schedule is not part of this window");
        return false;
    }
    return room->Reload(error);
}
