#pragma once

// Import layouts: which field of a list line holds the frequency, the mode and the comment,
// and how wide each field is. The current layout lives in the settings ("IMP_..."); named
// layouts are kept one a line in the profile file ("import.cnf"):
//
//   NAME|F(0)|M(0)|C(0)|Z(12)
//
// one token per field in field order: a code letter (F frequency, M mode, C comment, Z comment
// on a new line, anything else unused) and the field's width in parentheses (0: the field ends
// at the next space).

#include <QString>
#include <QStringList>
#include <QStringView>

#include <array>

class Settings;

inline constexpr int ImportFieldCount = 7;

// Comment use of a field.
enum CommentUse { NotComment = 0, CommentSpace = 1, CommentNewLine = 2 };

struct ImportLayout {
    int Frq = 1;                              // the frequency field
    int Mod = -1;                             // the mode field, -1 for none
    std::array<int, ImportFieldCount> Cmt{};  // CommentUse of each field
    std::array<int, ImportFieldCount> Siz{};  // fixed width of each field, 0 space-delimited
    std::array<bool, ImportFieldCount> Fix{}; // the "fixed size" box of each field
    bool VCmt = true;                         // "View nulls"
    bool VNul = true;                         // "View comment"

    ImportLayout() { Fix.fill(true); }

    static ImportLayout FromSettings(const Settings& s);
    void ToSettings(Settings& s) const;
    // Before a profile applies: no mode field, both view options on, every width, fixed-size
    // box and comment use cleared. The frequency field stays.
    void Reset();

    bool operator==(const ImportLayout&) const = default;
};

// The key of a profile line: the text before the first "|", trimmed and upper-cased.
QString ProfileKey(QStringView line);

// Resets layout and applies the field tokens of one profile line (the text after its key). A
// token that is not a letter directly followed by "(" and a closing ")" ends the profile there.
// Returns the number of tokens applied.
int ApplyProfileLine(QStringView line, ImportLayout& layout);

// The profile names of a profile file, in file order: the keys of every line whose key does not
// start with "#". Empty when the file cannot be read.
QStringList ProfileNames(const QString& file);

// Applies the first line of the file whose key equals name (both upper-cased). False, with
// layout untouched, when the file cannot be read or no line has that key.
bool LoadImportProfile(const QString& file, const QString& name, ImportLayout& layout);
// The same on the live settings, from the profile file named by "IMP_Fil".
bool LoadImportProfile(Settings& settings, const QString& name);

// The profile file "IMP_Fil" names: the file itself when it can be read; for a plain file
// name (no folder in it) that is not in the working folder, the one of that name shipped with
// the program (share/kelvane/ of the installation, or the sources' data folder), when there is
// one; otherwise the name as given.
QString ImportProfileFile(const QString& setting);
