#include "lists/record_reader.h"

#include "lists/list_text.h"

#include "files/bounded_file.h"

#include <QStringDecoder>

#include <algorithm>

namespace {

// Lists come from other programs: UTF-8 when it decodes cleanly, Latin-1 otherwise.
QString decode(const QByteArray& bytes) {
    QStringDecoder utf8(QStringDecoder::Utf8);
    QString text = utf8(bytes);
    if (utf8.hasError()) return QString::fromLatin1(bytes);
    return text;
}

} // namespace

bool RecordReader::ReadLine(QFile& file, QString& line) {
    QByteArray bytes = file.readLine(MaxLine);
    if (bytes.isEmpty()) return false;
    if (!bytes.endsWith('\n') && !file.atEnd()) {
        // Skip the rest of an overlong line, a block at a time. A "line" longer than MaxSkip
        // (a file of zeros, a binary) ends the file.
        char buf[4096];
        qint64 skipped = 0;
        for (;;) {
            const qint64 n = file.readLine(buf, sizeof buf);
            if (n <= 0) break;
            if (buf[n - 1] == '\n') break;
            skipped += n;
            if (skipped > MaxSkip) {
                file.seek(file.size());
                break;
            }
        }
    }
    line = listtext::WithoutLineEnd(decode(bytes)).toString();
    return true;
}

bool RecordReader::startPass() {
    file_.close();
    open_ = false;
    if (!boundedfile::Open(file_, path_)) return false;
    ring_.fill(Row{});
    recordCount_ = 0;
    position_ = 0;
    linesRead_ = 0;
    frontier_ = 0;
    open_ = true;
    return true;
}

bool RecordReader::openKeeping() {
    if (open_) return true;
    if (!boundedfile::Open(file_, path_)) return false;
    // A file cut short by someone else: the remembered offsets mean nothing any more.
    if (frontier_ > file_.size()) {
        file_.close();
        return startPass();
    }
    open_ = true;
    return true;
}

bool RecordReader::Close() {
    const bool was = open_;
    file_.close();
    open_ = false;
    return was;
}

bool RecordReader::Reopen() {
    return openKeeping();
}

bool RecordReader::remembered(double hz) const {
    const qint64 used = std::min<qint64>(recordCount_, RingSize);
    for (qint64 r = 0; r < used; ++r)
        if (ring_[size_t(r)].frequency == hz) return true;
    return false;
}

RecordReader::Step RecordReader::revisit(qint64 index) {
    const Row& row = ring_[size_t(index % RingSize)];
    QString line;
    if (!file_.seek(row.offset) || !ReadLine(file_, line)) return {};
    position_ = index;
    currentFrequency_ = row.frequency;
    return {Step::Shown, line, index};
}

RecordReader::Step RecordReader::newRecord(const FrequencyOf& frequencyOf) {
    bool wrapped = false;
    for (;;) {
        if (!file_.seek(frontier_)) return {};
        QString line;
        while (ReadLine(file_, line)) {
            const qint64 offset = frontier_;
            frontier_ = file_.pos();
            ++linesRead_;
            const double hz = frequencyOf(line);
            if (hz == 0) continue;
            currentFrequency_ = hz;
            if (remembered(hz)) continue;
            ring_[size_t(recordCount_ % RingSize)] = Row{offset, hz};
            position_ = recordCount_;
            ++recordCount_;
            return {Step::Shown, line, position_};
        }
        if (file_.error() != QFileDevice::NoError && !file_.atEnd()) return {};
        // End of the file: a new pass from the first line, unless this pass found nothing.
        Close();
        if (recordCount_ == 0 || wrapped) return {};
        wrapped = true;
        if (!startPass()) return {};
    }
}

RecordReader::Step RecordReader::Read(ReadOp op, double hz, const FrequencyOf& frequencyOf) {
    switch (op) {
    case ReadOp::GoTo: {
        if (hz == 0 || recordCount_ == 0) return {};
        const qint64 last = recordCount_ - 1;
        for (qint64 r = 0; r < RingSize; ++r) {
            // The record held in row r: the most recent index with that remainder.
            const qint64 index = last - ((last % RingSize - r + RingSize) % RingSize);
            if (index < 0) continue;
            if (ring_[size_t(r)].frequency != hz) continue;
            if (!openKeeping()) return {};
            return revisit(index);
        }
        return {};
    }
    case ReadOp::Start:
        if (!open_ && !startPass()) return {};
        return newRecord(frequencyOf);
    case ReadOp::Next:
    case ReadOp::Previous:
        if (recordCount_ == 0) {
            if (!open_) return {};
            return newRecord(frequencyOf);
        }
        if (!openKeeping()) return {};
        if (op == ReadOp::Next) {
            if (position_ + 1 >= recordCount_) return newRecord(frequencyOf);
            return revisit(position_ + 1);
        }
        if (recordCount_ - position_ >= RingSize) return {Step::Stay, {}, position_};
        if (position_ - 1 < 0) {
            position_ = 0;
            return {Step::Stay, {}, 0};
        }
        return revisit(position_ - 1);
    case ReadOp::Close:
    case ReadOp::Reopen:
        break;
    }
    return {};
}
