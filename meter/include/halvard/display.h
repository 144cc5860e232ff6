#pragma once

// The meter's display state and arithmetic without a window: the three display classes with
// their scales, the colour zones, the bars, ticks, labels, marker, separators and lamps as
// positioned rectangles and lines (pixels, origin at the top left of the plot frame). The
// Meter widget paints what this holds.

#include <halvard/halvard_export.h>

#include <QColor>
#include <QString>
#include <QtGlobal>

#include <array>
#include <optional>

namespace halvard {

struct MeterBar {
    bool visible = false;
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;
    QColor colour;
    bool crossFill = false; // diagonal cross instead of a solid fill
};

struct MeterLine {
    bool visible = false;
    int x1 = 0;
    int y1 = 0;
    int x2 = 0;
    int y2 = 0;
    int weight = 1;
    QColor colour;
};

struct AxisLabel {
    bool visible = false;
    QString text;
    int centre = 0; // x of the label's centre
};

// One display class: 0 mixer peak level, 1 spectrum bars, 2 maximum side bar.
struct DisplayClass {
    qint32 MaxVal = 1;
    qint32 PrevMax = 1;
    qint32 MinVal = 0;
    float Scale = 0.0f;
};

class HALVARD_EXPORT MeterDisplay {
public:
    static constexpr int BarCount = 32;
    static constexpr int FirstBar = 0;
    static constexpr int ClassCount = 3;
    static constexpr int LabelCount = 6;
    // Frames at most this wide (in twips) show every fourth tick and the bin width.
    static constexpr int NarrowTwips = 2600;
    static constexpr double DecayFactor = 0.707;
    static constexpr int DecayUpdates = 20;

    MeterDisplay();

    // Twips per pixel of the surface (15 at 96 dpi); design sizes are given in twips.
    void SetTwipsPerPixel(double value);
    // Lays the elements out for a control of this size whose bottom strip (axis labels, Info,
    // lamps) is `stripHeight` high, then arranges the ramp.
    void Resize(int width, int height, int stripHeight);
    void SetModeLabelSize(int width, int height);

    void InitProperties();
    bool Max(int cls, qint32 val, bool reset = false);
    void Min(int cls, qint32 val, bool reset = false);
    void Rescale(int cls);
    int ColourZone(int h) const;
    static QColor ColourTable(int zone, int cls);
    // One spectrum of BarCount values; `peak` is the mixer peak level when it is in use.
    void Update(const float* data, double maxi, double mean, std::optional<qint32> peak, bool sign);
    void Arrange(bool flat);
    void SetColours();
    void ArrangeSides(bool peakOk);
    // Advances the mode 0..3 and returns it.
    int NextMode();
    void SetMode(int mode);

    int Mode() const { return m_mode; }
    QString ModeCaption() const;
    const DisplayClass& Class(int cls) const { return m_classes.at(cls); }
    int Counter() const { return m_counter; }
    double LastMean() const { return m_lastMean; }
    int FrameWidth() const { return m_frameWidth; }
    int FrameHeight() const { return m_frameHeight; }
    int StripHeight() const { return m_stripHeight; }
    int BarWidth() const { return m_barWidth; }
    int PlotOffset() const { return m_plotOffset; }
    int PlotHeight() const { return m_plotHeight; }
    bool Narrow() const;
    int TickStep() const { return m_tickStep; }
    const std::array<MeterBar, BarCount>& Bars() const { return m_bars; }
    const std::array<MeterBar, 2>& SideBars() const { return m_sides; }
    const std::array<MeterLine, BarCount>& Ticks() const { return m_ticks; }
    const std::array<AxisLabel, LabelCount>& Labels() const { return m_labels; }
    const std::array<MeterLine, 2>& Separators() const { return m_separators; }
    const MeterLine& Marker() const { return m_marker; }
    const std::array<QColor, 2>& Lamps() const { return m_lamps; }
    const QString& Info() const { return m_info; }
    // The mode label's rectangle: left, top, width, height.
    std::array<int, 4> ModeLabelRect() const;

private:
    int Twips(int twips) const;
    int BarHeight(double value, float scale) const;
    void PlaceBar(MeterBar& bar, int h, const QColor& colour);

    double m_twipsPerPixel = 15.0;
    int m_frameWidth = 0;
    int m_frameHeight = 0;
    int m_stripHeight = 0;
    int m_barWidth = 0;
    int m_plotOffset = 0;
    int m_plotHeight = 0;
    int m_tickStep = 1;
    int m_modeWidth = 8;
    int m_modeHeight = 12;
    int m_mode = 0;
    int m_counter = 0;
    double m_lastMean = 0.0;
    bool m_lastSign = false;
    std::array<DisplayClass, ClassCount> m_classes{};
    std::array<MeterBar, BarCount> m_bars{};
    std::array<MeterBar, 2> m_sides{};
    std::array<MeterLine, BarCount> m_ticks{};
    std::array<AxisLabel, LabelCount> m_labels{};
    std::array<MeterLine, 2> m_separators{};
    MeterLine m_marker;
    std::array<QColor, 2> m_lamps;
    QString m_info;
};

} // namespace halvard
