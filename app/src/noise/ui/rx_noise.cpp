#include "noise/ui/rx_noise.h"

#include "settings/settings.h"

#include <ostry/nrd535.h>

#include <QEvent>
#include <QKeyEvent>
#include <QPainter>
#include <QScreen>

#include <cmath>

namespace {

constexpr int TwipsPerInch = 1440;
// The plot: baseline at 3584 twips, 15 twips per raw S-meter unit, 30 segments of CharW.
constexpr int Baseline = 3584;
constexpr int TwipsPerRaw = 15;
constexpr int PlotMargin = 100;
constexpr int WindowHeight = 4096;
const QString TitlePrefix = QStringLiteral("Noise floor for ");
const QColor ScaleColour(128, 0, 0); // red of the 16-colour palette
const QColor MeanColour(0, 255, 0);
const QColor BoxFill(0, 0, 255);

} // namespace

RxNoise::RxNoise(NoiseSurvey& survey, const Settings& settings, QWidget* parent)
    : QDialog(parent), m_survey(survey), m_settings(settings), m_rx(std::make_unique<Nrd535>()) {
    setWindowTitle(QStringLiteral("Noise floor estimation"));
    setWindowFlag(Qt::WindowStaysOnTopHint, m_settings.WIN_OnTop);
    setWindowTitle(TitleFor(m_survey));
    const QFontMetrics fm(font());
    const double twipsPerPx = double(TwipsPerInch) / logicalDpiX();
    CharW = int(fm.horizontalAdvance(QStringLiteral("XX")) * twipsPerPx);
    CharH = int(fm.height() * double(TwipsPerInch) / logicalDpiY());
    setFixedSize(int(std::lround(Px(33.0 * CharW))),
                 int(std::lround(Px(CharH / 2.0 + WindowHeight))));
}

RxNoise::~RxNoise() = default;

QString RxNoise::TitleFor(const NoiseSurvey& survey) {
    return TitlePrefix + survey.Date + QLatin1Char(' ') + survey.Time;
}

double RxNoise::Px(double twips) const {
    return twips * logicalDpiY() / TwipsPerInch;
}

void RxNoise::Reload() {
    m_pages.LineCount = m_pages.CurLine = LoadNoiseLine(m_settings.SMT_Log, m_survey, -1);
    setWindowTitle(TitleFor(m_survey));
    update();
}

void RxNoise::SurveyChanged() {
    update();
}

void RxNoise::showLine(int line) {
    if (CanPage && !CanPage()) return; // a survey is filling the levels
    LoadNoiseLine(m_settings.SMT_Log, m_survey, line);
    setWindowTitle(TitleFor(m_survey) + QStringLiteral(" (%1)").arg(line));
    update();
}

void RxNoise::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
    case Qt::Key_Up:
        if (!CanPage || CanPage()) showLine(m_pages.Up());
        break;
    case Qt::Key_Down:
        if (!CanPage || CanPage()) showLine(m_pages.Down());
        break;
    case Qt::Key_Escape:
        close();
        break;
    default:
        QDialog::keyPressEvent(event);
        return;
    }
    event->accept();
}

void RxNoise::changeEvent(QEvent* event) {
    // The always-on-top setting may have changed since the window opened.
    if (event->type() == QEvent::ActivationChange && isActiveWindow() &&
        bool(windowFlags() & Qt::WindowStaysOnTopHint) != m_settings.WIN_OnTop) {
        setWindowFlag(Qt::WindowStaysOnTopHint, m_settings.WIN_OnTop);
        show();
    }
    QDialog::changeEvent(event);
}

void RxNoise::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing, false);
    const double left = CharW + PlotMargin;
    const double right = 31.0 * CharW + PlotMargin;
    const auto pt = [this](double x, double y) { return QPointF(Px(x), Px(y)); };

    p.fillRect(QRectF(pt(left, 0), pt(right, Baseline)), Qt::black);

    QFont small = font();
    small.setPointSize(7);
    p.setFont(small);
    const QFontMetricsF fm(small);
    p.setPen(ScaleColour);
    // S-unit scale: S1, S3 ... S9 at the raw value of each S-unit.
    for (int s = 1; s <= 9; s += 2) {
        const double y = double(TwipsPerRaw) * m_rx->SMCalc(qint16(s), true);
        const QString label = QStringLiteral("S%1").arg(s);
        p.drawText(QPointF(Px(50), Px(y) + (fm.ascent() - fm.descent()) / 2), label);
        p.drawLine(pt(left, y), pt(right, y));
    }
    // Segment labels and lines.
    for (int k = 0; k < NoiseSurvey::Segments; ++k) {
        const double x = (k + 1.5) * CharW;
        p.drawText(QPointF(Px(x), Px(Baseline) + fm.ascent()),
                   QStringLiteral("%1").arg(k, 2, 10, QLatin1Char('0')));
        if (k >= 1) p.drawLine(pt(x, Baseline), pt(x, 0));
    }
    // The survey's mean.
    p.setPen(MeanColour);
    const double mean = double(TwipsPerRaw) * m_survey.Mean;
    p.drawLine(pt(left, mean), pt(right, mean));
    // One box a measured segment, from the baseline up to its level.
    p.setPen(Qt::white);
    p.setBrush(BoxFill);
    for (int k = 0; k < NoiseSurvey::Segments; ++k) {
        const int level = m_survey.Levels[size_t(k)];
        if (level == 0) continue;
        p.drawRect(QRectF(pt((k + 1.5) * CharW, double(TwipsPerRaw) * level),
                          pt((k + 2.5) * CharW, Baseline)));
    }
}
