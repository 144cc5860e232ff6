#include "lists/apply_record.h"

#include "core/panel.h"
#include "settings/settings.h"

#include <ostry/nrd535.h>

QString RecordNumberText(qint64 number) {
    return QStringLiteral("%1").arg(number, 3, 10, QChar(u'0'));
}

void ApplyRecord(Panel& panel, Nrd535& rx, const Settings& settings, const MemoryRecord& record,
                 qint64 number, const QString& tag) {
    if (record.Frequency == 0) return;
    if (record.Agc >= 0) panel.ShowAgc(record.Agc, true);
    if (record.Mode >= 0) rx.MD(ostry::MD(record.Mode));
    if (record.Filter >= 0) rx.FT(ostry::FT(record.Filter));
    // The record is already what the notes search would find, so it is not searched again.
    panel.TuneTo(record.Frequency, true, true, false);
    // "View comment" is stored as IMP_VNul and "View nulls" as IMP_VCmt.
    const bool viewComment = settings.IMP_VNul;
    const bool viewNulls = settings.IMP_VCmt;
    const bool visible = viewComment && !(viewNulls && record.Comment.isEmpty());
    panel.ShowRecordCaption(record.Frequency, record.Comment, visible);
    panel.ShowRecordNumber(tag, RecordNumberText(number));
}
