#include "ui/web_wiring.h"

#include "input/keys.h"
#include "input/keys_table.h"
#include "memory/memory_table.h"
#include "noise/smeter_procedures.h"
#include "settings/registry.h"
#include "ui/lists_wiring.h"
#include "ui/main_window.h"
#include "ui/memory_wiring.h"
#include "ui/noise_wiring.h"
#include "ui/opts.h"
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
                                        "stepping scan"};
    const int i = int(s);
    return i >= 0 && i < int(std::size(names)) ? QString::fromLatin1(names[i]) : QString();
}

web::PanelView viewOf(Main& main, const WebServer& server) {
    web::PanelView v;
    const ProgramState& ps = main.State();
    const ostry::ReceiverState& st = main.receiver().state();
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
    v.modeText = main.MD->text();
    v.filterText = main.FT->text();
    v.agcText = main.AG->text();
    v.attText = main.AT->text();
    v.nbText = main.NB->text();
    v.squelchText = main.SQ->text();
    v.smeterText = main.SM->text();
    v.band = main.Band->text();
    v.recordTag = main.LblCHN->text();
    v.recordNumber = main.CHN->text();
    v.station = main.FCom->isVisible() ? main.FCom->text() : QString();
    v.bandStep = main.STP[1]->text().toInt();
    v.localStep = main.TuningStep();
    return v;
}

web::ListsView listsOf(Main& main) {
    web::ListsView l;
    Nrd535& rx = main.receiver();
    const auto rows = [&rx](std::span<const MemoryRecord> records) {
        QList<web::MemoryView> out;
        for (const MemoryRecord& r : records)
            out.append({r.Frequency, r.Frequency > 0 ? rx.MDDesc(ostry::MD(r.Mode)) : QString(),
                        r.Comment});
        return out;
    };
    if (auto* memory = main.findChild<MemoryRoom*>()) {
        l.memories = rows(memory->Quick().Rows());
        l.channels = rows(memory->Channels().Rows());
    }
    if (auto* noise = main.findChild<NoiseRoom*>()) {
        l.noise = noise->Survey.Levels;
        l.noiseMean = noise->Survey.Mean;
        l.noiseWhen = (noise->Survey.Date + u' ' + noise->Survey.Time).trimmed();
    }
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

QString execute(Main& main, const web::Request& r) {
    const ProgramState& s = main.State();
    KeyCommands& keys = main.keys();
    const int beeps = main.BeepCount;
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
            if (c.kind == CommandKind::Scan && c.code == main.settings.SCN_Mode) row = &c;
        if (!row) return QStringLiteral("No scan chosen");
        press(keys, u'S');
        press(keys, QChar::fromLatin1(row->second));
        break;
    }
    case Command::Hello:
        break;
    }
    if (main.BeepCount != beeps) return QStringLiteral("The panel refused it");
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

