#include "input/keys_table.h"

#include "core/scan_state.h"

#include <array>
#include <cstring>

namespace {

// clang-format off
constexpr std::array commandRows{
    CommandRow{'M', 'R', CommandKind::Mode, 0, true, "mode RTTY"},
    CommandRow{'M', 'W', CommandKind::Mode, 1, true, "mode CW"},
    CommandRow{'M', 'C', CommandKind::Mode, 1, true, "mode CW (as MW)"},
    CommandRow{'M', 'U', CommandKind::Mode, 2, true, "mode USB"},
    CommandRow{'M', 'L', CommandKind::Mode, 3, true, "mode LSB"},
    CommandRow{'M', 'A', CommandKind::Mode, 4, true, "mode AM"},
    CommandRow{'M', 'F', CommandKind::Mode, 5, true, "mode FM"},
    CommandRow{'M', 'X', CommandKind::Mode, 6, true, "mode FAX"},
    CommandRow{'F', 'W', CommandKind::Filter, 0, true, "filter wide"},
    CommandRow{'F', 'I', CommandKind::Filter, 1, true, "filter intermediate"},
    CommandRow{'F', 'N', CommandKind::Filter, 2, true, "filter narrow"},
    CommandRow{'F', 'A', CommandKind::Filter, 3, true, "filter auxiliary"},
    CommandRow{'A', 'S', CommandKind::Agc, 0, true, "AGC slow (A alone toggles the spectrum unless a scan runs)"},
    CommandRow{'A', 'F', CommandKind::Agc, 1, true, "AGC fast"},
    CommandRow{'N', '0', CommandKind::NoiseBlanker, 0, true, "noise blanker off"},
    CommandRow{'N', '1', CommandKind::NoiseBlanker, 1, true, "noise blanker 1"},
    CommandRow{'N', '2', CommandKind::NoiseBlanker, 2, true, "noise blanker 2"},
    CommandRow{'N', 'C', CommandKind::NoiseWindow, 0, true, "show the noise-floor window"},
    CommandRow{'N', 'V', CommandKind::NoiseMeasure, 0, true, "measure the noise floor"},
    CommandRow{'S', '1', CommandKind::Scan, int(ScanCode::Range), true, "range scan: the \"SCN_Range\" block around the frequency"},
    CommandRow{'S', 'R', CommandKind::Scan, int(ScanCode::Marks), true, "mark scan: between the [ and ] marks"},
    CommandRow{'S', 'B', CommandKind::Scan, int(ScanCode::Band), true, "band scan: the current band of the band plan"},
    CommandRow{'S', 'K', CommandKind::Scan, int(ScanCode::Known), true, "known stations of the selected lists"},
    CommandRow{'S', 'D', CommandKind::Scan, int(ScanCode::Database), true, "database records: ask the linked database for each next record"},
    CommandRow{'S', 'C', CommandKind::Scan, int(ScanCode::Channels), true, "channel memories"},
    CommandRow{'S', '*', CommandKind::Scan, int(ScanCode::QuickMemory), true, "quick memories"},
    CommandRow{'S', 'P', CommandKind::Scan, int(ScanCode::Pad), true, "scratch pad"},
    CommandRow{'S', 'N', CommandKind::Scan, int(ScanCode::File), true, "scan file, continuing"},
    CommandRow{'S', 'F', CommandKind::ScanNewFile, int(ScanCode::File), true, "choose a new scan file"},
    CommandRow{'S', 'A', CommandKind::Scan, int(ScanCode::OnAir), true, "on the air now: the frequencies with a scheduled broadcast between the marks, else in the band"},
    CommandRow{'S', 'O', CommandKind::OnAirWindow, 0, true, "the On the air now window (broadcast schedule)"},
};

constexpr std::array singleKeyRows{
    KeyHelpRow{"Communications", "U", "take the receiver under remote control"},
    KeyHelpRow{"Communications", "L", "leave the receiver to its front panel"},
    KeyHelpRow{"Exchange", "Ctrl+C", "copy the frequency (kHz) to the clipboard"},
    KeyHelpRow{"Exchange", "Ctrl+V", "tune to the frequency (kHz) on the clipboard"},
    KeyHelpRow{"Exchange", "Right click", "as Ctrl+V"},
    KeyHelpRow{"Audio", "A", "open or close the spectrum display (while the sound card runs)"},
    KeyHelpRow{"Frequency", "0-9 . ,", "type a frequency in kHz (three decimals at most)"},
    KeyHelpRow{"Frequency", "Enter", "tune to the typed or displayed frequency"},
    KeyHelpRow{"Frequency", "Backspace", "remove the last typed character"},
    KeyHelpRow{"Frequency", "Up Down", "band-plan channel step up / down"},
    KeyHelpRow{"Frequency", "  modifiers", "Shift 1/10, Ctrl 1/5, Alt 1/2, Shift+Ctrl 2, Shift+Alt 5, Ctrl+Alt 10, Ctrl+Alt+Shift 20"},
    KeyHelpRow{"Frequency", "Left Right", "local step down / up; after a typed number: set the local step (Hz)"},
    KeyHelpRow{"Frequency", "Home", "round down to whole kHz"},
    KeyHelpRow{"Frequency", "Shift+Home", "nearest known station"},
    KeyHelpRow{"Frequency", "+ -", "next / previous band"},
    KeyHelpRow{"Frequency", "Shift + -", "next / previous known station"},
    KeyHelpRow{"Frequency", "R", "next region"},
    KeyHelpRow{"Frequency", "( )", "keep the frequency / tune back to it"},
    KeyHelpRow{"Frequency", "Esc", "cancel entry, command and scan"},
    KeyHelpRow{"Frequency", "Digit boxes", "click a digit: Up/Down or wheel change it, 0-9 overwrite, Enter tunes"},
    KeyHelpRow{"Scan", "[ ]", "set the lower / upper mark to the frequency"},
    KeyHelpRow{"Scan", "Ctrl+Alt+Shift+Left/Right", "stepping scan up / down by the local step"},
    KeyHelpRow{"Scan", "Wheel", "local step down / up; with the middle button held: stepping scan"},
    KeyHelpRow{"Scan", "Esc", "stop the scan"},
    KeyHelpRow{"Scan", "< >", "previous / next record of the scan file, else of the scratch pad"},
    KeyHelpRow{"Scratch pad", "Space", "note the frequency in the scratch pad, with an identification"},
    KeyHelpRow{"Database", "BS", "store: send the receiver's frequency and settings to the linked database"},
    KeyHelpRow{"Database", "BL", "search: look the receiver's frequency up in the linked database"},
    KeyHelpRow{"Quick filters", "F0..F9", "recall quick filter 0..9; after a typed bandwidth (Hz): store it, 0 clears, . stores the receiver's filter"},
    KeyHelpRow{"Quick filters", "F*", "the Quick Filters window"},
    KeyHelpRow{"Quick memories", "*0..*9", "recall quick memory 0..9; after a typed frequency (kHz): store it, 0 clears, . stores the receiver's setting"},
    KeyHelpRow{"Quick memories", "** *E", "the quick memory grid / erase all ten"},
    KeyHelpRow{"Channel memory", "CR CC", "recall / store channel n (typed first, 0..199)"},
    KeyHelpRow{"Channel memory", "C* CE", "the channel grid / erase all 200"},
    KeyHelpRow{"Channel memory", "CS CL", "save / load a memory file (.mem)"},
    KeyHelpRow{"Channel memory", "C0..C9", "load Bank0.mem..Bank9.mem"},
    KeyHelpRow{"Receiver memory", "CD", "read the receiver's 200 channels into the channel table"},
    KeyHelpRow{"Receiver memory", "CP", "write the channel table into the receiver; after a number n: the current setting into channel n"},
    KeyHelpRow{"Receiver memory", "CZ", "clear the receiver's memories"},
    KeyHelpRow{"Known lists", "K*", "choose the known-station lists to scan and browse"},
    KeyHelpRow{"Memory grid", "E S D P", "in the number or frequency column: erase, store the receiver, read the receiver's channel, push the table"},
    KeyHelpRow{"Scan", "Page Up", "activity search upwards: stops at the first signal above the noise floor"},
    KeyHelpRow{"Scan", "Page Down", "activity search downwards"},
    KeyHelpRow{"Help", "F1", "this window (Esc closes it)"},
};
// clang-format on

} // namespace

std::span<const CommandRow> Commands() {
    return commandRows;
}

const CommandRow* FindCommand(char prefix, char second) {
    for (const CommandRow& row : commandRows) {
        if (row.prefix == prefix && row.second == second) return &row;
    }
    return nullptr;
}

bool IsCommandPrefix(char c) {
    return c != 0 && std::strchr("MFAN*CSKB", c) != nullptr;
}

std::span<const KeyHelpRow> SingleKeys() {
    return singleKeyRows;
}
