#include "ui/noise_wiring.h"

#include "core/tuner.h"
#include "input/keys.h"
#include "noise/noise_file.h"
#include "noise/smeter_procedures.h"
#include "ui/main_window.h"
#include "ui/panel_colours.h"
#include "ui/rx_noise.h"

#include <fennick/freqs.h>

#include <QMessageBox>

NoiseRoom::NoiseRoom(Main& main) : QObject(&main), m_main(main) {
    m_proc = new SMeterProcedures(
        main, main.receiver(), main.settings, Survey,
        [&main](ScanState s) {
            main.SetScanState(s);
            // The survey measures every band with the same narrow filter: the band plan's
            // filter must not replace it on the way.
            if (s == ScanState::NoiseMeasure) main.tuner().BandDefaults = false;
            if (s == ScanState::Idle) main.tuner().BandDefaults = true;
        },
        [&main] { return main.freqs().Step(); }, this);

    connect(m_proc, &SMeterProcedures::SMeterColour, this,
            [&main](const QColor& c) { panel::PaintBackground(main.SM, c); });
    // The megahertz reached shows in the record indicator while the survey runs; the noise
    // window, when open, fills its bars as the levels come in.
    connect(m_proc, &SMeterProcedures::SurveyProgress, this, [this](int segment, double) {
        if (m_main.State().Scan == ScanState::NoiseMeasure)
            m_main.ShowRecordNumber(QStringLiteral("MHz"),
                                    QStringLiteral("%1").arg(segment, 2, 10, QLatin1Char('0')));
        else
            m_main.ClearChannelLabels();
        if (m_window) m_window->SurveyChanged();
    });
    connect(m_proc, &SMeterProcedures::SurveyStarted, this,
            [&main] { main.SMeter.Reset(main.settings.SMT_Sql); });
    connect(m_proc, &SMeterProcedures::NoiseFileFailed, this, [this](const QString& path) {
        auto* box = new QMessageBox(QMessageBox::Warning, QStringLiteral("Noise file"),
                                    NoiseFileFailedText(path), QMessageBox::Ok, &m_main);
        box->setAttribute(Qt::WA_DeleteOnClose);
        box->open(); // no nested event loop
    });
    connect(m_proc, &SMeterProcedures::SurveyFinished, this, [this] {
        m_main.ClearChannelLabels();
        ShowWindow(true);
    });

    main.OnSMeterProcedure = [this](int raw) { m_proc->SMeterReport(raw); };
    main.OnSMeterClick = [this](bool shift) {
        if (!shift) {
            ShowWindow(false);
            return;
        }
        if (m_main.State().Scan != ScanState::Idle || m_main.State().PanelLocked) {
            m_main.WarnBeep();
            return;
        }
        m_proc->NoiseMeasure(true);
    };
    KeyFeatures& f = main.keys().Features;
    f.ActiveSearch = [this](bool up) { m_proc->ActiveSearch(true, 0, up); };
    f.NoiseCancel = [this] { m_proc->NoiseCancel(); };
    f.ActiveCancel = [this] { m_proc->ActiveCancel(); };

    // Closing the window during a survey or search leaves the receiver as it was before.
    connect(&main, &Main::stopping, this, [this] { m_proc->Abandon(); });
    connect(&main, &Main::started, this,
            [this] { LoadNoiseLine(m_main.settings.SMT_Log, Survey, -1); });
}

RxNoise* NoiseRoom::Window() const {
    return m_window.data();
}

RxNoise* NoiseRoom::ShowWindow(bool modal) {
    const bool surveying = m_main.State().Scan == ScanState::NoiseMeasure;
    if (!m_window) {
        m_window = new RxNoise(Survey, m_main.settings, &m_main);
        m_window->setAttribute(Qt::WA_DeleteOnClose);
        m_window->CanPage = [this] { return m_main.State().Scan != ScanState::NoiseMeasure; };
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

NoiseRoom* WireNoise(Main& main) {
    return new NoiseRoom(main);
}
