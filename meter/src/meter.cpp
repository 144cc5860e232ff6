#include <halvard/meter.h>

#include <QEvent>
#include <QHelpEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QToolTip>

using namespace halvard;

namespace {

const QColor ModeColour(255, 255, 255);
const QColor TextColour(192, 192, 192);

QRect ToRect(const std::array<int, 4>& r) {
    return QRect(r[0], r[1], r[2], r[3]);
}

} // namespace

Meter::Meter(QWidget* parent) : QWidget(parent) {
    QFont labels(QStringLiteral("MS Serif"));
    labels.setStyleHint(QFont::Serif);
    labels.setPointSize(7);
    setFont(labels);
    setAttribute(Qt::WA_OpaquePaintEvent, false);
    setMinimumSize(68, 40);
    resize(340, 120);
    layoutFromSize();
}

Meter::~Meter() {
    if (m_run) Start(false);
}

bool Meter::Show() const {
    return m_shown;
}

void Meter::Show(bool value) {
    m_shown = value;
    update();
}

QColor Meter::BackColor() const {
    return m_backColor;
}

void Meter::BackColor(const QColor& value) {
    m_backColor = value;
    update();
    emit propertyChanged(QStringLiteral("BackColor"));
}

qint16 Meter::Card() const {
    return m_card;
}

void Meter::Card(qint16 value) {
    m_card = value;
    Sound::SetMixerCard(value);
    if (m_run) Start(false);
    if (Sound::DeviceCount() >= 1 && m_card >= 0) {
        Show(true);
        Start(true);
    } else {
        Show(false);
    }
}

qint32 Meter::Volume() const {
    return Sound::ReadVolume(m_source).value;
}

void Meter::Volume(qint32 value) {
    Sound::SetVolumeMute(m_source, value, false);
}

bool Meter::Run() const {
    return m_run;
}

qint16 Meter::Cards() const {
    return qint16(Sound::DeviceCount());
}

void Meter::Mute(bool value) {
    // A line without a readable volume keeps its volume (-1 leaves it alone).
    Sound::SetVolumeMute(m_source, Sound::ReadVolume(m_source).value, value);
}

qint32 Meter::VolMax() const {
    return Sound::ReadVolume(m_source).max;
}

qint32 Meter::VolMin() const {
    return Sound::ReadVolume(m_source).min;
}

bool Meter::Source(halvard::Source vData, bool Sel) {
    m_source = vData;
    const bool switched = Sound::SelectSource(vData, Sel);
    if (m_peakOk) m_peakId = Sound::PeakControlId(vData);
    return switched;
}

void Meter::Refresh() {
    m_display.ArrangeSides(m_peakOk);
    update();
}

void Meter::Start(bool value) {
    if (!value || m_card < 0) {
        if (m_run) Sound::StopCapture();
        m_run = false;
        m_peakOk = false;
        m_peakId = 0;
        update();
        return;
    }
    m_display.Arrange(true);
    const bool started = Sound::StartCapture(this, this, m_card);
    if (Sound::ReadPeakLevel(Sound::PeakControlId(m_source)) != -1) {
        m_peakId = Sound::PeakControlId(m_source);
        m_peakOk = true;
    }
    m_display.ArrangeSides(m_peakOk);
    // Running means a capture is really open: a second start keeps the first one.
    m_run = started || (m_run && Sound::IsOpen());
    update();
}

bool Meter::Max(qint16 Cls, qint32 Val, bool Reset) {
    if (Cls < 0 || Cls >= MeterDisplay::ClassCount) return false;
    const bool raised = m_display.Max(Cls, Val, Reset);
    update();
    return raised;
}

void Meter::Min(qint16 Cls, qint32 Val, bool Reset) {
    if (Cls < 0 || Cls >= MeterDisplay::ClassCount) return;
    m_display.Min(Cls, Val, Reset);
    update();
}

void Meter::Update(qint32 n, const float* Data, double Maxi, double Mean, double Sigm, bool Sign) {
    Q_UNUSED(Sigm);
    if (!m_run || !m_shown || !Data || n < MeterDisplay::BarCount) return;
    std::optional<qint32> peak;
    if (m_peakOk) peak = Sound::ReadPeakLevel(m_peakId);
    m_display.Update(Data, Maxi, Mean, peak, Sign);
    update();
}

