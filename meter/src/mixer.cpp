// Mixer half of module Sound on ALSA's simple mixer of the chosen card.
//
// A line (Source value) is the simple element whose name is one of the line's names. Volume and
// mute act on the element's playback side when it has one (the line as heard), else on its
// capture side. The recording source is an enumerated capture element ("Capture Source",
// "Input Source") whose item names a line, or, on cards without one, the per-line capture
// switches. Each operation opens the mixer and closes it before returning.

#include "sound_p.h"

#include <halvard/sound.h>

#include <alsa/asoundlib.h>

#include <QByteArray>

#include <algorithm>
#include <array>
#include <initializer_list>

namespace halvard::Sound {

namespace {

struct LineNames {
    qint32 type;
    std::initializer_list<const char*> names;
};

// clang-format off
const LineNames Lines[] = {
    {S_ALL,              {"Master", "Speaker", "Headphone"}},
    {S_LIN,              {"Line", "Line In", "Line-In", "Line Capture"}},
    {S_MIC,              {"Mic", "Microphone", "Front Mic", "Rear Mic", "Internal Mic", "Mic In", "Headset Mic"}},
    {S_SYN,              {"Synth", "Synthesizer", "FM", "MIDI"}},
    {S_CDD,              {"CD", "CD Audio"}},
    {S_SPK,              {"PC Speaker", "PC Beep", "Beep"}},
    {S_WAV,              {"PCM", "Wave", "Stereo Mix", "Mix"}},
    {S_AUX,              {"Aux", "Aux In", "Auxiliary"}},
    {WaveInDestination,  {"Capture"}},
};
// clang-format on

constexpr int MaxItems = 16;
constexpr int ItemNameBytes = 72;

const LineNames* NamesOf(qint32 type) {
    for (const auto& l : Lines)
        if (l.type == type) return &l;
    return nullptr;
}

bool Matches(const char* name, const LineNames& line) {
    for (const char* n : line.names)
        if (qstricmp(name, n) == 0) return true;
    return false;
}

// Any line's name, the destination excluded: the candidates of a recording source.
bool IsSourceName(const char* name) {
    for (const auto& l : Lines)
        if (l.type != WaveInDestination && l.type != S_ALL && Matches(name, l)) return true;
    return false;
}

class Mixer {
public:
    Mixer() {
        const QByteArray name = MixerName().toLocal8Bit();
        if (snd_mixer_open(&m_handle, 0) < 0) {
            m_handle = nullptr;
            return;
        }
        if (snd_mixer_attach(m_handle, name.constData()) < 0 ||
            snd_mixer_selem_register(m_handle, nullptr, nullptr) < 0 ||
            snd_mixer_load(m_handle) < 0) {
            snd_mixer_close(m_handle);
            m_handle = nullptr;
        }
    }
    ~Mixer() {
        if (m_handle) snd_mixer_close(m_handle);
    }
    Mixer(const Mixer&) = delete;
    Mixer& operator=(const Mixer&) = delete;

    bool ok() const { return m_handle != nullptr; }

    // The line's element: the earliest name of the line that the card has.
    snd_mixer_elem_t* Line(qint32 type) const {
        const LineNames* line = NamesOf(type);
        if (!m_handle || !line) return nullptr;
        for (const char* n : line->names) {
            for (auto* e = snd_mixer_first_elem(m_handle); e; e = snd_mixer_elem_next(e)) {
                if (snd_mixer_selem_is_active(e) && qstricmp(snd_mixer_selem_get_name(e), n) == 0)
                    return e;
            }
        }
        return nullptr;
    }

