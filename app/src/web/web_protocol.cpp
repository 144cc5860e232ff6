#include "web/web_protocol.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonValue>
#include <QRandomGenerator>

#include <cmath>

namespace web {

namespace {

constexpr double MinKhz = 0;     // exclusive
constexpr double MaxKhz = 30000; // exclusive
constexpr int Memories = 10, Channels = 200;

const std::array<const char*, 7> ModeNames{"RTTY", "CW", "USB", "LSB", "AM", "FM", "FAX"};
const std::array<const char*, 4> FilterNames{"wide", "inter", "narrow", "aux"};
const std::array<const char*, 2> AgcNames{"slow", "fast"};

struct CommandName {
    const char* name;
    Command command;
};
const std::array<CommandName, 11> CommandNames{{
    {"tune", Command::Tune},
    {"step", Command::Step},
    {"mode", Command::Mode},
    {"filter", Command::Filter},
    {"agc", Command::Agc},
    {"nb", Command::NoiseBlanker},
    {"hold", Command::Hold},
    {"memory", Command::Memory},
    {"channel", Command::Channel},
    {"scan", Command::Scan},
    {"hello", Command::Hello},
}};

template <std::size_t N> int indexOf(const std::array<const char*, N>& names, const QString& name) {
    for (std::size_t i = 0; i < N; ++i)
        if (name.compare(QLatin1String(names[i]), Qt::CaseInsensitive) == 0) return int(i);
    return -1;
}

// kHz as the keyboard takes it: digits with at most three decimals after "." or ",".
bool readKhz(const QJsonValue& v, double* khz) {
    if (v.isDouble()) {
        *khz = v.toDouble();
        return std::isfinite(*khz);
    }
    if (!v.isString()) return false;
    QString s = v.toString().trimmed();
    s.replace(u',', u'.');
    if (s.isEmpty() || s.size() > 12) return false;
    int dots = 0, decimals = 0;
    for (QChar c : s) {
        if (c == u'.') {
            if (++dots > 1) return false;
        } else if (!c.isDigit() || c.unicode() > 127) {
            return false;
        } else if (dots) {
            ++decimals;
        }
    }
    if (decimals > 3 || s == QLatin1String(".")) return false;
    bool ok = false;
    *khz = s.toDouble(&ok);
    return ok;
}

// A whole number in [lo, hi] given as a JSON number (or a Boolean for 0/1 fields).
bool readInt(const QJsonValue& v, int lo, int hi, int* out) {
    if (v.isBool() && lo == 0 && hi == 1) {
        *out = v.toBool() ? 1 : 0;
        return true;
    }
    if (!v.isDouble()) return false;
    const double d = v.toDouble();
    if (!std::isfinite(d) || d != std::floor(d) || d < lo || d > hi) return false;
    *out = int(d);
    return true;
}

QByteArray compact(const QJsonObject& o) {
    return QJsonDocument(o).toJson(QJsonDocument::Compact);
}

} // namespace

Parsed parseRequest(QByteArrayView text) {
    Parsed p;
    if (text.size() > MaxMessageBytes) {
        p.error = QStringLiteral("Message too long (at most %1 bytes)").arg(MaxMessageBytes);
        return p;
    }
    QJsonParseError je;
    const QJsonDocument doc = QJsonDocument::fromJson(text.toByteArray(), &je);
    if (je.error != QJsonParseError::NoError || !doc.isObject()) {
        p.error = QStringLiteral("Not a JSON object");
        return p;
    }
    const QJsonObject o = doc.object();
    const QJsonValue id = o.value(QLatin1String("id"));
    if (id.isDouble()) {
        const double d = id.toDouble();
        if (std::isfinite(d) && d == std::floor(d) && d >= 0 && d < 9.0e15)
            p.request.id = qint64(d);
    }
    const QString cmd = o.value(QLatin1String("cmd")).toString();
    const CommandName* found = nullptr;
    for (const CommandName& c : CommandNames)
        if (cmd == QLatin1String(c.name)) found = &c;
    if (!found) {
        p.error = QStringLiteral("Unknown command \"%1\"").arg(cmd.left(32));
        return p;
    }
    Request& r = p.request;
    r.command = found->command;
    const QJsonValue v = o.value(QLatin1String("value"));
    const auto fail = [&](const QString& why) {
        p.error = why;
        return p;
    };
    switch (r.command) {
    case Command::Tune: {
        double khz = 0;
        if (!readKhz(v, &khz))
            return fail(QStringLiteral("The frequency must be kHz, e.g. 9410.5"));
        if (!(khz > MinKhz && khz < MaxKhz))
            return fail(QStringLiteral("The frequency must be above 0 and below 30000 kHz"));
        r.hz = std::round(khz * 1000);
        break;
    }
    case Command::Step: {
        if (!readInt(v, -1, 1, &r.value) || r.value == 0)
            return fail(QStringLiteral("A step goes 1 (up) or -1 (down)"));
        const QString by = o.value(QLatin1String("by")).toString();
        if (by == QLatin1String("band"))
            r.band = true;
        else if (by != QLatin1String("local"))
            return fail(QStringLiteral("A step is \"band\" or \"local\""));
        break;
    }
    case Command::Mode:
        r.value = indexOf(ModeNames, v.toString());
        if (r.value < 0) return fail(QStringLiteral("Unknown mode"));
        break;
    case Command::Filter:
        r.value = indexOf(FilterNames, v.toString());
        if (r.value < 0) return fail(QStringLiteral("Unknown filter"));
        break;
    case Command::Agc:
        r.value = indexOf(AgcNames, v.toString());
        if (r.value < 0) return fail(QStringLiteral("Unknown AGC"));
        break;
    case Command::NoiseBlanker:
        if (!readInt(v, 0, 2, &r.value))
            return fail(QStringLiteral("The noise blanker is 0, 1 or 2"));
        break;
    case Command::Hold:
    case Command::Scan:
        if (!readInt(v, 0, 1, &r.value)) return fail(QStringLiteral("The value is true or false"));
        break;
    case Command::Memory:
        if (!readInt(v, 0, Memories - 1, &r.value))
            return fail(QStringLiteral("A quick memory is 0..9"));
        break;
    case Command::Channel:
        if (!readInt(v, 0, Channels - 1, &r.value))
            return fail(QStringLiteral("A channel is 0..199"));
        break;
    case Command::Hello:
        break;
    }
    p.ok = true;
    return p;
}

bool changesReceiver(Command command) {
    return command != Command::Hello;
}

namespace {
QByteArray answer(const char* type, qint64 id, const QString& reason) {
    QJsonObject o{{QLatin1String("type"), QLatin1String(type)}};
    if (id >= 0) o.insert(QLatin1String("id"), double(id));
    if (!reason.isEmpty()) o.insert(QLatin1String("reason"), reason);
    return compact(o);
}
} // namespace

QByteArray doneMessage(qint64 id) {
    return answer("done", id, QString());
}
QByteArray refusedMessage(qint64 id, const QString& reason) {
    return answer("refused", id, reason);
}
QByteArray errorMessage(qint64 id, const QString& reason) {
    return answer("error", id, reason);
}

double smeterDb(int raw) {
    if (raw < 0 || raw >= 256) return 0;
    return std::pow((256.0 - raw) / 62.74, 1.0 / 0.231);
}

QByteArray stateMessage(const PanelView& v, double at) {
    QJsonObject o{
        {QLatin1String("type"), QLatin1String("state")},
        {QLatin1String("at"), at},
        {QLatin1String("connected"), v.connected},
        {QLatin1String("held"), v.held},
        {QLatin1String("locked"), v.locked},
        {QLatin1String("readOnly"), v.readOnly},
        {QLatin1String("scan"), v.scan},
        {QLatin1String("hz"), v.hz},
        {QLatin1String("mode"), v.mode >= 0 && v.mode < int(ModeNames.size())
                                    ? QString::fromLatin1(ModeNames[size_t(v.mode)])
                                    : QString()},
        {QLatin1String("filter"), v.filter >= 0 && v.filter < int(FilterNames.size())
                                      ? QString::fromLatin1(FilterNames[size_t(v.filter)])
                                      : QString()},
        {QLatin1String("agc"), v.agc >= 0 && v.agc < int(AgcNames.size())
                                   ? QString::fromLatin1(AgcNames[size_t(v.agc)])
                                   : QString()},
        {QLatin1String("nb"), v.noiseBlanker},
        {QLatin1String("modeText"), v.modeText},
        {QLatin1String("filterText"), v.filterText},
        {QLatin1String("agcText"), v.agcText},
        {QLatin1String("attText"), v.attText},
        {QLatin1String("nbText"), v.nbText},
        {QLatin1String("att"), v.attenuator},
        {QLatin1String("squelchText"), v.squelchText},
        {QLatin1String("squelchOpen"), v.squelchOpen},
        {QLatin1String("smeterText"), v.smeterText},
        {QLatin1String("smeterRaw"), v.smeterRaw},
        {QLatin1String("smeterDb"), std::round(smeterDb(v.smeterRaw) * 10) / 10},
        {QLatin1String("band"), v.band},
        {QLatin1String("bandFlagged"), v.bandFlagged},
        {QLatin1String("recordTag"), v.recordTag},
        {QLatin1String("recordNumber"), v.recordNumber},
        {QLatin1String("station"), v.station},
        {QLatin1String("bandStep"), v.bandStep},
        {QLatin1String("localStep"), v.localStep},
    };
    return compact(o);
}

namespace {
QJsonArray memoryArray(const QList<MemoryView>& rows) {
    QJsonArray a;
    for (const MemoryView& m : rows)
        a.append(QJsonObject{{QLatin1String("hz"), m.hz},
                             {QLatin1String("mode"), m.mode},
                             {QLatin1String("comment"), m.comment}});
    return a;
}
} // namespace

QByteArray listsMessage(const ListsView& lists) {
    QJsonArray noise;
    for (int level : lists.noise) noise.append(level);
    return compact(QJsonObject{{QLatin1String("type"), QLatin1String("lists")},
                               {QLatin1String("memories"), memoryArray(lists.memories)},
                               {QLatin1String("channels"), memoryArray(lists.channels)},
                               {QLatin1String("noise"), noise},
                               {QLatin1String("noiseMean"), lists.noiseMean},
                               {QLatin1String("noiseWhen"), lists.noiseWhen}});
}

bool parseWebOption(const QString& value, QHostAddress* address, quint16* port, QString* error) {
    QHostAddress a(QHostAddress::LocalHost);
    QString portText = value;
    const auto fail = [&] {
        if (error)
            *error = QStringLiteral("--web expects [ADDRESS:]PORT (e.g. 8535 or 0.0.0.0:8535), "
                                    "got \"%1\"")
                         .arg(value);
        return false;
    };
    if (value.isEmpty()) {
        *address = a;
        *port = DefaultPort;
        return true;
    }
    const qsizetype colon = value.lastIndexOf(u':');
    if (colon >= 0) {
        QString host = value.left(colon);
        portText = value.mid(colon + 1);
        if (host.startsWith(u'[') && host.endsWith(u']')) host = host.mid(1, host.size() - 2);
        if (host == QLatin1String("localhost"))
            a = QHostAddress(QHostAddress::LocalHost);
        else if (!a.setAddress(host))
            return fail();
    }
    bool ok = false;
    const uint p = portText.toUInt(&ok);
    if (!ok || p > 65535 || portText.isEmpty() || !portText.at(0).isDigit()) return fail();
    *address = a;
    *port = quint16(p);
    return true;
}

QString newToken() {
    QString t;
    QRandomGenerator* g = QRandomGenerator::system();
    for (int i = 0; i < 4; ++i)
        t += QStringLiteral("%1").arg(g->generate(), 8, 16, QLatin1Char('0'));
    return t;
}

bool tokenMatches(const QString& given, const QString& token) {
    if (token.isEmpty()) return false;
    const QByteArray a = given.toUtf8(), b = token.toUtf8();
    unsigned diff = unsigned(a.size() ^ b.size());
    for (qsizetype i = 0; i < b.size(); ++i)
        diff |= unsigned(uchar(i < a.size() ? a[i] : 0) ^ uchar(b[i]));
    return diff == 0;
}

QString pageUrl(const QString& host, quint16 port, const QString& token) {
    const QString h = host.contains(u':') ? u'[' + host + u']' : host;
    return QStringLiteral("http://%1:%2/?token=%3").arg(h).arg(port).arg(token);
}

} // namespace web
