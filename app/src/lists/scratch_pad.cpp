#include "lists/scratch_pad.h"

#include "core/panel.h"
#include "core/record_text.h"
#include "core/units.h"
#include "lists/apply_record.h"
#include "lists/list_text.h"
#include "settings/records.h"
#include "settings/settings.h"

#include "files/bounded_file.h"

#include <QFile>
#include <QFileInfo>
#include <QLocale>

#include <ostry/nrd535.h>

#include <cmath>

namespace {

constexpr int PadLastField = 5;
constexpr int DefaultCharWidth = 7;
const QString PadTag = QStringLiteral("Sp");

int codeOr(const QString& field, int current) {
    if (field.isEmpty()) return current;
    return int(listtext::LeadingNumber(field));
}

} // namespace

ScratchPad::ScratchPad(Panel& panel, Nrd535& rx, const Settings& settings)
    : panel_(panel), rx_(rx), settings_(settings),
      textWidth_([](const QString& t) { return int(t.size()) * DefaultCharWidth; }) {}

QString ScratchPad::FormatPadLine(double hz, int md, int ft, int ag, const QString& stamp,
                                  const QString& comment) {
    const QString freq = QStringLiteral("       %1").arg(qint64(std::llround(hz)));
    return QStringLiteral("%1|%2|%3|%4|%5|%6\r\n")
        .arg(freq)
        .arg(md)
        .arg(ft)
        .arg(ag)
        .arg(stamp, comment);
}

QString ScratchPad::Stamp(const QDateTime& when) {
    const QLocale loc = QLocale::system();
    return loc.toString(when.date(), QLocale::ShortFormat) + u' ' +
           loc.toString(when.time(), QLocale::ShortFormat);
}

QStringList ScratchPad::SplitPadLine(QStringView line) {
    QStringList fields;
    SplitRecordLine(line, u'|', u'#', PadLastField, KhzDecimals::WholeHertz, fields);
    return fields;
}

double ScratchPad::PadFrequency(QStringView line) {
    if (line.isEmpty() || line.front() == u'#') return 0;
    const qsizetype bar = line.indexOf(u'|');
    QString field = (bar < 0 ? line : line.left(bar)).trimmed().toString();
    if (field.isEmpty()) return 0;
    if (!NormaliseKhz(field, u'.', KhzDecimals::WholeHertz))
        NormaliseKhz(field, u',', KhzDecimals::WholeHertz);
    const double hz = std::trunc(listtext::LeadingNumber(field));
    return hz >= FrqMin && hz <= FrqMax ? hz : 0;
}

QString ScratchPad::FitComment(const QString& text, int widthPixels, const TextWidth& textWidth) {
    // Shortened from the end while its width times 14 exceeds the caption's width in twips.
    auto fits = [&](qsizetype n) {
        return qint64(textWidth(text.left(n))) * 14 <= qint64(PixelsToTwips(widthPixels));
    };
    if (fits(text.size())) return text;
    qsizetype lo = 0, hi = text.size(); // fits(lo) assumed, !fits(hi)
    while (hi - lo > 1) {
        const qsizetype mid = lo + (hi - lo) / 2;
        if (fits(mid))
            lo = mid;
        else
            hi = mid;
    }
    return text.left(lo);
}

void ScratchPad::show(const QString& line, qint64 index) {
    const QStringList f = SplitPadLine(line);
    auto field = [&](int i) { return i < f.size() ? f[i] : QString(); };
    MemoryRecord rec;
    rec.Frequency = PadFrequency(line);
    rec.Mode = codeOr(field(1), rx_.InEffect(ostry::Setting::MD));
    rec.Filter = codeOr(field(2), rx_.InEffect(ostry::Setting::FT));
    rec.Agc = codeOr(field(3), rx_.InEffect(ostry::Setting::AG));
    const QString comment = FitComment(field(5).trimmed(), panel_.CommentWidth(), textWidth_);
    rec.Comment = comment + QStringLiteral("\r\n[") + field(4) + u']';
    ApplyRecord(panel_, rx_, settings_, rec, index + 1, PadTag);
}

bool ScratchPad::ReadPadRecord(ReadOp op, double hz) {
    if (op == ReadOp::Close) return reader_.Close();
    if (op == ReadOp::Reopen) return reader_.Reopen();
    if (!reader_.IsOpen() && (op == ReadOp::Start || reader_.Path().isEmpty()))
        reader_.SetPath(settings_.SMT_Pad);
    const RecordReader::Step s = reader_.Read(op, hz, &ScratchPad::PadFrequency);
    if (s.kind == RecordReader::Step::Shown) show(s.line, s.index);
    return s.kind != RecordReader::Step::None;
}

qint64 ScratchPad::countLines() const {
    QFile f;
    if (!boundedfile::Open(f, settings_.SMT_Pad)) return 0;
    qint64 lines = 0;
    char last = '\n';
    QByteArray buf;
    // Counting goes no further than a pad could reasonably be.
    qint64 read = 0;
    constexpr qint64 MaxCounted = 256LL << 20;
    while (read < MaxCounted && !(buf = f.read(64 * 1024)).isEmpty()) {
        read += buf.size();
        lines += buf.count('\n');
        last = buf.back();
    }
    return last == '\n' ? lines : lines + 1;
}

bool ScratchPad::AppendPadRecord(const QDateTime& now) {
    if (panel_.State().Scan == ScanState::Pad) {
        panel_.WarnBeep();
        return false;
    }
    const double hz = rx_.Fr();
    const int md = rx_.MD(), ft = rx_.FT(), ag = rx_.AG();
    // A receiver that is not reporting has nothing to note: its fields read -1. (The filter
    // alone may be unknown while the receiver is held.)
    if (!rx_.Connected() || hz < 0 || md < 0 || ag < 0) {
        panel_.WarnBeep();
        return false;
    }
    // A pipe, folder or device in the pad's place takes no record (opening it to write could
    // wait for ever).
    const QFileInfo padInfo(settings_.SMT_Pad);
    if (padInfo.exists() && !padInfo.isFile()) {
        panel_.WarnBeep();
        return false;
    }
    if (counter_ == 0 && FileExists(settings_.SMT_Pad)) counter_ = countLines();

    const std::optional<QString> comment =
        describe_ ? describe_() : std::optional<QString>(QString());
    if (!comment) return false;

    const bool wasOpen = ReadPadRecord(ReadOp::Close);
    QByteArray line = FormatPadLine(hz, md, ft, ag, Stamp(now), *comment).toUtf8();
    {
        // A pad last saved by an editor without a final line end: end that line first, so the
        // record starts a line of its own.
        QFile tail;
        char c = '\n';
        if (boundedfile::Open(tail, settings_.SMT_Pad) && tail.size() > 0 &&
            tail.seek(tail.size() - 1) && tail.getChar(&c) && c != '\n')
            line.prepend("\r\n");
    }
    // One unbuffered write of the whole line at the end of the file: a reader or another
    // writer never sees half a record.
    QFile pad(settings_.SMT_Pad);
    bool written = false;
    if (pad.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Unbuffered)) {
        written = pad.write(line) == line.size();
        pad.close();
    }
    if (written) ++counter_;
    if (wasOpen) ReadPadRecord(ReadOp::Reopen);
    if (!written) {
        panel_.WarnBeep();
        return false;
    }
    panel_.ShowRecordNumber(PadTag, RecordNumberText(counter_));
    return true;
}