    snd_mixer_t* handle() const { return m_handle; }

private:
    snd_mixer_t* m_handle = nullptr;
};

bool PlaybackSide(snd_mixer_elem_t* e) {
    return snd_mixer_selem_has_playback_volume(e) || snd_mixer_selem_has_playback_switch(e);
}

// Selects the line's item of an enumerated capture element; -1 when no such item exists.
int SelectEnumItem(const Mixer& mixer, const LineNames& line, bool select) {
    for (auto* e = snd_mixer_first_elem(mixer.handle()); e; e = snd_mixer_elem_next(e)) {
        if (!snd_mixer_selem_is_enumerated(e) || !snd_mixer_selem_is_enum_capture(e)) continue;
        const int items = std::min(snd_mixer_selem_get_enum_items(e), MaxItems);
        for (int i = 0; i < items; ++i) {
            std::array<char, ItemNameBytes> name{};
            if (snd_mixer_selem_get_enum_item_name(e, unsigned(i), name.size() - 1, name.data()) <
                0)
                continue;
            if (!Matches(name.data(), line)) continue;
            if (!select) return 0;
            // Every channel gets the same item, so exactly one source is recorded.
            bool done = false;
            for (int ch = 0; ch <= SND_MIXER_SCHN_LAST; ++ch) {
                if (snd_mixer_selem_set_enum_item(e, snd_mixer_selem_channel_id_t(ch),
                                                  unsigned(i)) < 0)
                    break;
                done = true;
            }
            return done ? 1 : 0;
        }
    }
    return -1;
}

// Cards without a source selector record every line whose capture switch is on.
bool SelectCaptureSwitch(const Mixer& mixer, qint32 type, bool select) {
    snd_mixer_elem_t* wanted = mixer.Line(type);
    if (!wanted || !snd_mixer_selem_has_capture_switch(wanted)) return false;
    if (!select) return false;
    if (snd_mixer_selem_set_capture_switch_all(wanted, 1) < 0) return false;
    for (auto* e = snd_mixer_first_elem(mixer.handle()); e; e = snd_mixer_elem_next(e)) {
        if (e == wanted || !snd_mixer_selem_has_capture_switch(e)) continue;
        if (IsSourceName(snd_mixer_selem_get_name(e))) snd_mixer_selem_set_capture_switch_all(e, 0);
    }
    return true;
}

} // namespace

bool SelectSource(qint32 type, bool select) {
    if (!SoundReady()) return false;
    const LineNames* line = NamesOf(type);
    Mixer mixer;
    if (!mixer.ok() || !line) return false;
    const int r = SelectEnumItem(mixer, *line, select);
    if (r >= 0) return r == 1;
    return SelectCaptureSwitch(mixer, type, select);
}

void SetVolumeMute(qint32 type, qint32 volume, bool mute) {
    if (!SoundReady()) return;
    Mixer mixer;
    snd_mixer_elem_t* e = mixer.Line(type);
    if (!e) return;
    long lo = 0, hi = 0;
    if (PlaybackSide(e)) {
        if (volume >= 0 && snd_mixer_selem_has_playback_volume(e) &&
            snd_mixer_selem_get_playback_volume_range(e, &lo, &hi) == 0)
            snd_mixer_selem_set_playback_volume_all(e, std::clamp<long>(volume, lo, hi));
        if (snd_mixer_selem_has_playback_switch(e))
            snd_mixer_selem_set_playback_switch_all(e, mute ? 0 : 1);
    } else {
        if (volume >= 0 && snd_mixer_selem_has_capture_volume(e) &&
            snd_mixer_selem_get_capture_volume_range(e, &lo, &hi) == 0)
            snd_mixer_selem_set_capture_volume_all(e, std::clamp<long>(volume, lo, hi));
        if (snd_mixer_selem_has_capture_switch(e))
            snd_mixer_selem_set_capture_switch_all(e, mute ? 0 : 1);
    }
}

VolumeReading ReadVolume(qint32 type) {
    VolumeReading r;
    Mixer mixer;
    snd_mixer_elem_t* e = mixer.Line(type);
    if (!e) return r;
    long value = 0, lo = 0, hi = 0;
    const auto channel = SND_MIXER_SCHN_FRONT_LEFT;
    bool ok = false;
    if (snd_mixer_selem_has_playback_volume(e)) {
        ok = snd_mixer_selem_get_playback_volume_range(e, &lo, &hi) == 0 &&
             snd_mixer_selem_get_playback_volume(e, channel, &value) == 0;
    } else if (snd_mixer_selem_has_capture_volume(e)) {
        ok = snd_mixer_selem_get_capture_volume_range(e, &lo, &hi) == 0 &&
             snd_mixer_selem_get_capture_volume(e, channel, &value) == 0;
    }
    if (ok) {
        r.value = qint32(value);
        r.max = qint32(hi);
        r.min = qint32(lo);
    }
    return r;
}

} // namespace halvard::Sound
