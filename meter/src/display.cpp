#include <halvard/display.h>

#include <algorithm>
#include <cmath>
#include <limits>

namespace halvard {

namespace {

// Design sizes in twips.
constexpr int FlatBarTwips = 12;
constexpr int TickTwipsPerWeight = 40;
constexpr int BinHz = 125;

const QColor Red(255, 0, 0);
const QColor Green(0, 255, 0);
const QColor White(255, 255, 255);

// clang-format off
const QColor Colours[3][MeterDisplay::ClassCount] = {
    {QColor(0, 255, 255),   QColor(255, 255, 16),  QColor(255, 0, 255)},
    {QColor(128, 255, 255), QColor(255, 255, 128), QColor(255, 128, 255)},
    {QColor(192, 255, 255), QColor(255, 255, 192), QColor(255, 192, 255)},
};
// clang-format on

// Rounds to the nearest integer, saturating instead of overflowing; NaN counts as 0.
qint32 RoundToInt(double v) {
    if (std::isnan(v)) return 0;
    v = std::nearbyint(v);
    if (v >= double(std::numeric_limits<qint32>::max())) return std::numeric_limits<qint32>::max();
    if (v <= double(std::numeric_limits<qint32>::min())) return std::numeric_limits<qint32>::min();
    return qint32(v);
}

qint32 TruncToInt(double v) {
    if (std::isnan(v)) return 0;
    return RoundToInt(std::trunc(v));
}

// A number as formatted with a leading blank for its sign.
QString Signed(int v) {
    return v < 0 ? QString::number(v) : QLatin1Char(' ') + QString::number(v);
}

} // namespace

MeterDisplay::MeterDisplay() {
    m_lamps.fill(Red);
    m_marker.colour = Red;
    for (auto& s : m_separators) s.colour = White;
    InitProperties();
}

void MeterDisplay::SetTwipsPerPixel(double value) {
    if (value > 0) m_twipsPerPixel = value;
}

int MeterDisplay::Twips(int twips) const {
    return std::max(1, int(std::lround(twips / m_twipsPerPixel)));
}

bool MeterDisplay::Narrow() const {
    return m_frameWidth * m_twipsPerPixel <= double(NarrowTwips);
}

void MeterDisplay::SetModeLabelSize(int width, int height) {
    m_modeWidth = std::max(1, width);
    m_modeHeight = std::max(1, height);
}

std::array<int, 4> MeterDisplay::ModeLabelRect() const {
    return {m_frameWidth - 2 * m_modeWidth, 0, m_modeWidth, m_modeHeight};
}

QString MeterDisplay::ModeCaption() const {
    static const char* const captions[] = {"s", "S", "m", "M"};
    return QString::fromLatin1(captions[m_mode & 3]);
}

void MeterDisplay::SetMode(int mode) {
    m_mode = ((mode % 4) + 4) % 4;
}

int MeterDisplay::NextMode() {
    SetMode(m_mode + 1);
    return m_mode;
}

void MeterDisplay::InitProperties() {
    for (auto& b : m_bars) b.visible = false;
    for (auto& s : m_sides) s.visible = false;
    for (auto& c : m_classes) {
        c.PrevMax = 1;
        c.MaxVal = 1;
        c.MinVal = 0;
    }
}

void MeterDisplay::Rescale(int cls) {
    DisplayClass& c = m_classes.at(cls);
    if (c.MaxVal == 0) c.MaxVal = 1;
    // A range of zero (or an inverted one) is never a divisor.
    const double range = double(c.MaxVal) - double(c.MinVal);
    c.Scale = float(m_plotHeight / (range > 0 ? range : 1.0));
}

bool MeterDisplay::Max(int cls, qint32 val, bool reset) {
    DisplayClass& c = m_classes.at(cls);
    if (!(val > c.MaxVal || reset)) return false;
    const qint32 old = c.MaxVal;
    c.PrevMax = old;
    c.MaxVal = val;
    Rescale(cls);
    if (cls == 1) {
        m_counter = 0;
        int y;
        if (old < val) {
            y = RoundToInt(m_frameHeight - double(c.Scale) * old);
            m_marker.colour = Red;
        } else {
            y = m_plotOffset;
            m_marker.colour = Green;
        }
        m_marker.x1 = m_bars[0].left;
        m_marker.x2 = m_frameWidth;
        m_marker.y1 = m_marker.y2 = y;
    }
    return true;
}

void MeterDisplay::Min(int cls, qint32 val, bool reset) {
    DisplayClass& c = m_classes.at(cls);
    if (val < c.MinVal || reset) {
        c.MinVal = val;
        Rescale(cls);
    }
}

int MeterDisplay::ColourZone(int h) const {
    if (h > 2 * m_plotHeight / 3) return 2;
    if (h > m_plotHeight / 3) return 1;
    return 0;
}

QColor MeterDisplay::ColourTable(int zone, int cls) {
    return Colours[std::clamp(zone, 0, 2)][std::clamp(cls, 0, ClassCount - 1)];
}

int MeterDisplay::BarHeight(double value, float scale) const {
    // Bars taller than the frame are clipped to it.
    return std::clamp(RoundToInt(value * double(scale)), 0, m_frameHeight);
}

void MeterDisplay::PlaceBar(MeterBar& bar, int h, const QColor& colour) {
    bar.colour = colour;
    bar.top = m_frameHeight - h;
    bar.height = h;
    bar.crossFill = false;
    bar.visible = true;
}

void MeterDisplay::Update(const float* data, double maxi, double mean, std::optional<qint32> peak,
                          bool sign) {
    for (auto& b : m_bars) b.visible = false;
    for (auto& s : m_sides) s.visible = false;

    const qint32 top = RoundToInt(maxi);
    Max(1, top);
    Max(2, top);

    // A level that fell a hundredfold (or tenfold) rescales at once instead of decaying.
    for (int factor : {100, 10}) {
        if (mean * factor < m_lastMean) {
            Max(0, 1, true);
            Max(1, m_classes[1].MaxVal / factor, true);
            Max(2, TruncToInt(maxi / factor), true);
            break;
        }
    }

    m_lastMean = mean;
    if (++m_counter > DecayUpdates) {
        Max(1, TruncToInt(m_classes[1].MaxVal * DecayFactor), true);
        Max(2, TruncToInt(maxi * DecayFactor), true);
    }

    for (int i = FirstBar; i < BarCount; ++i) {
        const int h = BarHeight(data[i], m_classes[1].Scale);
        PlaceBar(m_bars[i], h, ColourTable(ColourZone(h), 1));
    }

    const int hm = BarHeight(maxi, m_classes[2].Scale);
    PlaceBar(m_sides[1], hm, ColourTable(ColourZone(hm), 2));

    if (peak) {
        Max(0, *peak);
        const int hp = BarHeight(*peak, m_classes[0].Scale);
        PlaceBar(m_sides[0], hp, ColourTable(ColourZone(hp), 0));
    }

    if (sign != m_lastSign) {
        m_lastSign = sign;
        m_lamps[1] = sign ? Green : Red;
    }
}

void MeterDisplay::Arrange(bool flat) {
    m_plotOffset = m_frameHeight / 8;
    m_plotHeight = m_frameHeight - m_plotOffset;

    if (flat) {
        for (auto& b : m_bars) b.visible = false;
        for (auto& t : m_ticks) t.visible = false;
        for (auto& l : m_labels) l.visible = false;
    }

    const int flatHeight = Twips(FlatBarTwips);
    for (int i = FirstBar; i < BarCount; ++i) {
        MeterBar& b = m_bars[i];
        b.height = flat ? flatHeight : (i + 2) * m_frameHeight / (BarCount + 2);
        b.top = m_frameHeight - b.height;
        b.crossFill = false;
        if (!flat) b.visible = true;
    }
    for (int s = 0; s < 2; ++s) {
        MeterBar& b = m_sides[s];
        b.height = flat ? flatHeight : (s == 0 ? m_frameHeight / (BarCount + 2) : m_frameHeight);
        b.top = m_frameHeight - b.height;
        if (!flat) b.visible = true;
    }

    m_marker.x1 = m_bars[0].left;
    m_marker.x2 = m_frameWidth;
    m_marker.y1 = m_marker.y2 = flat ? m_plotOffset : m_frameHeight / 2;
    m_marker.visible = true;

    m_tickStep = 1;
    if (Narrow()) {
        if (BarCount > 16) m_tickStep = 4;
        m_info = Signed(BarCount) + QStringLiteral(" *") + Signed(BinHz) + QStringLiteral("Hz");
    }

    // Ticks and labels from an earlier, wider layout would stay behind at stale positions.
    for (auto& t : m_ticks) t.visible = false;
    for (auto& l : m_labels) l.visible = false;
    int k = 0;
    for (int i = 1; i < BarCount; i += m_tickStep) {
        int weight = 1;
        QColor colour(255, 128, 128);
        const bool major = i % 10 == 0;
        const bool middle = i % 5 == 0 && !major;
        if (middle) {
            weight = 2;
            colour = QColor(255, 0, 240);
        } else if (major) {
            weight = 3;
            colour = QColor(15, 128, 240);
        }
        if ((middle || major) && k < LabelCount) {
            AxisLabel& l = m_labels[k++];
            l.text = QString::number(i * BinHz);
            l.centre = m_bars[i].left + m_bars[i].width / 2;
            // Shown in both layouts: a running meter keeps its frequency axis.
            l.visible = true;
        }
        MeterLine& t = m_ticks[i];
        t.x1 = t.x2 = m_bars[i].left;
        t.y1 = m_frameHeight;
        t.y2 = m_frameHeight - Twips(weight * TickTwipsPerWeight);
        t.weight = weight;
        t.colour = colour;
        t.visible = true;
    }

    for (int c = 0; c < ClassCount; ++c) Rescale(c);
    if (!flat) SetColours();
}

void MeterDisplay::SetColours() {
    m_marker.colour = Red;
    for (auto& b : m_bars) b.colour = ColourTable(ColourZone(b.height), 1);
    m_sides[0].colour = ColourTable(ColourZone(m_sides[0].height), 0);
    m_sides[1].colour = ColourTable(ColourZone(m_sides[1].height), 2);
}

void MeterDisplay::ArrangeSides(bool peakOk) {
    MeterBar& peak = m_sides[0];
    MeterLine& sep0 = m_separators[0];
    if (peakOk) {
        sep0.visible = true;
        sep0.x1 = sep0.x2 = m_bars[0].left;
        sep0.y1 = m_frameHeight;
        sep0.y2 = 0;
        peak.crossFill = false;
        peak.height = Twips(FlatBarTwips);
        peak.top = m_frameHeight - peak.height;
    } else {
        peak.crossFill = true;
        peak.top = 0;
        peak.height = m_frameHeight;
        peak.visible = true;
        sep0.visible = false;
    }
    MeterLine& sep1 = m_separators[1];
    sep1.visible = true;
    sep1.x1 = sep1.x2 = m_frameWidth - peak.width;
    sep1.y1 = m_frameHeight;
    sep1.y2 = 0;
}

void MeterDisplay::Resize(int width, int height, int stripHeight) {
    m_stripHeight = std::max(0, stripHeight);
    m_frameWidth = std::max(0, width);
    m_frameHeight = std::max(0, height - m_stripHeight);
    m_barWidth = int(double(m_frameWidth) / (BarCount + 2) + 0.5);
    for (int i = 0; i < BarCount; ++i) {
        m_bars[i].left = (i + 1) * m_barWidth;
        m_bars[i].width = m_barWidth;
    }
    m_sides[0].left = 0;
    m_sides[1].left = (BarCount + 1) * m_barWidth;
    for (auto& s : m_sides) s.width = m_barWidth;
    m_info.clear();
    Arrange(false);
}

} // namespace halvard
