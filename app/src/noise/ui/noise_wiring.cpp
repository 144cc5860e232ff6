#include "noise/ui/noise_wiring.h"

#include "core/smeter_stats.h"
#include "core/tuner.h"
#include "input/keys.h"
#include "input/room_host.h"
#include "noise/noise_file.h"
#include "noise/smeter_procedures.h"
#include "noise/ui/rx_noise.h"
#include "settings/settings.h"

#include <QWidget>

#include <fennick/freqs.h>

#include <QMessageBox>

NoiseRoom::NoiseRoom(RoomHost& host) : QObject(&host.window()), m_host(host) {
    m_proc = new SMeterProcedures(
        host.panel(), host.receiver(), host.config(), Survey,
        [&host](ScanState s) {
            host.panel().SetScanState(s);
            // The survey measures every band with the same narrow filter: the band plan's
            // filter must not replace it on the way.
            if (s == ScanState::NoiseMeasure) host.tuner().BandDefaults = false;
            if (s == ScanState::Idle) host.tuner().BandDefaults = true;
        },
        [&host] { return host.freqs().Step(); }, this);

    connect(m_proc, &SMeterProcedures::SMeterColour, this,
            [&host](const QColor& c) { host.PaintSMeter(c); });
    // The megahertz reached shows in the record indicator while the survey runs; the noise
    // window, when open, fills its bars as the levels come in.
    connect(m_proc, &SMeterProcedures::SurveyProgress, this, [this](int segment, double) {
        if (m_host.panel().State().Scan == ScanState::NoiseMeasure)
            m_host.panel().ShowRecordNumber(
                QStringLiteral("MHz"), QStringLiteral("%1").arg(segment, 2, 10, QLatin1Char('0')));
        else
            m_host.panel().ClearChannelLabels();
        if (m_window) m_window->SurveyChanged();
    });
    connect(m_proc, &SMeterProcedures::SurveyStarted, this,
            [&host] { host.sMeterStats().Reset(host.config().SMT_Sql); });
    connect(m_proc, &SMeterProcedures::NoiseFileFailed, this, [this](const QString& path) {
        auto* box = new QMessageBox(QMessageBox::Warning, QStringLiteral("Noise file"),
                                    NoiseFileFailedText(path), QMessageBox::Ok, &m_host.window());
        box->setAttribute(Qt::WA_DeleteOnClose);
        box->open(); // no nested event loop
    });
    connect(m_proc, &SMeterProcedures::SurveyFinished, this, [this] {
        m_host.panel().ClearChannelLabels();
        ShowWindow(true);
        m_host.SharedChanged(QStringLiteral("noise/survey"));
    });
    // The last survey for the other rooms: levels per megahertz, mean, date and time.
    host.Share(QStringLiteral("noise/survey"), this, [this] {
        QVariantList levels;
        for (int level : Survey.Levels) levels.append(level);
        return QVariant(
            QVariantMap{{QStringLiteral("levels"), levels},
                        {QStringLiteral("mean"), Survey.Mean},
                        {QStringLiteral("when"), (Survey.Date + u' ' + Survey.Time).trimmed()}});
    });

    host.SetSMeterProcedure([this](int raw) { m_proc->SMeterReport(raw); });
    host.SetSMeterClick([this](bool shift) {
        if (!shift) {
            ShowWindow(false);
            return;
        }
        if (m_host.panel().State().Scan != ScanState::Idle || m_host.panel().State().PanelLocked) {
            m_host.panel().WarnBeep();
            return;
        }
        m_proc->NoiseMeasure(true);
    });
    KeyFeatures& f = host.keyFeatures();
    f.ActiveSearch = [this](bool up) { m_proc->ActiveSearch(true, 0, up); };
    f.NoiseCancel = [this] { m_proc->NoiseCancel(); };
    f.ActiveCancel = [this] { m_proc->ActiveCancel(); };

    // Closing the window during a survey or search leaves the receiver as it was before.
    host.WhenStopping(this, [this] { m_proc->Abandon(); });
    host.WhenStarted(this, [this] { LoadNoiseLine(m_host.config().SMT_Log, Survey, -1); });
}

RxNoise* NoiseRoom::Window() const {
    return m_window.data();
}

RxNoise* NoiseRoom::ShowWindow(bool modal) {
    const bool surveying = m_host.panel().State().Scan == ScanState::NoiseMeasure;
    if (!m_window) {
        m_window = new RxNoise(Survey, m_host.config(), &m_host.window());
        m_window->setAttribute(Qt::WA_DeleteOnClose);
        m_window->CanPage = [this] {
            return m_host.panel().State().Scan != ScanState::NoiseMeasure;
        };
    }
    // While a survey runs the window watches it fill; otherwise it shows the file's last.
    if (!surveying && !m_proc->SurveyUnsaved()) m_window->Reload();
    // Window-modal without a nested event loop: the survey's last report is still being
    // handled when this runs.
    if (modal)
        m_window->open();
    else
        m_window->show();
    m_window->raise();
    m_window->activateWindow();
    return m_window;
}