void Meter::NextMode() {
    const int mode = m_display.NextMode();
    Sound::SetSpectrumMode(mode);
    m_display.InitProperties();
    // Flat while capturing; an idle meter keeps its ramp.
    m_display.Arrange(m_run);
    m_display.ArrangeSides(m_peakOk);
    Sound::SetSpectrumMode(mode);
    update();
}

void Meter::layoutFromSize() {
    const QFontMetrics fm(font());
    const int dpi = logicalDpiX();
    if (dpi > 0) m_display.SetTwipsPerPixel(1440.0 / dpi);
    m_display.SetModeLabelSize(fm.horizontalAdvance(QLatin1Char('M')) + 4, fm.height());
    m_display.Resize(width(), height(), fm.height() + 2);
}

void Meter::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    layoutFromSize();
}

void Meter::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton &&
        ToRect(m_display.ModeLabelRect()).contains(event->position().toPoint())) {
        NextMode();
        return;
    }
    QWidget::mousePressEvent(event);
}

bool Meter::event(QEvent* event) {
    if (event->type() == QEvent::ToolTip) {
        auto* help = static_cast<QHelpEvent*>(event);
        const QPoint p = help->pos();
        if (m_shown && ToRect(m_display.ModeLabelRect()).contains(p)) {
            QToolTip::showText(help->globalPos(),
                               QStringLiteral("Click to change mode (S:Spectrum, M:Magnitude)"));
        } else if (m_shown && p.y() >= m_display.FrameHeight()) {
            QToolTip::showText(help->globalPos(),
                               QStringLiteral("Show the current FFT step in Hz"));
        } else {
            QToolTip::hideText();
            event->ignore();
        }
        return true;
    }
    return QWidget::event(event);
}

void Meter::paintEvent(QPaintEvent*) {
    if (!m_shown) return;
    const MeterDisplay& d = m_display;
    QPainter p(this);
    p.fillRect(rect(), m_backColor);

    auto drawBar = [&p](const MeterBar& b) {
        if (!b.visible || b.height <= 0 || b.width <= 0) return;
        const QRect r(b.left, b.top, b.width, b.height);
        if (b.crossFill) {
            p.fillRect(r, QBrush(b.colour, Qt::DiagCrossPattern));
        } else {
            p.fillRect(r, b.colour);
        }
    };
    auto drawLine = [&p](const MeterLine& l) {
        if (!l.visible) return;
        p.setPen(QPen(l.colour, l.weight));
        p.drawLine(l.x1, l.y1, l.x2, l.y2);
    };

    p.save();
    p.setClipRect(0, 0, d.FrameWidth(), d.FrameHeight());
    for (const auto& b : d.Bars()) drawBar(b);
    for (const auto& b : d.SideBars()) drawBar(b);
    for (const auto& t : d.Ticks()) drawLine(t);
    for (const auto& s : d.Separators()) drawLine(s);
    drawLine(d.Marker());
    p.setPen(ModeColour);
    p.drawText(ToRect(d.ModeLabelRect()), Qt::AlignCenter, d.ModeCaption());
    p.restore();

    // Bottom strip: axis labels, Info and the two lamps.
    const int top = d.FrameHeight();
    const int strip = d.StripHeight();
    p.setPen(TextColour);
    const QFontMetrics fm(font());
    for (const auto& l : d.Labels()) {
        if (!l.visible) continue;
        const int w = fm.horizontalAdvance(l.text);
        p.drawText(QRect(l.centre - w / 2 - 1, top, w + 2, strip), Qt::AlignCenter, l.text);
    }
    if (!d.Info().isEmpty())
        p.drawText(QRect(0, top, d.FrameWidth(), strip), Qt::AlignCenter, d.Info());
    const int lamp = std::max(3, strip - 6);
    p.setRenderHint(QPainter::Antialiasing);
    for (int i = 0; i < 2; ++i) {
        const int x = i == 0 ? 2 : width() - lamp - 2;
        p.setPen(Qt::NoPen);
        p.setBrush(d.Lamps()[i]);
        p.drawEllipse(x, top + (strip - lamp) / 2, lamp, lamp);
    }
}
