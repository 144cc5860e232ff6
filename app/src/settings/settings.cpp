#include "settings/settings.h"

#include "settings/registry.h"

#include <cmath>
#include <limits>
#include <variant>

namespace {

// A code read from a list value: any text, so a huge number must not overflow the int.
int boundedCode(const QString& text) {
    const double v = Registry::LenientNumber(text);
    if (!(v >= -2147483648.0 && v <= 2147483647.0)) return -1;
    return int(v);
}

// Value types of the settings table: Boolean, 16-bit and 32-bit integers, double, string.
enum class Kind { B, I, L, D, S };

using Field =
    std::variant<bool Settings::*, int Settings::*, double Settings::*, QString Settings::*,
                 std::array<int, 7> Settings::*, std::array<bool, 7> Settings::*>;

struct Row {
    const char* name;
    Kind kind;
    Field field;
    QVariant def;  // the default; its type decides how the value is read
    bool atStart;  // read when the program starts
    int first = 0; // indexed family: name + first .. name + first + count - 1
    int count = 0;
};

// The persisted settings: value name, type, field, default, read at start. The known-list
// selection and the two list families are handled after this table. Window positions are read
// as 32-bit: a window on a second screen lies beyond 32767 twips.
// clang-format off
const Row Table[] = {
    {"WIN_OnTop",     Kind::B, &Settings::WIN_OnTop,     true,                     true},
    {"WIN_Beep",      Kind::B, &Settings::WIN_Beep,      true,                     true},
    {"COM_Port",      Kind::I, &Settings::COM_Port,      -1,                       true},
    {"COM_Speed",     Kind::S, &Settings::COM_Speed,     QStringLiteral("4800"),   true},
    {"RNG_Default",   Kind::I, &Settings::RNG_Default,   1,                        true},
    {"BND_AutoMD",    Kind::B, &Settings::BND_AutoMD,    true,                     true},
    {"BND_AutoFT",    Kind::B, &Settings::BND_AutoFT,    true,                     true},
    {"BND_AutoST",    Kind::B, &Settings::BND_AutoST,    true,                     true},
    {"SND_Crd",       Kind::I, &Settings::SND_Crd,       -1,                       true},
    {"SND_Inp",       Kind::I, &Settings::SND_Inp,       4098,                     true},
    {"AGC_OffAllow",  Kind::B, &Settings::AGC_OffAllow,  true,                     true},
    {"IMP_Fil",       Kind::S, &Settings::IMP_Fil,       QStringLiteral("import.cnf"), true},
    {"IMP_VCmt",      Kind::B, &Settings::IMP_VCmt,      true,                     true},
    {"IMP_VNul",      Kind::B, &Settings::IMP_VNul,      true,                     true},
    {"IMP_Frq",       Kind::I, &Settings::IMP_Frq,       1,                        true},
    {"IMP_Mod",       Kind::I, &Settings::IMP_Mod,       -1,                       true},
    {"IMP_Cmt",       Kind::I, &Settings::IMP_Cmt,       0,                        true, 1, 7},
    {"IMP_Siz",       Kind::I, &Settings::IMP_Siz,       0,                        true, 1, 7},
    {"IMP_Fix",       Kind::B, &Settings::IMP_Fix,       true,                     true, 1, 7},
    {"DDE_AutoRetry", Kind::B, &Settings::DDE_AutoRetry, false,                    true},
    {"DDE_Database",  Kind::S, &Settings::DDE_Database,  QStringLiteral("Morrowby"), true},
    {"DDE_Activate",  Kind::B, &Settings::DDE_Activate,  1,                        true},
    {"SCN_Range",     Kind::D, &Settings::SCN_Range,     1000000.0,                true},
    {"SCN_Delay",     Kind::I, &Settings::SCN_Delay,     4,                        true},
    {"SCN_Mode",      Kind::I, &Settings::SCN_Mode,      1,                        true},
    {"SCN_Step",      Kind::I, &Settings::SCN_Step,      1000,                     true},
    {"SCN_Wait",      Kind::I, &Settings::SCN_Wait,      0,                        true},
    {"FLT_Aux",       Kind::B, &Settings::FLT_Aux,       false,                    true},
    {"SMT_Sql",       Kind::I, &Settings::SMT_Sql,       128,                      true},
    {"SMT_Log",       Kind::S, &Settings::SMT_Log,       QStringLiteral("Noise.txt"), true},
    {"SMT_Pad",       Kind::S, &Settings::SMT_Pad,       QStringLiteral("scratch.log"), true},
    {"SKD_File",      Kind::S, &Settings::SKD_File,      QString(),                true},
    {"MainLeft",      Kind::L, &Settings::MainLeft,      1000,                     true},
    {"MainTop",       Kind::L, &Settings::MainTop,       1000,                     true},
    {"MainWidth",     Kind::L, &Settings::MainWidth,     0,                        false},
    {"MainHeight",    Kind::L, &Settings::MainHeight,    0,                        false},
    {"HelpLeft",      Kind::L, &Settings::HelpLeft,      1000,                     false},
    {"HelpTop",       Kind::L, &Settings::HelpTop,       1000,                     false},
};
// clang-format on

constexpr int MemColumns = 5;
constexpr int FltColumns = 2;
const QString MemDefault = QStringLiteral("0|0|0|0|");
const QString FltDefault = QStringLiteral("-1|");
const QString Separator = QStringLiteral("|");

QString app() {
    return QString::fromLatin1(Registry::AppKeyName);
}

// A stored DWORD as the field's type. Out-of-range 16-bit values fall back to the default.
template <typename T> T fromStored(const QVariant& v, Kind kind, const QVariant& def) {
    if constexpr (std::is_same_v<T, bool>) {
        return v.toInt() != 0;
    } else if constexpr (std::is_same_v<T, int>) {
        int value = v.toInt();
        if (kind == Kind::I && (value < std::numeric_limits<qint16>::min() ||
                                value > std::numeric_limits<qint16>::max()))
            return def.toInt();
        return value;
    } else if constexpr (std::is_same_v<T, double>) {
        return v.toDouble();
    } else {
        return v.toString();
    }
}

QVariant toStore(bool v) {
    return QVariant(v);
}
QVariant toStore(int v) {
    return QVariant(v);
}
QVariant toStore(double v) {
    return QVariant(v);
}
QVariant toStore(const QString& v) {
    return QVariant(v);
}

void applyDefault(Settings& s, const Row& row) {
    std::visit(
        [&](auto member) {
            using M = std::remove_reference_t<decltype(s.*member)>;
            if constexpr (std::is_same_v<M, std::array<int, 7>>) {
                (s.*member).fill(row.def.toInt());
            } else if constexpr (std::is_same_v<M, std::array<bool, 7>>) {
                (s.*member).fill(row.def.toBool());
            } else if constexpr (std::is_same_v<M, bool>) {
                s.*member = row.def.toBool();
            } else if constexpr (std::is_same_v<M, int>) {
                s.*member = row.def.toInt();
            } else if constexpr (std::is_same_v<M, double>) {
                s.*member = row.def.toDouble();
            } else {
                s.*member = row.def.toString();
            }
        },
        row.field);
}

QVariant readDefault(const Row& row) {
    // A string default reads text; every other default reads a DWORD.
    if (row.kind == Kind::S) return row.def.toString();
    if (row.kind == Kind::B) return row.def.toBool() ? -1 : 0;
    return row.def.toInt();
}

void readRow(Settings& s, const Registry& reg, const Row& row) {
    std::visit(
        [&](auto member) {
            using M = std::remove_reference_t<decltype(s.*member)>;
            if constexpr (std::is_same_v<M, std::array<int, 7>> ||
                          std::is_same_v<M, std::array<bool, 7>>) {
                using E = typename M::value_type;
                for (int i = 0; i < row.count; ++i) {
                    QString name = QString::fromLatin1(row.name) + QString::number(row.first + i);
                    (s.*member)[size_t(i)] = fromStored<E>(
                        reg.RegGet(app(), QString(), name, readDefault(row)), row.kind, row.def);
                }
            } else {
                s.*member = fromStored<M>(
                    reg.RegGet(app(), QString(), QString::fromLatin1(row.name), readDefault(row)),
                    row.kind, row.def);
            }
        },
        row.field);
}

bool writeRow(const Settings& s, Registry& reg, const Row& row) {
    bool ok = true;
    std::visit(
        [&](auto member) {
            using M = std::remove_reference_t<decltype(s.*member)>;
            if constexpr (std::is_same_v<M, const std::array<int, 7>> ||
                          std::is_same_v<M, const std::array<bool, 7>> ||
                          std::is_same_v<M, std::array<int, 7>> ||
                          std::is_same_v<M, std::array<bool, 7>>) {
                for (int i = 0; i < row.count; ++i) {
                    QString name = QString::fromLatin1(row.name) + QString::number(row.first + i);
                    ok &= reg.RegSave(app(), QString(), name, toStore((s.*member)[size_t(i)]));
                }
            } else {
                ok &= reg.RegSave(app(), QString(), QString::fromLatin1(row.name),
                                  toStore(s.*member));
            }
        },
        row.field);
    return ok;
}

// Shutdown writes in this order; the three import tables go row by row, then the known-list
// selection, the rest, and the two list families.
// clang-format off
const char* const WriteBeforeImportTables[] = {
    "HelpLeft", "HelpTop", "MainLeft", "MainTop", "MainWidth", "MainHeight",
    "AGC_OffAllow", "IMP_Fil", "IMP_VCmt", "IMP_VNul", "IMP_Frq", "IMP_Mod",
};
const char* const ImportTables[] = {"IMP_Cmt", "IMP_Fix", "IMP_Siz"};
const char* const WriteAfterKnownSelection[] = {
    "DDE_AutoRetry", "DDE_Database", "DDE_Activate", "COM_Speed", "COM_Port",
    "SCN_Range", "SCN_Delay", "SCN_Wait", "SCN_Step", "SCN_Mode",
    "WIN_OnTop", "WIN_Beep", "BND_AutoMD", "BND_AutoFT", "BND_AutoST", "RNG_Default",
    "SND_Crd", "SND_Inp", "FLT_Aux", "SMT_Sql", "SMT_Log", "SMT_Pad",
    "SKD_File",
};
// clang-format on

const Row& rowNamed(const char* name) {
    for (const Row& row : Table)
        if (qstrcmp(row.name, name) == 0) return row;
    Q_UNREACHABLE();
}

// Writes entry index (0-based) of an indexed family.
bool writeElement(const Settings& s, Registry& reg, const Row& row, int index) {
    bool ok = true;
    std::visit(
        [&](auto member) {
            using M = std::remove_cvref_t<decltype(s.*member)>;
            if constexpr (std::is_same_v<M, std::array<int, 7>> ||
                          std::is_same_v<M, std::array<bool, 7>>) {
                const QString name =
                    QString::fromLatin1(row.name) + QString::number(row.first + index);
                ok = reg.RegSave(app(), QString(), name, toStore((s.*member)[size_t(index)]));
            }
        },
        row.field);
    return ok;
}

QString joinMemory(const MemoryRecord& r) {
    return QStringList{QString::number(r.Frequency, 'f', 0), QString::number(r.Mode),
                       QString::number(r.Filter), QString::number(r.Agc), r.Comment}
        .join(Separator);
}

} // namespace

