#include "lists/import_profile.h"

#include "lists/list_text.h"
#include "lists/record_reader.h"
#include "settings/settings.h"

#include "core/data_paths.h"
#include "core/record_text.h"
#include "files/bounded_file.h"

#include <QFile>

#include <algorithm>

namespace {

constexpr int MaxProfileLines = 10000;

// Widths beyond this are as good as "the rest of the line".
constexpr int MaxWidth = 9999;

} // namespace

ImportLayout ImportLayout::FromSettings(const Settings& s) {
    ImportLayout l;
    l.Frq = s.IMP_Frq;
    l.Mod = s.IMP_Mod;
    l.Cmt = s.IMP_Cmt;
    l.Siz = s.IMP_Siz;
    l.Fix = s.IMP_Fix;
    l.VCmt = s.IMP_VCmt;
    l.VNul = s.IMP_VNul;
    return l;
}

void ImportLayout::ToSettings(Settings& s) const {
    s.IMP_Frq = Frq;
    s.IMP_Mod = Mod;
    s.IMP_Cmt = Cmt;
    s.IMP_Siz = Siz;
    s.IMP_Fix = Fix;
    s.IMP_VCmt = VCmt;
    s.IMP_VNul = VNul;
}

void ImportLayout::Reset() {
    Mod = -1;
    VCmt = true;
    VNul = true;
    Cmt.fill(NotComment);
    Siz.fill(0);
    Fix.fill(false);
}

QString ProfileKey(QStringView line) {
    const qsizetype bar = line.indexOf(u'|');
    return (bar < 0 ? line : line.left(bar)).trimmed().toString().toUpper();
}

int ApplyProfileLine(QStringView line, ImportLayout& layout) {
    layout.Reset();
    const QList<QStringView> parts = line.split(u'|');
    bool firstZ = true;
    int n = 0;
    for (qsizetype i = 1; i < parts.size() && n < ImportFieldCount; ++i, ++n) {
        const QStringView token = parts[i].trimmed();
        if (token.size() < 2 || token[1] != u'(') break;
        const qsizetype close = token.indexOf(u')', 2);
        if (close < 0) break;
        const double w = listtext::LeadingNumber(token.mid(2, close - 2));
        const int width = w > 0 ? int(std::min<double>(w, MaxWidth)) : 0;
        switch (token[0].unicode()) {
        case 'F':
            layout.Frq = n;
            break;
        case 'M':
            layout.Mod = n;
            break;
        case 'C':
            layout.Cmt[size_t(n)] = CommentSpace;
            break;
        case 'Z':
            layout.Cmt[size_t(n)] = firstZ ? CommentNewLine : CommentSpace;
            firstZ = false;
            break;
        default:
            break;
        }
        layout.Fix[size_t(n)] = width > 0;
        layout.Siz[size_t(n)] = width;
    }
    return n;
}

QStringList ProfileNames(const QString& file) {
    QStringList names;
    QFile f;
    if (!boundedfile::Open(f, file)) return names;
    QString line;
    // A profile file is a few dozen lines; a huge one is read no further than this.
    for (int n = 0; n < MaxProfileLines && RecordReader::ReadLine(f, line); ++n) {
        const qsizetype bar = line.indexOf(u'|');
        const QStringView first = bar < 0 ? QStringView(line) : QStringView(line).left(bar);
        if (first.startsWith(u'#')) continue;
        const QString key = ProfileKey(line);
        // A binary file's bytes name no profile.
        const bool text = std::none_of(key.begin(), key.end(), [](QChar c) { return c < u' '; });
        if (!key.isEmpty() && text) names << key;
    }
    return names;
}

bool LoadImportProfile(const QString& file, const QString& name, ImportLayout& layout) {
    QFile f;
    if (!boundedfile::Open(f, file)) return false;
    const QString wanted = name.trimmed().toUpper();
    QString line;
    for (int n = 0; n < MaxProfileLines && RecordReader::ReadLine(f, line); ++n) {
        if (ProfileKey(line) != wanted) continue;
        ApplyProfileLine(line, layout);
        return true;
    }
    return false;
}

bool LoadImportProfile(Settings& settings, const QString& name) {
    ImportLayout layout = ImportLayout::FromSettings(settings);
    if (!LoadImportProfile(ImportProfileFile(settings.IMP_Fil), name, layout)) return false;
    layout.ToSettings(settings);
    return true;
}

QString ImportProfileFile(const QString& setting) {
    if (setting.isEmpty() || FileExists(setting)) return setting;
    if (setting.contains(u'/') || setting.contains(u'\\')) return setting;
    const QString shipped = ShippedDataDir();
    if (shipped.isEmpty()) return setting;
    const QString file = shipped + u'/' + setting;
    return FileExists(file) ? file : setting;
}
