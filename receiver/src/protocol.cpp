#include <ostry/protocol.h>

#include <cmath>
#include <cstdio>

namespace ostry {

namespace {

// clang-format off
constexpr const char* mdTexts[] = {"RTTY", "CW", "USB", "LSB", "AM", "FM", "FAX", "ECSSU", "ECSSL"};
constexpr const char* ftTexts[] = {"Wide", "Inter", "Narrow", "Aux"};
constexpr const char* agTexts[] = {"Slow", "Fast", "Off"};
constexpr const char* atTexts[] = {"ATT", "ON"};
constexpr const char* nbTexts[] = {"NB Off", "NB1", "NB2"};
constexpr const char* sqTexts[] = {"SOF", "SON"};

const SettingInfo settingTable[] = {
    {Setting::MD, "MD", wire::ModeCmd,   mdTexts},
    {Setting::FT, "FT", wire::FilterCmd, ftTexts},
    {Setting::AG, "AG", wire::AgcCmd,    agTexts},
    {Setting::AT, "AT", wire::AttCmd,    atTexts},
    {Setting::NB, "NB", wire::NbCmd,     nbTexts},
    {Setting::SQ, "SQ", 0,               sqTexts},
};

// Lowest raw reading of each S-meter text, strongest last.
struct MeterBand { int lowest; const char* text; };
constexpr MeterBand meterBands[] = {
    {141, "S1"}, {129, "S2"}, {125, "S3"}, {119, "S4"}, {112, "S5"}, {107, "S6"}, {103, "S7"},
    {101, "S8"}, {94, "S9"}, {87, "10dB"}, {82, "20dB"}, {76, "30dB"}, {73, "40dB"},
};
// clang-format on

constexpr double SmScale = 62.74048;
constexpr double SmExponent = 0.23097;

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

// Digits [from, from+count) of `line` as a number; false unless all are digits.
bool digits(std::string_view line, std::size_t from, std::size_t count, qint64& value) {
    if (line.size() < from + count) return false;
    qint64 v = 0;
    for (std::size_t i = from; i < from + count; ++i) {
        if (!isDigit(line[i])) return false;
        v = v * 10 + (line[i] - '0');
    }
    value = v;
    return true;
}

std::string_view withoutCr(std::string_view line) {
    if (!line.empty() && line.back() == wire::Cr) line.remove_suffix(1);
    return line;
}

QByteArray zeroPadded(qint64 v, int width) {
    char buf[24];
    const int n = std::snprintf(buf, sizeof buf, "%0*lld", width, static_cast<long long>(v));
    return QByteArray(buf, n);
}

// Halves round to even, so stored values round the same way on every platform.
double roundHalfEven(double x) {
    return std::nearbyint(x);
}

} // namespace

const SettingInfo& settingInfo(Setting s) {
    return settingTable[static_cast<int>(s)];
}

qint16 settingDescMax(Setting s) {
    return static_cast<qint16>(settingInfo(s).texts.size());
}

bool settingInRange(Setting s, qint64 code) {
    return code >= 0 && code < static_cast<qint64>(settingInfo(s).texts.size());
}

QString settingDesc(Setting s, qint64 code) {
    if (settingInRange(s, code))
        return QString::fromLatin1(settingInfo(s).texts[static_cast<std::size_t>(code)]);
    if (s == Setting::FT) return QString::number(code);
    return QString();
}

qint32 settingCode(Setting s, const QString& text) {
    const auto& texts = settingInfo(s).texts;
    for (std::size_t i = 0; i < texts.size(); ++i)
        if (text == QLatin1String(texts[i])) return static_cast<qint32>(i);
    if (s != Setting::FT) return 0;
    // A bandwidth typed as a number: leading number of the text, rounded; no digits gives 0.
    const QString t = text.trimmed();
    qsizetype end = 0;
    if (end < t.size() && (t[end] == u'+' || t[end] == u'-')) ++end;
    while (end < t.size() && t[end].isDigit()) ++end;
    if (end < t.size() && t[end] == u'.') {
        ++end;
        while (end < t.size() && t[end].isDigit()) ++end;
    }
    bool ok = false;
    const double v = t.left(end).toDouble(&ok);
    if (!ok || !std::isfinite(v)) return 0;
    if (v > 2147483647.0 || v < -2147483648.0) return 0;
    return static_cast<qint32>(roundHalfEven(v));
}

qint16 filterForBandwidth(qint16 bandwidth, qint32 mode, bool auxF) {
    if (mode == AM) return auxF ? Wide : Aux;
    if (bandwidth <= 500) return Narrow;
    if (bandwidth <= 3000) return Inter;
    if (bandwidth <= 8999) return Wide;
    return Aux;
}

QString frequencyText(double hz) {
    // Whole hertz, nine digits: "ddd ddd.ddd". Out-of-range values keep their digits.
    double whole = std::isfinite(hz) ? roundHalfEven(hz) : 0.0;
    const bool negative = whole < 0;
    if (negative) whole = -whole;
    if (whole > 9.99e17) whole = 0;
    const QByteArray d = zeroPadded(static_cast<qint64>(whole), 9);
    const qsizetype n = d.size();
    QString out = QString::fromLatin1(d.left(n - 6)) + u' ' + QString::fromLatin1(d.mid(n - 6, 3)) +
                  u'.' + QString::fromLatin1(d.right(3));
    return negative ? u'-' + out : out;
}

qint16 smeterConvert(qint16 sm, bool toRaw) {
    if (toRaw) {
        // S scale to raw: below S0 counts as S0.
        const double db = sm < 10 ? (sm < 0 ? 0.0 : sm * 6.0) : sm + 54.0;
        return static_cast<qint16>(roundHalfEven(256.0 - std::pow(db, SmExponent) * SmScale));
    }
    // Raw to S scale; a reading of 256 or more carries no signal.
    if (sm >= 256) return 0;
    const double x = (256.0 - sm) / SmScale;
    const double db = std::pow(10.0, std::log10(x) / SmExponent);
    const double s = roundHalfEven(db / 6.0);
    if (s > 9) {
        const double v = roundHalfEven(db - 54.0);
        return static_cast<qint16>(v > 32767.0 ? 32767.0 : v);
    }
    return static_cast<qint16>(s);
}

double smeterDb(qint16 raw) {
    if (raw < 0 || raw >= 256) return 0.0;
    return std::pow((256.0 - raw) / SmScale, 1.0 / SmExponent);
}

QString smeterText(qint16 raw) {
    for (const auto& b : meterBands)
        if (raw >= b.lowest) return QString::fromLatin1(b.text);
    return QStringLiteral("50dB");
}

QByteArray encodeTune(double hz) {
    return wire::TuneCmd + zeroPadded(static_cast<qint64>(std::trunc(hz)), 8);
}

QByteArray encodeDigitCommand(char letter, int digit) {
    return QByteArray(1, letter) + zeroPadded(digit, 1);
}

QByteArray encodeWidth(int hz) {
    return wire::WidthCmd + zeroPadded(hz, 4);
}

QByteArray encodeStore(int num, double hz, int md, int ft, int ag, int at) {
    return wire::StoreCmd + zeroPadded(num, 3) + zeroPadded(at, 1) + zeroPadded(ft, 1) +
           zeroPadded(md, 1) + zeroPadded(static_cast<qint64>(std::trunc(hz)), 8) +
           zeroPadded(ag, 1);
}

QByteArray encodeChannel(int num) {
    return QByteArray("J1") + zeroPadded(num, 3);
}

QByteArray encodeDump(int first, int last) {
    return wire::DumpCmd + zeroPadded(first, 3) + zeroPadded(last, 3);
}

bool parseStatus(std::string_view line, StatusReply& out) {
    line = withoutCr(line);
    if (line.size() != wire::StatusLength - 1 || line[0] != wire::StatusReply) return false;
    qint64 at, ft, md, fr, ag;
    if (!digits(line, 1, 1, at) || !digits(line, 2, 1, ft) || !digits(line, 3, 1, md) ||
        !digits(line, 4, 8, fr) || !digits(line, 12, 1, ag))
        return false;
    out = {qint32(at), qint32(ft), qint32(md), qint32(ag), double(fr)};
    return true;
}

bool parseValueReply(std::string_view line, char letter, qint32& value) {
    line = withoutCr(line);
    if (line.empty() || line[0] != letter) return false;
    std::size_t i = 1;
    while (i < line.size() && line[i] == ' ') ++i;
    const std::size_t count = line.size() - i;
    if (count < 1 || count > 4) return false;
    qint64 v;
    if (!digits(line, i, count, v)) return false;
    value = qint32(v);
    return true;
}

bool parseChannel(std::string_view line, ChannelReply& out) {
    line = withoutCr(line);
    if (line.size() < 5 || line[0] != wire::ChannelReply) return false;
    qint64 nm;
    if (!digits(line, 1, 3, nm)) return false;
    if (line[4] == wire::EmptyChannel) {
        out = {};
        out.NM = qint16(nm);
        out.empty = true;
        return true;
    }
    if (line.size() != wire::ChannelLength - 1) return false;
    qint64 at, ft, md, fr, ag;
    if (!digits(line, 4, 1, at) || !digits(line, 5, 1, ft) || !digits(line, 6, 1, md) ||
        !digits(line, 7, 8, fr) || !digits(line, 15, 1, ag))
        return false;
    out = {qint16(nm), false, qint32(at), qint32(ft), qint32(md), qint32(ag), double(fr)};
    return true;
}

void applyStatus(ReceiverState& s, const StatusReply& r) {
    if (r.AT != s.AT) s.AT = r.AT, s.ModAT = true;
    if (r.FT != s.FT && !s.Hook) s.FT = r.FT, s.ModFT = true;
    s.ReportedFT = r.FT;
    if (r.MD != s.MD) s.MD = r.MD, s.ModMD = true;
    if (r.Fr != s.Fr) s.Fr = r.Fr, s.ModFR = true;
    if (r.AG != s.AG) s.AG = r.AG, s.ModAG = true;
}

void applyChannel(ReceiverState& s, const ChannelReply& r) {
    auto& c = s.chn;
    c.Fr = 0;
    c.NM = r.NM;
    c.ST = r.NM == s.DumpLast;
    if (r.empty) return; // mode, filter, AGC and attenuator keep the previous record's values
    c.AT = r.AT;
    c.FT = r.FT;
    c.MD = r.MD;
    c.Fr = r.Fr;
    c.AG = r.AG;
}

ReplyReader::ReplyReader() = default;

ReplyReader::Result ReplyReader::feed(ReceiverState& s, const char* data, std::size_t n) {
    Result res;
    StatusReply status{};
    bool statusSeen = false;
    m_channels.clear();
    m_split.feed(data, n, [&](std::string_view line) {
        if (line.empty()) return;
        qint32 v = 0;
        switch (line[0]) {
        case wire::StatusReply:
            if (parseStatus(line, status))
                statusSeen = res.upd = true;
            else
                ++res.badLines;
            return;
        case wire::MeterReply:
            if (!parseValueReply(line, wire::MeterReply, v)) break;
            if (v != s.SM) s.SM = qint16(v), s.ModSM = true;
            ++s.SMReplies;
            res.upd = true;
            return;
        case wire::NbReply:
            if (!parseValueReply(line, wire::NbReply, v)) break;
            if (v != s.NB) s.NB = qint16(v), s.ModNB = true;
            res.upd = true;
            return;
        case wire::SquelchReply:
            if (!parseValueReply(line, wire::SquelchReply, v)) break;
            if (v != s.SQ) s.SQ = v, s.ModSQ = true;
            res.upd = true;
            return;
        case wire::WidthReply: {
            if (!parseValueReply(line, wire::WidthReply, v)) break;
            if (v == s.BWI)
                v = Inter;
            else if (v == s.BWH)
                v = Wide;
            if (v != 0 && v != s.FT) s.FT = v, s.ModFT = true;
            res.upd = true;
            return;
        }
        case wire::ChannelReply: {
            ChannelReply c;
            if (!parseChannel(line, c)) break;
            applyChannel(s, c);
            m_channels.push_back(s.chn);
            res.chn = true;
            return;
        }
        default:
            return; // not a reply the driver reads
        }
        ++res.badLines;
    });
    if (statusSeen) applyStatus(s, status);
    return res;
}

} // namespace ostry
