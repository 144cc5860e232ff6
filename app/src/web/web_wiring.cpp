#include "web/web_wiring.h"

#include "input/keys.h"
#include "input/keys_table.h"
#include "input/room_host.h"
#include "settings/records.h"
#include "settings/registry.h"
#include "settings/settings.h"
#include "web/web_options.h"
#include "web/web_server.h"

#include <ostry/nrd535.h>

#include <QLabel>
#include <QMessageBox>
#include <QPointer>
#include <QTimer>

#include <chrono>
#include <cstdio>

namespace {
const QString OnValue = QStringLiteral("WEB_Server");
const QString AtValue = QStringLiteral("WEB_ServerAt");
const QString TokenValue = QStringLiteral("WEB_Token");
const QString ReadOnlyValue = QStringLiteral("WEB_ReadOnly");
// Held, locked and scanning change without a receiver report; the pages see it this often.
constexpr int StateCheckMs = 250;

QString appKey() {
    return QString::fromLatin1(Registry::AppKeyName);
}

bool flag(const Registry& reg, const QString& name) {
    return reg.RegGet(appKey(), QString(), name, QVariant(int(0))).toInt() == 1;
}

double nowMs() {
    using namespace std::chrono;
    return double(duration_cast<microseconds>(system_clock::now().time_since_epoch()).count()) /
           1000.0;
}

QString scanName(ScanState s) {
    static const char* const names[] = {"",
                                        "noise survey",
                                        "activity search",
                                        "band scan",
                                        "range scan",
                                        "known stations",
                                        "mark scan",
                                        "database scan",
                                        "quick memory scan",
                                        "channel scan",
                                        "pad scan",
                                        "file scan",
                                        "stepping scan",
                                        "on-air scan"};
    const int i = int(s);
    return i >= 0 && i < int(std::size(names)) ? QString::fromLatin1(names[i]) : QString();
}

web::PanelView viewOf(RoomHost& host, const WebServer& server) {
    web::PanelView v;
    const ProgramState& ps = host.panel().State();
    const ostry::ReceiverState& st = host.receiver().state();
    v.connected = ps.Connected;
    v.held = ps.RemoteHeld;
    v.locked = ps.PanelLocked;
    v.readOnly = server.readOnly();
    v.scan = scanName(ps.Scan);
    if (ps.Connected) {
        v.hz = st.Fr;
        v.mode = st.MD;
        v.filter = st.FT >= 0 ? st.FT : st.ReportedFT;
        v.agc = st.AG;
        v.noiseBlanker = st.NB;
        v.attenuator = st.AT != 0;
        v.squelchOpen = st.SQ != 0;
        v.smeterRaw = st.SM;
    }
    const RoomHost::PanelTexts shown = host.Shown();
    v.modeText = shown.mode;
    v.filterText = shown.filter;
    v.agcText = shown.agc;
    v.attText = shown.attenuator;
    v.nbText = shown.noiseBlanker;
    v.squelchText = shown.squelch;
    v.smeterText = shown.sMeter;
    v.band = shown.band;
    v.recordTag = shown.recordTag;
    v.recordNumber = shown.recordNumber;
    v.station = shown.station;
    v.bandStep = shown.bandStep;
    v.localStep = host.panel().TuningStep();
    return v;
}

// The other rooms' tables and survey, as they share them.
const QString QuickShared = QStringLiteral("memory/quick");
const QString ChannelsShared = QStringLiteral("memory/channels");
const QString SurveyShared = QStringLiteral("noise/survey");

web::ListsView listsOf(RoomHost& host) {
    web::ListsView l;
    Nrd535& rx = host.receiver();
    const auto rows = [&rx](const QVariant& shared) {
        QList<web::MemoryView> out;
        for (const MemoryRecord& r : shared.value<QList<MemoryRecord>>())
            out.append({r.Frequency, r.Frequency > 0 ? rx.MDDesc(ostry::MD(r.Mode)) : QString(),
                        r.Comment});
        return out;
    };
    l.memories = rows(host.Shared(QuickShared));
    l.channels = rows(host.Shared(ChannelsShared));
    const QVariantMap survey = host.Shared(SurveyShared).toMap();
    const QVariantList levels = survey.value(QStringLiteral("levels")).toList();
    for (qsizetype i = 0; i < levels.size() && i < qsizetype(l.noise.size()); ++i)
        l.noise[size_t(i)] = levels[i].toInt();
    l.noiseMean = survey.value(QStringLiteral("mean")).toInt();
    l.noiseWhen = survey.value(QStringLiteral("when")).toString();
    return l;
}

// Types a character as the keyboard does.
void press(KeyCommands& keys, QChar c) {
    keys.KeyPress(int(c.toUpper().unicode()), QString(c), Qt::NoModifier);
}

// The refusals the panel makes, in words for the page.
QString refusalOf(const ProgramState& s, bool needsHold) {
    if (!s.Connected) return QStringLiteral("The receiver is not connected");
    if (s.PanelLocked) return QStringLiteral("The panel is locked while a scan or procedure runs");
    if (s.Scanning()) return QStringLiteral("A scan is running: stop it first");
    if (needsHold && !s.RemoteHeld)
        return QStringLiteral("The receiver is not held: take it under remote control first");
    return {};
}

QString execute(RoomHost& host, const web::Request& r) {
    const ProgramState& s = host.panel().State();
    KeyCommands& keys = host.keys();
    const int beeps = host.Beeps();
    using web::Command;
    QString refusal;
    switch (r.command) {
    case Command::Hello:
        return {};
    case Command::Scan:
        if (!r.value) {
            if (!s.Scanning()) return QStringLiteral("No scan is running");
            keys.KeyPress(Qt::Key_Escape, QString(), Qt::NoModifier);
            return {};
        }
        break;
    case Command::Hold:
        if (!s.Connected) return QStringLiteral("The receiver is not connected");
        if (s.PanelLocked)
            return QStringLiteral("The panel is locked while a scan or procedure runs");
        break;
    default:
        break;
    }
    if (r.command != Command::Hold) {
        refusal = refusalOf(s, true);
        if (!refusal.isEmpty()) return refusal;
    }
    // A page's command starts clean, as if typed after Esc.
    keys.ClearEntry();
    switch (r.command) {
    case Command::Tune:
        keys.Enter(r.hz);
        break;
    case Command::Step:
        keys.KeyDown(r.band ? (r.value > 0 ? Qt::Key_Up : Qt::Key_Down)
                            : (r.value > 0 ? Qt::Key_Right : Qt::Key_Left),
                     Qt::NoModifier);
        break;
    case Command::Mode:
        press(keys, u'M');
        press(keys, QChar::fromLatin1("RWULAFX"[r.value]));
        break;
    case Command::Filter:
        press(keys, u'F');
        press(keys, QChar::fromLatin1("WINA"[r.value]));
        break;
    case Command::Agc:
        press(keys, u'A');
        press(keys, QChar::fromLatin1("SF"[r.value]));
        break;
    case Command::NoiseBlanker:
        press(keys, u'N');
        press(keys, QChar(u'0' + r.value));
        break;
    case Command::Hold:
        press(keys, r.value ? u'U' : u'L');
        break;
    case Command::Memory:
        press(keys, u'*');
        press(keys, QChar(u'0' + r.value));
        break;
    case Command::Channel:
        for (QChar c : QString::number(r.value)) press(keys, c);
        press(keys, u'C');
        press(keys, u'R');
        break;
    case Command::Scan: {
        // The scan chosen last, as the Scan button repeats it.
        const CommandRow* row = nullptr;
        for (const CommandRow& c : Commands())
            if (c.kind == CommandKind::Scan && c.code == host.config().SCN_Mode) row = &c;
        if (!row) return QStringLiteral("No scan chosen");
        press(keys, u'S');
        press(keys, QChar::fromLatin1(row->second));
        break;
    }
    case Command::Hello:
        break;
    }
    if (host.Beeps() != beeps) return QStringLiteral("The panel refused it");
    return {};
}

void printUrl(const WebServer& server) {
    const QByteArray line = ("Kelvane web page: " + server.url() + '\n').toLocal8Bit();
    std::fwrite(line.constData(), 1, size_t(line.size()), stdout);
    std::fflush(stdout);
}

bool startServer(WebServer& server, Registry& reg, const QString& at, QString* error) {
    QHostAddress address;
    quint16 port = 0;
    if (!web::parseWebOption(at, &address, &port, error) || !server.listen(address, port, error))
        return false;
    if (reg.RegGet(appKey(), QString(), TokenValue, QString()).toString() != server.token())
        reg.RegSave(appKey(), QString(), TokenValue, server.token());
    return true;
}

} // namespace

