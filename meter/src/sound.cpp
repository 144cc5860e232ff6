#include "sound_p.h"

#include <halvard/fftapi.h>
#include <halvard/sound.h>

#include <alsa/asoundlib.h>

#include <QApplication>
#include <QMessageBox>
#include <QObject>
#include <QPointer>
#include <QtDebug>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <cstdlib>
#include <mutex>
#include <optional>
#include <thread>

namespace halvard {

SpectrumSink::~SpectrumSink() = default;

namespace Sound {

namespace {

using Clock = std::chrono::steady_clock;
constexpr auto BlockTime = std::chrono::milliseconds(1000 * BlockBytes / SampleRate);
// The device's ring holds a few blocks so that a busy event loop loses nothing.
constexpr snd_pcm_uframes_t RingFrames = 4 * BlockBytes;
constexpr int PollMs = 50;
constexpr std::uint8_t Silence = 128;

// Offsets of the two 64-sample windows taken from each block, 50 ms apart.
constexpr int WindowOffsets[2] = {0, 400};

struct Capture {
    // Device and worker; touched by the owning thread only while the worker is stopped.
    snd_pcm_t* pcm = nullptr;
    std::thread worker;
    QObject* receiver = nullptr;
    QPointer<QObject> window;
    QMetaObject::Connection windowGone;
    SpectrumSink* sink = nullptr;
    quint64 generation = 0;

    // The one block buffer. The worker fills it while `queued`; the owning thread reads it
    // after the worker has cleared `queued` and handed it over.
    std::mutex mutex;
    std::condition_variable wake;
    bool queued = false;
    std::atomic<bool> stop{false};
    std::array<std::uint8_t, BlockBytes> buffer{};
    int recorded = 0;
    qint32 blockPeak = 0;

    // State of the owning (user-interface) thread.
    bool running = false;
    bool nspReady = false;
    bool magnitude = false;
    bool averaging = false;
    qint32 lastPeak = 0;
    FFTApi fft;
    FFTApi::Blocks blocks{};
    FFTApi::Spectrum spectrum{};

    std::optional<QString> pcmOverride;
    std::optional<QString> mixerOverride;
    int mixerCard = 0;
    std::function<void(const QString&)> handler;
    QString lastError;
    bool fftWarned = false;

