#pragma once

// Shared between the capture and the mixer halves of module Sound.

#include <QString>

namespace halvard::Sound::detail {

// Index of the n-th ALSA card, or -1.
int CardIndex(int n);
// Number of ALSA cards.
int CardCount();
// The mixer card chosen by SetMixerCard.
int MixerCard();
// Sample peak of the last block handed to the display, 0..32767.
qint32 LastSamplePeak();

} // namespace halvard::Sound::detail