Settings::Settings() {
    for (const Row& row : Table) applyDefault(*this, row);
    KWN_Sel = {0};
}

void Settings::Read(const Registry& reg) {
    for (const Row& row : Table)
        if (row.atStart) readRow(*this, reg, row);
    if (SCN_Range <= 100000) SCN_Range = 1000000;
    if (SCN_Delay == 0) SCN_Delay = 4;
    // A negative dwell would break the tick's modulo; treat it as the default as well.
    if (SCN_Delay < 0) SCN_Delay = 4;

    QList<QVariantList> mem(10, QVariantList(MemColumns));
    reg.RegGetList(mem, Separator, QStringLiteral("MEM_Inf"), MemDefault);
    for (size_t i = 0; i < MEM_Inf.size(); ++i) {
        const QVariantList& f = mem[qsizetype(i)];
        MEM_Inf[i] = MemoryRecord{Registry::LenientNumber(f[0].toString()),
                                  boundedCode(f[1].toString()), boundedCode(f[2].toString()),
                                  boundedCode(f[3].toString()), f[4].toString()};
    }
    QList<QVariantList> flt(10, QVariantList(FltColumns));
    reg.RegGetList(flt, Separator, QStringLiteral("FLT_Inf"), FltDefault);
    for (size_t i = 0; i < FLT_Inf.size(); ++i) {
        const QVariantList& f = flt[qsizetype(i)];
        FLT_Inf[i] = QuickFilter{boundedCode(f[0].toString()), f[1].toString()};
    }
}

