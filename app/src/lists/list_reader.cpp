#include "lists/list_reader.h"

#include "lists/apply_record.h"
#include "lists/list_line.h"
#include "settings/records.h"
#include "settings/settings.h"

#include "files/bounded_file.h"

#include <QFile>

#include <ostry/nrd535.h>

namespace {

const QString ListTag = QStringLiteral("Lg");
const QString NoProfile = QStringLiteral("None");

} // namespace

ListReader::ListReader(Panel& panel, Nrd535& rx, Settings& settings)
    : panel_(panel), rx_(rx), settings_(settings) {}

void ListReader::SetPath(const QString& path) {
    path_ = path;
    reader_.SetPath(path);
}

const QStringList& ListReader::modeTexts() {
    if (modeTexts_.isEmpty())
        for (int j = 0; j < rx_.MDDescMax(); ++j) modeTexts_ << rx_.MDDesc(ostry::MD(j));
    return modeTexts_;
}

bool ListReader::askProfile() {
    profile_.clear();
    QFile f;
    QString first;
    if (boundedfile::Open(f, path_)) RecordReader::ReadLine(f, first);
    const bool named = first.startsWith(QStringLiteral("#!"));
    const QString name = named ? first.mid(2).trimmed() : QString();
    profile_ = named ? name : NoProfile;
    return !ask_ || ask_(name);
}

void ListReader::show(const QString& line, qint64 index) {
    ListLine parsed;
    if (!ParseListLine(line, ImportLayout::FromSettings(settings_), modeTexts(), parsed)) return;
    MemoryRecord rec;
    rec.Frequency = parsed.Frequency;
    // What the list does not say stays as the receiver is set (not as it last reported).
    rec.Mode = parsed.Mode >= 0 ? parsed.Mode : rx_.InEffect(ostry::Setting::MD);
    rec.Filter = rx_.InEffect(ostry::Setting::FT);
    rec.Agc = rx_.InEffect(ostry::Setting::AG);
    rec.Comment = parsed.Comment;
    ApplyRecord(panel_, rx_, settings_, rec, index + 1, ListTag);
}

bool ListReader::ReadListRecord(ReadOp op, double hz) {
    if (op == ReadOp::Close) return reader_.Close();
    if (op == ReadOp::Reopen) return reader_.Reopen();
    if (path_.isEmpty()) return false;
    if (op == ReadOp::Start && !reader_.IsOpen() && !askProfile()) return false;
    // The layout is read once per call: the profile dialog may just have changed it.
    const ImportLayout layout = ImportLayout::FromSettings(settings_);
    const QStringList& modes = modeTexts();
    const RecordReader::Step s = reader_.Read(op, hz, [&](QStringView line) {
        ListLine parsed;
        return ParseListLine(line, layout, modes, parsed) ? parsed.Frequency : 0.0;
    });
    if (s.kind == RecordReader::Step::Shown) show(s.line, s.index);
    return s.kind != RecordReader::Step::None;
}