bool TakeWebOption(QStringList& args, WebChoice* choice, QString* error) {
    for (qsizetype i = 1; i < args.size();) {
        const QString& a = args[i];
        QString value;
        if (a == QLatin1String("--web")) {
            value.clear();
        } else if (a.startsWith(QLatin1String("--web="))) {
            value = a.mid(6);
            QHostAddress address;
            quint16 port = 0;
            if (!web::parseWebOption(value, &address, &port, error)) return false;
        } else {
            ++i;
            continue;
        }
        choice->given = true;
        choice->value = value;
        args.removeAt(i);
    }
    return true;
}

QString WebOptionHelp() {
    return QStringLiteral("--web[=[ADDRESS:]PORT]  serve the receiver's web page on ADDRESS:PORT,\n"
                          "                      127.0.0.1:8535 by default; prints its address");
}

WebRoom::WebRoom(RoomHost& host)
    : QObject(&host.window()), host_(host), server_(new WebServer(&host.window())) {
    Registry& reg = host.registry();
    WebServer* server = server_;
    // A new token is kept once the page is first served: a start that serves nothing (the
    // port dialog cancelled) writes nothing.
    QString token = reg.RegGet(appKey(), QString(), TokenValue, QString()).toString();
    if (token.size() < 32) token = web::newToken();
    server->setToken(token);
    server->setReadOnly(flag(reg, ReadOnlyValue));
    server->View = [&host, server] { return viewOf(host, *server); };
    server->Lists = [&host] { return listsOf(host); };
    server->Execute = [&host](const web::Request& r) { return execute(host, r); };

    // Every report, at once; the window's own handler has painted the panel by then.
    connect(&host.receiver(), &Nrd535::OnUpd, server, [server] {
        if (server->connectionCount() > 0) server->pushState(nowMs());
    });
    host.WhenLinkChanged(server, [server](bool) { server->pushState(); });
    auto* check = new QTimer(server);
    check->setInterval(StateCheckMs);
    connect(check, &QTimer::timeout, server, [server] { server->pushState(); });
    connect(server, &WebServer::connectionCountChanged, check, [check](int n) {
        if (n > 0 && !check->isActive()) check->start();
        if (n == 0) check->stop();
    });
    // Lists changes come in bursts (a memory file loads 200 rows): one push after them.
    auto* lists = new QTimer(server);
    lists->setSingleShot(true);
    lists->setInterval(50);
    connect(lists, &QTimer::timeout, server, &WebServer::pushLists);
    host.WhenSharedChanged(lists, [lists](const QString& name) {
        if (name == QuickShared || name == ChannelsShared || name == SurveyShared) lists->start();
    });

    // The page's row on the options dialog: shown as kept, applied after OK when changed.
    host.AddOptionsPart(
        {[this] {
             Registry& r = host_.registry();
             auto* row = new WebOptionsRow;
             row->SetChoice(flag(r, OnValue),
                            r.RegGet(appKey(), QString(), AtValue, QString()).toString(),
                            flag(r, ReadOnlyValue));
             row->ShowUrl(server_->isListening() ? server_->url() : QString());
             return row;
         },
         [this](QWidget* part, bool accepted) {
             auto* row = static_cast<WebOptionsRow*>(part);
             Registry& r = host_.registry();
             if (!accepted) return;
             if (row->On() == flag(r, OnValue) &&
                 row->At() == r.RegGet(appKey(), QString(), AtValue, QString()).toString() &&
                 row->ReadOnly() == flag(r, ReadOnlyValue))
                 return;
             QString error;
             if (!Apply(row->On(), row->At(), row->ReadOnly(), &error))
                 QMessageBox::warning(&host_.window(), host_.Title(), error);
         }});

    host.WhenStarted(this, [this] { start(); });
    host.WhenStopping(server, [server] { server->close(); });
}

void WebRoom::start() {
    Registry& reg = host_.registry();
    if (!choice_.given && !flag(reg, OnValue)) return;
    const QString at = choice_.given
                           ? choice_.value
                           : reg.RegGet(appKey(), QString(), AtValue, QString()).toString();
    QString error;
    if (startServer(*server_, reg, at, &error)) {
        if (choice_.given) printUrl(*server_);
        return;
    }
    // Not fatal: the program works on without it.
    qWarning("%s", qUtf8Printable(error));
    auto* box = new QMessageBox(QMessageBox::Warning, host_.Title(), error, QMessageBox::Ok,
                                &host_.window());
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setWindowModality(Qt::NonModal);
    box->show();
}

bool WebRoom::Apply(bool on, const QString& at, bool readOnly, QString* error) {
    Registry& reg = host_.registry();
    reg.RegSave(appKey(), QString(), OnValue, on ? 1 : 0);
    reg.RegSave(appKey(), QString(), AtValue, at);
    reg.RegSave(appKey(), QString(), ReadOnlyValue, readOnly ? 1 : 0);
    server_->setReadOnly(readOnly);
    if (!on) {
        server_->close();
        return true;
    }
    if (startServer(*server_, reg, at, error)) return true;
    server_->close();
    return false;
}