void Settings::ReadKnownSelection(const Registry& reg, int labelCount) {
    int count = reg.RegGet(app(), QString(), QStringLiteral("KWN_Sel0"), labelCount).toInt();
    // The database never has more than a few dozen lists; a wild stored count is not trusted.
    if (count < labelCount || count > 4096) count = labelCount;
    KWN_Sel = QList<int>(count + 1, 0);
    KWN_Sel[0] = count;
    for (int i = 1; i <= count; ++i)
        KWN_Sel[i] =
            reg.RegGet(app(), QString(), QStringLiteral("KWN_Sel") + QString::number(i), 0).toInt();
}

void Settings::ReadHelpPosition(const Registry& reg) {
    for (const Row& row : Table)
        if (QByteArrayView(row.name) == "HelpLeft" || QByteArrayView(row.name) == "HelpTop")
            readRow(*this, reg, row);
}

bool Settings::Write(Registry& reg) const {
    Registry::Batch batch(reg);
    bool ok = true;
    for (const char* name : WriteBeforeImportTables) ok &= writeRow(*this, reg, rowNamed(name));
    for (int i = 0; i < int(IMP_Cmt.size()); ++i)
        for (const char* name : ImportTables) ok &= writeElement(*this, reg, rowNamed(name), i);
    for (int i = 0; i < KWN_Sel.size(); ++i)
        ok &= reg.RegSave(app(), QString(), QStringLiteral("KWN_Sel") + QString::number(i),
                          KWN_Sel[i]);
    for (const char* name : WriteAfterKnownSelection) ok &= writeRow(*this, reg, rowNamed(name));
    for (size_t i = 0; i < MEM_Inf.size(); ++i) {
        if (MEM_Inf[i].Frequency == 0) continue;
        ok &= reg.RegSave(app(), QString(), QStringLiteral("MEM_Inf") + QString::number(i),
                          joinMemory(MEM_Inf[i]));
    }
    for (size_t i = 0; i < FLT_Inf.size(); ++i)
        ok &= reg.RegSave(app(), QString(), QStringLiteral("FLT_Inf") + QString::number(i),
                          QString::number(FLT_Inf[i].Code) + Separator + FLT_Inf[i].Name);
    return ok;
}
