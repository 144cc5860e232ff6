#include "schedule/ui/schedule_wiring.h"

#include "input/keys.h"
#include "input/room_host.h"
#include "scan/scan_engine.h"
#include "schedule/on_air.h"
#include "schedule/ui/on_air_window.h"
#include "settings/settings.h"

#include <fennick/freqs.h>
#include <ostry/nrd535.h>

#include <QDir>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPushButton>

namespace {
// The panel's mode code for AM.
constexpr int AmMode = 4;
// How close the receiver must be to a scheduled frequency, kHz.
constexpr double PanelTolerance = 1.0;
// How long the frequency must stay before it is looked up: a scan or the wheel passes by.
constexpr int RestMs = 250;
// A label that takes its clicks, so they do not reach the frame below.
class OnAirLine : public QLabel {
public:
    using QLabel::QLabel;

protected:
    void mousePressEvent(QMouseEvent* event) override { event->accept(); }
};
} // namespace

ScheduleOptionsRow::ScheduleOptionsRow(const QString& path, QWidget* parent) : QWidget(parent) {
    SkdFile = new QLineEdit(path, this);
    SkdFile->setObjectName(QStringLiteral("SkdFile"));
    SkdFile->setPlaceholderText(QStringLiteral("none"));
    SkdFile->setToolTip(QStringLiteral("Broadcast schedule (a season's semicolon-separated file, "
                                       "such as sked-B25.csv)"));
    SkdBrowse = new QPushButton(QStringLiteral("..."), this);
    SkdBrowse->setObjectName(QStringLiteral("SkdBrowse"));
    SkdBrowse->setToolTip(QStringLiteral("Choose the schedule file"));
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    auto* label = new QLabel(QStringLiteral("Sche&dule"), this);
    label->setBuddy(SkdFile);
    row->addWidget(label);
    row->addWidget(SkdFile, 1);
    row->addWidget(SkdBrowse);
    connect(SkdBrowse, &QPushButton::clicked, this, [this] {
        const QString current = File();
        const QString chosen =
            choose_
                ? choose_(current)
                : QFileDialog::getOpenFileName(this, QStringLiteral("Broadcast schedule"),
                                               current.isEmpty() ? QDir::currentPath() : current,
                                               QStringLiteral("Schedules (*.csv);;All files (*)"));
        if (!chosen.isEmpty()) SkdFile->setText(chosen);
    });
}

QString ScheduleOptionsRow::File() const {
    return SkdFile->text().trimmed();
}

ScheduleRoom::ScheduleRoom(RoomHost& host, Clock clock)
    : QObject(&host.window()), host_(host), clock_(std::move(clock)),
      scan_(
          sked_, host.panel(), host.config(),
          [this](double* low, double* high) { return scanRange(low, high); },
          [this] { return clock_(); }) {
    // The on-air line under the record caption, across the frequency frame.
    label_ = new OnAirLine;
    label_->setObjectName(QStringLiteral("SkdOnAir"));
    {
        QPalette p = label_->palette();
        p.setColor(QPalette::WindowText, QColor(160, 255, 160));
        label_->setPalette(p);
    }
    host.AddPanelLine(label_);

    rest_.setSingleShot(true);
    rest_.setInterval(RestMs);
    connect(&rest_, &QTimer::timeout, this, &ScheduleRoom::showOnAir);
    minute_.setInterval(60 * 1000);
    minute_.setTimerType(Qt::CoarseTimer);
    connect(&minute_, &QTimer::timeout, this, &ScheduleRoom::showOnAir);
    connect(&host.receiver(), &Nrd535::OnUpd, this, [this] {
        if (sked_.Empty()) return; // no schedule: nothing to look up
        const double hz = host_.receiver().Fr();
        if (hz == lastHz_) return;
        lastHz_ = hz;
        rest_.start();
    });

    host.scan().SetSource(ScanState::OnAir, &scan_);
    host.keyFeatures().OnAirWindow = [this] { ShowWindow(); };
    host.WhenStarted(this, [this] {
        QString error;
        if (Reload(&error) || error.isEmpty()) return;
        // Not fatal: the program works on without a schedule.
        qWarning("%s", qUtf8Printable(error));
        auto* box = new QMessageBox(QMessageBox::Warning, host_.Title(), error, QMessageBox::Ok,
                                    &host_.window());
        box->setAttribute(Qt::WA_DeleteOnClose);
        box->setWindowModality(Qt::NonModal);
        box->show();
    });
    host.WhenStopping(this, [this] {
        host_.scan().SetSource(ScanState::OnAir, nullptr);
        rest_.stop();
        minute_.stop();
        if (window_) window_->close();
    });
    // The file on the options dialog, read again after OK when it changed.
    host.AddOptionsPart({[this] { return new ScheduleOptionsRow(host_.config().SKD_File); },
                         [this](QWidget* row, bool accepted) {
                             auto* part = static_cast<ScheduleOptionsRow*>(row);
                             if (!accepted || part->File() == host_.config().SKD_File) return;
                             QString error;
                             if (!ApplyFile(part->File(), &error))
                                 QMessageBox::warning(&host_.window(), host_.Title(), error);
                         }});
}

ScheduleRoom::~ScheduleRoom() {
    delete window_;
}

bool ScheduleRoom::Reload(QString* error) {
    if (window_) window_->SetSchedule(nullptr);
    sked_.Clear();
    lastHz_ = -1;
    const QString path = host_.config().SKD_File;
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
        lastHz_ = host_.receiver().Fr();
        showOnAir();
    }
    if (window_) window_->SetSchedule(&sked_);
    return ok;
}

void ScheduleRoom::showOnAir() {
    const double hz = host_.receiver().Fr();
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
        window_->setWindowFlag(Qt::WindowStaysOnTopHint, host_.config().WIN_OnTop);
        connect(window_, &OnAirWindow::tuneRequested, this, &ScheduleRoom::tune);
        window_->SetSchedule(&sked_);
    }
    if (sked_.Empty())
        window_->Status()->setText(
            host_.config().SKD_File.isEmpty()
                ? QStringLiteral("No schedule: name one in the options")
                : QStringLiteral("The schedule %1 did not read").arg(host_.config().SKD_File));
    window_->show();
    window_->raise();
    window_->activateWindow();
}

void ScheduleRoom::tune(double khz) {
    PanelHost& panel = host_.panel();
    const ProgramState& s = panel.State();
    if (!s.Connected || !s.RemoteHeld || s.PanelLocked) {
        panel.WarnBeep();
        return;
    }
    panel.TuneTo(khz * 1000, true, true, true);
    // Broadcasts are heard in AM unless the band plan chooses the mode.
    if (!host_.config().BND_AutoMD) panel.ShowMode(AmMode, true);
}

bool ScheduleRoom::scanRange(double* lowKhz, double* highKhz) {
    // Between the marks when both are set, otherwise the band the receiver is in.
    const ScanEngine& scan = host_.scan();
    if (scan.Mark(1) >= 0 && scan.Mark(2) >= 0) {
        *lowKhz = scan.Mark(1) / 1000;
        *highKhz = scan.Mark(2) / 1000;
        return true;
    }
    const double hz = host_.receiver().Fr();
    if (hz <= 0) return false;
    bool approx = false;
    host_.freqs().Look(hz / 1000, approx);
    *lowKhz = host_.freqs().BandFrq();
    *highKhz = host_.freqs().Last();
    return *highKhz > *lowKhz;
}

bool ScheduleRoom::ApplyFile(const QString& path, QString* error) {
    host_.config().SKD_File = path;
    return Reload(error);
}
