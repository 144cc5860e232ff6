#include <halvard/sound.h>

namespace halvard {
SpectrumSink::~SpectrumSink() = default;
namespace Sound {
bool StartCapture(SpectrumSink*, QObject*, int) {
    return false;
}
void StopCapture() {}
bool IsOpen() {
    return false;
}
bool SoundReady() {
    return false;
}
int DeviceCount() {
    return 0;
}
void SetMixerCard(int) {}
bool SelectSource(qint32, bool) {
    return false;
}
void SetVolumeMute(qint32, qint32, bool) {}
VolumeReading ReadVolume(qint32) {
    return {};
}
qint32 PeakControlId(qint32) {
    return -1;
}
qint32 ReadPeakLevel(qint32) {
    return -1;
}
qint32 MapPeakValue(qint64) {
    return -1;
}
void SetSpectrumMode(int) {}
bool Magnitude() {
    return false;
}
bool Averaging() {
    return false;
}
void SetPcmOverride(const QString&) {}
QString PcmName(int) {
    return {};
}
void SetMixerOverride(const QString&) {}
QString MixerName() {
    return {};
}
void SetMessageHandler(std::function<void(const QString&)>) {}
QString LastError() {
    return {};
}
} // namespace Sound
} // namespace halvard