// The page's row on the options dialog: shown as kept, applied after OK.
std::function<void(bool)> optionsPart(Main& main, Registry& reg, Opts& opts) {
    auto* row = new WebOptionsRow;
    const QString at = reg.RegGet(appKey(), QString(), AtValue, QString()).toString();
    const bool on = flag(reg, OnValue), readOnly = flag(reg, ReadOnlyValue);
    row->SetChoice(on, at, readOnly);
    auto* server = main.findChild<WebServer*>();
    row->ShowUrl(server && server->isListening() ? server->url() : QString());
    opts.AddGeneralRow(row);
    return [&main, &reg, row = QPointer<WebOptionsRow>(row), on, at, readOnly](bool accepted) {
        if (!accepted || !row) return;
        if (row->On() == on && row->At() == at && row->ReadOnly() == readOnly) return;
        QString error;
        if (!ApplyWeb(main, reg, row->On(), row->At(), row->ReadOnly(), &error))
            QMessageBox::warning(&main, main.ProgramTitle, error);
    };
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

WebServer* WireWeb(Main& main, Registry& reg, const WebChoice& choice) {
    auto* server = new WebServer(&main);
    // A new token is kept once the page is first served: a start that serves nothing (the
    // port dialog cancelled) writes nothing.
    QString token = reg.RegGet(appKey(), QString(), TokenValue, QString()).toString();
    if (token.size() < 32) token = web::newToken();
    server->setToken(token);
    server->setReadOnly(flag(reg, ReadOnlyValue));
    server->View = [&main, server] { return viewOf(main, *server); };
    server->Lists = [&main] { return listsOf(main); };
    server->Execute = [&main](const web::Request& r) { return execute(main, r); };

    // Every report, at once; the window's own handler has painted the panel by then.
    QObject::connect(&main.receiver(), &Nrd535::OnUpd, server, [server] {
        if (server->connectionCount() > 0) server->pushState(nowMs());
    });
    QObject::connect(&main, &Main::linkChanged, server, [server] { server->pushState(); });
    auto* check = new QTimer(server);
    check->setInterval(StateCheckMs);
    QObject::connect(check, &QTimer::timeout, server, [server] { server->pushState(); });
    QObject::connect(server, &WebServer::connectionCountChanged, check, [check](int n) {
        if (n > 0 && !check->isActive()) check->start();
        if (n == 0) check->stop();
    });
    // Lists changes come in bursts (a memory file loads 200 rows): one push after them.
    auto* lists = new QTimer(server);
    lists->setSingleShot(true);
    lists->setInterval(50);
    QObject::connect(lists, &QTimer::timeout, server, &WebServer::pushLists);
    QObject::connect(&main, &Main::started, server, [&main, lists] {
        if (auto* memory = main.findChild<MemoryRoom*>()) {
            for (MemoryTable* t : {static_cast<MemoryTable*>(&memory->Quick()),
                                   static_cast<MemoryTable*>(&memory->Channels())})
                QObject::connect(t, &MemoryTable::rowsChanged, lists, [lists] { lists->start(); });
        }
        if (auto* noise = main.findChild<NoiseRoom*>())
            QObject::connect(&noise->Procedures(), &SMeterProcedures::SurveyFinished, lists,
                             [lists] { lists->start(); });
    });
    if (auto* rooms = main.findChild<ListsRoom*>())
        rooms->OptionsParts.push_back(
            [&main, &reg](Opts& opts) { return optionsPart(main, reg, opts); });

    const bool on = choice.given || flag(reg, OnValue);
    if (on) {
        const QString at = choice.given
                               ? choice.value
                               : reg.RegGet(appKey(), QString(), AtValue, QString()).toString();
        const bool print = choice.given;
        QObject::connect(&main, &Main::started, server, [server, at, print, &main, &reg] {
            QString error;
            if (startServer(*server, reg, at, &error)) {
                if (print) printUrl(*server);
                return;
            }
            // Not fatal: the program works on without it.
            qWarning("%s", qUtf8Printable(error));
            auto* box = new QMessageBox(QMessageBox::Warning, main.windowTitle(), error,
                                        QMessageBox::Ok, &main);
            box->setAttribute(Qt::WA_DeleteOnClose);
            box->setWindowModality(Qt::NonModal);
            box->show();
        });
    }
    QObject::connect(&main, &Main::stopping, server, &WebServer::close);
    return server;
}

bool ApplyWeb(Main& main, Registry& reg, bool on, const QString& at, bool readOnly,
              QString* error) {
    auto* server = main.findChild<WebServer*>();
    if (!server) {
        if (error) *error = QStringLiteral("The web page is not part of this window");
        return false;
    }
    reg.RegSave(appKey(), QString(), OnValue, on ? 1 : 0);
    reg.RegSave(appKey(), QString(), AtValue, at);
    reg.RegSave(appKey(), QString(), ReadOnlyValue, readOnly ? 1 : 0);
    server->setReadOnly(readOnly);
    if (!on) {
        server->close();
        return true;
    }
    if (startServer(*server, reg, at, error)) return true;
    server->close();
    return false;
}
