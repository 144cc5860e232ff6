#pragma once

// What the update timer is driving: idle, one of the two S-meter procedures, or a scan.
enum class ScanState {
    Idle = 0,
    NoiseMeasure = 1, // noise-floor survey
    ActiveSearch = 2, // activity search above the noise floor
    Band = 3,
    Range = 4,
    Known = 5,
    Marks = 6,
    Database = 7,
    QuickMemory = 8,
    Channels = 9,
    Pad = 10,
    File = 11,
    Stepping = 12,
    OnAir = 13, // the frequencies with a broadcast on the air (schedule/)
};

// The two procedures that pace themselves from S-meter replies.
constexpr bool IsSMeterProcedure(ScanState s) {
    return s == ScanState::NoiseMeasure || s == ScanState::ActiveSearch;
}
// Scans stepped by the update timer every "SCN_Delay" ticks.
constexpr bool IsTimedScan(ScanState s) {
    return static_cast<int>(s) >= static_cast<int>(ScanState::Band);
}

// "SCN_Mode": the scan the Scan button repeats, as the scan commands, the memory windows and the
// options dialog store it. The options dialog offers Range .. File, one button each.
enum class ScanCode {
    Range = 0,
    Marks = 1,
    Band = 2,
    Known = 3,
    Database = 4,
    Channels = 5,
    QuickMemory = 6,
    Pad = 7,
    File = 8,
    OnAir = 9, // the on-air scan of the broadcast schedule (schedule/)
    Stepping = 255,
};
constexpr int FirstChosenScan = static_cast<int>(ScanCode::Range);
constexpr int LastChosenScan = static_cast<int>(ScanCode::File);

// The scan a stored "SCN_Mode" starts; Idle for a value that names none.
constexpr ScanState ScanOfCode(int code) {
    switch (code) {
    case int(ScanCode::Range):
        return ScanState::Range;
    case int(ScanCode::Marks):
        return ScanState::Marks;
    case int(ScanCode::Band):
        return ScanState::Band;
    case int(ScanCode::Known):
        return ScanState::Known;
    case int(ScanCode::Database):
        return ScanState::Database;
    case int(ScanCode::Channels):
        return ScanState::Channels;
    case int(ScanCode::QuickMemory):
        return ScanState::QuickMemory;
    case int(ScanCode::Pad):
        return ScanState::Pad;
    case int(ScanCode::File):
        return ScanState::File;
    case int(ScanCode::OnAir):
        return ScanState::OnAir;
    case int(ScanCode::Stepping):
        return ScanState::Stepping;
    default:
        return ScanState::Idle;
    }
}