    ~Capture();
};

Capture& State() {
    static Capture capture;
    return capture;
}

void ShowError(const QString& text) {
    Capture& c = State();
    c.lastError = text;
    if (c.handler) {
        c.handler(text);
        return;
    }
    const QString platform = QGuiApplication::platformName();
    auto* app = qobject_cast<QApplication*>(QCoreApplication::instance());
    if (app && platform != QLatin1String("offscreen") && platform != QLatin1String("minimal")) {
        QMessageBox::warning(nullptr, QGuiApplication::applicationDisplayName(), text);
    } else {
        qWarning().noquote() << text;
    }
}

qint32 PeakOf(const std::uint8_t* data, int count) {
    int peak = 0;
    for (int i = 0; i < count; ++i) peak = std::max(peak, std::abs(int(data[i]) - Silence));
    // 128 steps of 8-bit audio on the 0..32767 scale of a mixer peak meter.
    return std::min<qint32>(32767, peak * 256);
}

void OnData(quint64 generation);

// Reads blocks until told to stop. Each filled block is handed to the owning thread, no
// earlier than its place in real time, so sources that are not paced (files) behave like a
// sound card.
void Work(snd_pcm_t* pcm, QObject* receiver, quint64 generation) {
    Capture& c = State();
    auto due = Clock::now() + BlockTime;
    for (;;) {
        {
            std::unique_lock lock(c.mutex);
            c.wake.wait(lock, [&] { return c.queued || c.stop.load(); });
            if (c.stop) return;
        }
        int got = 0;
        while (got < BlockBytes && !c.stop) {
            const snd_pcm_sframes_t r =
                snd_pcm_readi(pcm, c.buffer.data() + got, snd_pcm_uframes_t(BlockBytes - got));
            if (r > 0) {
                got += int(r);
            } else if (r == -EAGAIN) {
                snd_pcm_wait(pcm, PollMs);
            } else if ((r == -EPIPE || r == -ESTRPIPE || r == -EINTR) &&
                       snd_pcm_recover(pcm, int(r), 1) >= 0) {
                // Overrun or resume: carry on with fresh samples.
            } else {
                // A device that failed or went away: hand over what there is; an empty
                // block ends the cycle.
                break;
            }
        }
        if (c.stop) return;
        std::fill(c.buffer.begin() + got, c.buffer.end(), Silence);
        const qint32 peak = PeakOf(c.buffer.data(), got);
        {
            std::unique_lock lock(c.mutex);
            if (c.wake.wait_until(lock, due, [&] { return c.stop.load(); })) return;
            c.recorded = got;
            c.blockPeak = peak;
            c.queued = false;
        }
        const auto now = Clock::now();
        due = (now > due + 2 * BlockTime) ? now + BlockTime : due + BlockTime;
        QMetaObject::invokeMethod(
            receiver, [generation] { OnData(generation); }, Qt::QueuedConnection);
    }
}

void Requeue() {
    Capture& c = State();
    {
        std::lock_guard lock(c.mutex);
        c.queued = true;
    }
    c.wake.notify_all();
}

// One captured block on the owning thread: two windows of it become one spectrum.
void OnData(quint64 generation) {
    Capture& c = State();
    if (generation != c.generation || !c.pcm) return;
    int recorded;
    {
        std::lock_guard lock(c.mutex);
        if (c.queued) return;
        recorded = c.recorded;
        c.lastPeak = c.blockPeak;
    }
    // An empty block ends the cycle: the buffer is not queued again.
    if (!c.nspReady || recorded == 0) return;
    for (int b = 0; b < 2; ++b) {
        for (int i = 0; i < FFTApi::N; ++i)
            c.blocks[b][i] = float(c.buffer[WindowOffsets[b] + i]) - float(Silence);
    }
    double maximum = 0, mean = 0, deviation = 0;
    int status = 0;
    if (c.running)
        status = c.fft.ComputeSpectrum(c.blocks, c.spectrum, maximum, mean, deviation, c.magnitude,
                                       c.averaging);
    // The sink may stop (or restart) the capture from inside Update.
    if (c.running && c.sink)
        c.sink->Update(SpectrumBins, c.spectrum.data(), maximum, mean, deviation, status != 0);
    if (c.running && generation == c.generation) Requeue();
}

Capture::~Capture() {
    if (worker.joinable()) {
        stop = true;
        wake.notify_all();
        worker.join();
    }
    if (pcm) snd_pcm_close(pcm);
    pcm = nullptr;
}

QString AlsaError(const QString& device, int err) {
    return QStringLiteral("Sound input \"%1\" cannot be opened: %2")
        .arg(device, QString::fromLocal8Bit(snd_strerror(err)));
}

// Opens and configures one PCM for 8000 Hz mono unsigned 8-bit capture.
int OpenPcm(const QString& name, snd_pcm_t** out) {
    snd_pcm_t* pcm = nullptr;
    int err = snd_pcm_open(&pcm, name.toLocal8Bit().constData(), SND_PCM_STREAM_CAPTURE,
                           SND_PCM_NONBLOCK);
    if (err < 0) return err;
    snd_pcm_hw_params_t* hw = nullptr;
    snd_pcm_hw_params_alloca(&hw);
    snd_pcm_uframes_t period = BlockBytes;
    snd_pcm_uframes_t ring = RingFrames;
    int dir = 0;
    if ((err = snd_pcm_hw_params_any(pcm, hw)) < 0 ||
        (err = snd_pcm_hw_params_set_access(pcm, hw, SND_PCM_ACCESS_RW_INTERLEAVED)) < 0 ||
        (err = snd_pcm_hw_params_set_format(pcm, hw, SND_PCM_FORMAT_U8)) < 0 ||
        (err = snd_pcm_hw_params_set_channels(pcm, hw, 1)) < 0 ||
        (err = snd_pcm_hw_params_set_rate(pcm, hw, SampleRate, 0)) < 0 ||
        (err = snd_pcm_hw_params_set_period_size_near(pcm, hw, &period, &dir)) < 0 ||
        (err = snd_pcm_hw_params_set_buffer_size_near(pcm, hw, &ring)) < 0 ||
        (err = snd_pcm_hw_params(pcm, hw)) < 0 || (err = snd_pcm_prepare(pcm)) < 0) {
        snd_pcm_close(pcm);
        return err;
    }
    *out = pcm;
    return 0;
}

} // namespace

namespace detail {

int CardIndex(int n) {
    int card = -1;
    for (int i = 0; snd_card_next(&card) == 0 && card >= 0; ++i) {
        if (i == n) return card;
    }
    return -1;
}

int CardCount() {
    int count = 0;
    int card = -1;
    while (snd_card_next(&card) == 0 && card >= 0) ++count;
    return count;
}

int MixerCard() {
    return State().mixerCard;
}

qint32 LastSamplePeak() {
    return State().lastPeak;
}

} // namespace detail

void SetPcmOverride(const QString& name) {
    State().pcmOverride = name;
}

const QString& PcmOverride() {
    Capture& c = State();
    if (!c.pcmOverride) c.pcmOverride = qEnvironmentVariable("HALVARD_PCM");
    return *c.pcmOverride;
}

QString PcmName(int device) {
    if (!PcmOverride().isEmpty()) return PcmOverride();
    const int index = detail::CardIndex(device);
    return QStringLiteral("plughw:%1").arg(index >= 0 ? index : device);
}

void SetMixerOverride(const QString& name) {
    State().mixerOverride = name;
}

QString MixerName() {
    Capture& c = State();
    if (!c.mixerOverride) c.mixerOverride = qEnvironmentVariable("HALVARD_MIXER");
    if (!c.mixerOverride->isEmpty()) return *c.mixerOverride;
    const int card = std::max(0, c.mixerCard);
    const int index = detail::CardIndex(card);
    return QStringLiteral("hw:%1").arg(index >= 0 ? index : card);
}

void SetMixerCard(int card) {
    State().mixerCard = card;
}

void SetMessageHandler(std::function<void(const QString&)> handler) {
    State().handler = std::move(handler);
}

QString LastError() {
    return State().lastError;
}

int DeviceCount() {
    const int cards = detail::CardCount();
    return PcmOverride().isEmpty() ? cards : std::max(cards, 1);
}

bool SoundReady() {
    if (DeviceCount() == 0) return false;
    if (!FFTApi::NspAvailable()) {
        Capture& c = State();
        if (!c.fftWarned) {
            c.fftWarned = true;
            ShowError(QStringLiteral("The FFTW library cannot plan the spectrum transform"));
        }
        return false;
    }
    return true;
}

bool IsOpen() {
    return State().pcm != nullptr;
}

bool StartCapture(SpectrumSink* meter, QObject* window, int device) {
    Capture& c = State();
    if (!SoundReady() || c.pcm) return false;
    if (FFTApi::NspAvailable()) c.nspReady = c.fft.FftSetup(FFTApi::N, true);
    c.sink = meter;

    const QString name = PcmName(device);
    snd_pcm_t* pcm = nullptr;
    int err = OpenPcm(name, &pcm);
    if (err == -EBUSY && name.startsWith(QLatin1String("plughw:"))) {
        // A sound server holds the card: capture through it instead.
        if (OpenPcm(QStringLiteral("default"), &pcm) == 0) err = 0;
    }
    if (err < 0) {
        ShowError(AlsaError(name, err));
        return false;
    }

    c.pcm = pcm;
    c.window = window;
    c.receiver = new QObject;
    if (window)
        c.windowGone = QObject::connect(window, &QObject::destroyed, [] {
            State().sink = nullptr;
            StopCapture();
        });
    c.lastPeak = 0;
    c.recorded = 0;
    c.queued = true;
    c.stop = false;
    ++c.generation;
    if ((err = snd_pcm_start(pcm)) < 0) ShowError(AlsaError(name, err));
    c.worker = std::thread(Work, pcm, c.receiver, c.generation);
    c.running = true;
    return true;
}

void StopCapture() {
    Capture& c = State();
    if (!c.pcm) return;
    c.running = false;
    {
        std::lock_guard lock(c.mutex);
        c.stop = true;
    }
    c.wake.notify_all();
    if (c.worker.joinable()) c.worker.join();
    snd_pcm_drop(c.pcm);
    snd_pcm_close(c.pcm);
    c.pcm = nullptr;
    QObject::disconnect(c.windowGone);
    // Deleting the receiver drops any block still waiting in the event queue.
    delete c.receiver;
    c.receiver = nullptr;
    c.window = nullptr;
    c.sink = nullptr;
    {
        std::lock_guard lock(c.mutex);
        c.queued = false;
    }
    if (c.nspReady) c.fft.FftSetup(FFTApi::N, false);
}

void SetSpectrumMode(int mode) {
    Capture& c = State();
    c.magnitude = mode != 0 && mode != 1;
    c.averaging = mode != 0 && mode != 2;
    c.spectrum.fill(0.0f);
}

bool Magnitude() {
    return State().magnitude;
}
bool Averaging() {
    return State().averaging;
}

qint32 MapPeakValue(qint64 v) {
    if (v == -256 || v == -512) return 0;
    if (v >= 0) return qint32(std::min<qint64>(v, std::numeric_limits<qint32>::max()));
    return qint32(std::max<qint64>(0, 32768 - (-v)));
}

qint32 PeakControlId(qint32 type) {
    Q_UNUSED(type);
    // ALSA's simple mixer has no peak meters; the captured samples serve as one.
    return IsOpen() ? SamplePeakControl : -1;
}

qint32 ReadPeakLevel(qint32 id) {
    if (!IsOpen() || id == -1) return -1;
    if (id != SamplePeakControl) return -1;
    return MapPeakValue(detail::LastSamplePeak());
}

} // namespace Sound
} // namespace halvard
