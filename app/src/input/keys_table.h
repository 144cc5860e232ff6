#pragma once

#include <span>

// What a two-letter command does once its second letter arrives.
enum class CommandKind {
    Mode,         // code: receiver mode
    Filter,       // code: receiver filter
    Agc,          // code: AGC setting
    NoiseBlanker, // code: noise-blanker setting
    NoiseWindow,  // as a plain click on the S-meter label
    NoiseMeasure, // as a Shift-click on the S-meter label
    Scan,         // code: the "SCN_Mode" value the command stores before starting the scan
    ScanNewFile,  // forget the scan file, then as the file scan
    OnAirWindow,  // the "On the air now" window of the broadcast schedule
};

struct CommandRow {
    char prefix;
    char second;
    CommandKind kind;
    int code;
    // False while the feature behind the command is still missing: the command is refused
    // with the beep and left out of the key help.
    bool built;
    const char* help;
};

// Every two-letter command, in the order the key help lists them.
std::span<const CommandRow> Commands();
// The row for a prefix and second letter (both upper case), or nullptr.
const CommandRow* FindCommand(char prefix, char second);
// True for the letters that start a two-letter command.
bool IsCommandPrefix(char c);

// One line of the key help for keys that act on their own.
struct KeyHelpRow {
    const char* section;
    const char* keys;
    const char* help;
};

std::span<const KeyHelpRow> SingleKeys();
