#pragma once

// Module Sound: capture of 8000 Hz mono unsigned 8-bit audio in 800-byte (100 ms) blocks on
// ALSA, and the mixer operations of the capture card. One capture exists per process. A worker
// thread reads the device; each block is handed to the thread that started the capture as a
// queued call, which computes the spectrum and calls the sink's Update there.

#include <halvard/halvard_export.h>

#include <QString>
#include <QtGlobal>

#include <functional>

class QObject;

namespace halvard {

// Mixer line (component) types; the values are those the host stores in its settings.
enum Source : qint32 {
    S_ALL = 4,    // speakers destination
    S_LIN = 4098, // line in
    S_MIC = 4099, // microphone
    S_SYN = 4100, // synthesizer
    S_CDD = 4101, // compact disc
    S_SPK = 4103, // PC speaker
    S_WAV = 4104, // wave out
    S_AUX = 4105, // auxiliary
};
// The capture destination as a whole (the "Capture" element).
inline constexpr qint32 WaveInDestination = 7;

// Capture format.
inline constexpr int SampleRate = 8000;
inline constexpr int BlockBytes = 800;
inline constexpr int SpectrumBins = 32;

// Identifier of the peak meter computed from the captured samples; ALSA mixers have none.
inline constexpr qint32 SamplePeakControl = 1;

// Receives one spectrum per captured block, on the thread that started the capture.
class HALVARD_EXPORT SpectrumSink {
public:
    virtual ~SpectrumSink();
    virtual void Update(qint32 n, const float* Data, double Maxi, double Mean, double Sigm,
                        bool Sign) = 0;
};

struct VolumeReading {
    qint32 value = -1; // -1: line, control or mixer missing
    qint32 max = -1;
    qint32 min = -1;
};

namespace Sound {

// Opens the capture device for card `device` and starts the block cycle; false when capture is
// already open, no device exists or the device cannot be opened (the ALSA error is shown).
// `window` bounds the capture's lifetime: blocks are delivered on its thread while it lives.
HALVARD_EXPORT bool StartCapture(SpectrumSink* meter, QObject* window, int device);
HALVARD_EXPORT void StopCapture();
// A capture handle is open (between StartCapture and StopCapture).
HALVARD_EXPORT bool IsOpen();
// At least one capture device and a usable FFT.
HALVARD_EXPORT bool SoundReady();
// Number of capture devices: ALSA cards, or at least 1 while a PCM override is set.
HALVARD_EXPORT int DeviceCount();

// Mixer operations on the mixer of the card chosen by SetMixerCard (or the mixer override).
HALVARD_EXPORT void SetMixerCard(int card);
HALVARD_EXPORT bool SelectSource(qint32 type, bool select);
// A negative volume leaves the volume alone.
HALVARD_EXPORT void SetVolumeMute(qint32 type, qint32 volume, bool mute);
HALVARD_EXPORT VolumeReading ReadVolume(qint32 type);
HALVARD_EXPORT qint32 PeakControlId(qint32 type);
HALVARD_EXPORT qint32 ReadPeakLevel(qint32 id);
// A signed peak-meter value as the meter shows it: 0..32767, with -256 and -512 as 0.
HALVARD_EXPORT qint32 MapPeakValue(qint64 v);

// Mode 0..3: power/magnitude, without/with averaging; clears the displayed spectrum.
HALVARD_EXPORT void SetSpectrumMode(int mode);
HALVARD_EXPORT bool Magnitude();
HALVARD_EXPORT bool Averaging();

// Device names. Without an override, card n captures from "plughw:n" (or "default" when a sound
// server holds the card) and its mixer is "hw:n". The environment variables HALVARD_PCM and
// HALVARD_MIXER set the overrides at start; the setters replace them (empty: back to the cards).
HALVARD_EXPORT void SetPcmOverride(const QString& name);
HALVARD_EXPORT QString PcmName(int device);
HALVARD_EXPORT void SetMixerOverride(const QString& name);
HALVARD_EXPORT QString MixerName();

// Where device errors go; the default shows a message box (or logs without a GUI).
HALVARD_EXPORT void SetMessageHandler(std::function<void(const QString&)> handler);
HALVARD_EXPORT QString LastError();

} // namespace Sound
} // namespace halvard
