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
