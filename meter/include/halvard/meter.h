#pragma once

// The spectrum meter control: 32 bars of the live audio spectrum (0..3875 Hz in 125 Hz bins), a
// side bar with the mixer peak level, a side bar with the spectrum maximum, a maximum marker,
// a frequency axis and a mode label. It also exposes the capture card's mixer to its host.
// Property get/let pairs are overloads of one name.

#include <halvard/display.h>
#include <halvard/halvard_export.h>
#include <halvard/sound.h>

#include <QColor>
#include <QWidget>

class HALVARD_EXPORT Meter : public QWidget, public halvard::SpectrumSink {
    Q_OBJECT
public:
    explicit Meter(QWidget* parent = nullptr);
    ~Meter() override;

    // Visibility of the whole display; the rest of the state is kept while hidden.
    bool Show() const;
    void Show(bool value);
    QColor BackColor() const;
    void BackColor(const QColor& value);
    // Capture card number (ALSA card n); -1 stops the capture and hides the display.
    qint16 Card() const;
    void Card(qint16 value);
    // Volume of the Source line (-1 when the mixer or the control is missing).
    qint32 Volume() const;
    void Volume(qint32 value);
    bool Run() const;
    qint16 Cards() const;
    void Mute(bool value);
    qint32 VolMax() const;
    qint32 VolMin() const;
    // Remembers the line and makes it the recording source; true when a source was switched.
    bool Source(halvard::Source vData, bool Sel);
    void Refresh();
    void Start(bool value);
    bool Max(qint16 Cls, qint32 Val, bool Reset = false);
    void Min(qint16 Cls, qint32 Val, bool Reset = false);
    void Update(qint32 n, const float* Data, double Maxi, double Mean, double Sigm,
                bool Sign) override;

    // Display state (bars, ticks, labels, scales) as last arranged; read by tests and hosts.
    const halvard::MeterDisplay& Display() const { return m_display; }
    // Spectrum mode 0..3 ("s", "S", "m", "M"); NextMode() acts as a click on the mode label.
    qint16 Mode() const { return m_display.Mode(); }
    void NextMode();

signals:
    // Declared for hosts; never raised.
    void Click();
    void Change();
    // Raised when BackColor changes.
    void propertyChanged(const QString& name);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    bool event(QEvent* event) override;

private:
    void layoutFromSize();

    halvard::MeterDisplay m_display;
    QColor m_backColor{Qt::black};
    bool m_shown = true;
    qint16 m_card = -1;
    halvard::Source m_source = halvard::S_LIN;
    bool m_run = false;
    bool m_peakOk = false;
    qint32 m_peakId = 0;
};
