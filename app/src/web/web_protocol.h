#pragma once

// The web page's messages, as plain functions and values: the page's requests (JSON text over
// the WebSocket, parsed and checked here before anything reaches the panel), the state and lists
// the program pushes, the server's address option and its token.

#include <QByteArray>
#include <QByteArrayView>
#include <QHostAddress>
#include <QList>
#include <QString>

#include <array>

namespace web {

// A request longer than this is answered with an error (the connection stays).
constexpr qsizetype MaxMessageBytes = 4096;
constexpr quint16 DefaultPort = 8535;

enum class Command {
    Tune,         // hz
    Step,         // value +1 up / -1 down; band: the band plan's step, else the local step
    Mode,         // value: 0 RTTY, 1 CW, 2 USB, 3 LSB, 4 AM, 5 FM, 6 FAX
    Filter,       // value: 0 wide, 1 intermediate, 2 narrow, 3 auxiliary
    Agc,          // value: 0 slow, 1 fast
    NoiseBlanker, // value: 0 off, 1, 2
    Hold,         // value 1 takes the receiver under remote control, 0 leaves it
    Memory,       // value: quick memory 0..9
    Channel,      // value: channel 0..199
    Scan,         // value 1 starts the scan chosen last, 0 stops any scan or procedure
    Hello,        // the page asks for the state and lists again
};

struct Request {
    Command command = Command::Hello;
    double hz = 0;
    int value = 0;
    bool band = false;
    // The page's number for the request, echoed in the answer; -1 when it gave none.
    qint64 id = -1;
};

struct Parsed {
    bool ok = false;
    Request request;
    QString error; // when !ok
};

// Reads one text message. Errors name what was wrong; the id, when it reads, is kept for the
// answer even then.
Parsed parseRequest(QByteArrayView text);

// True for requests that change the receiver (refused on a read-only server).
bool changesReceiver(Command command);

// Answers to a request: done, refused by the panel (with the reason) or malformed.
QByteArray doneMessage(qint64 id);
QByteArray refusedMessage(qint64 id, const QString& reason);
QByteArray errorMessage(qint64 id, const QString& reason);

// What the page shows of the panel.
struct PanelView {
    bool connected = false;
    bool held = false;
    bool locked = false;
    bool readOnly = false;
    QString scan; // "" when idle, else the scan or procedure running
    double hz = -1;
    int mode = -1, filter = -1, agc = -1, noiseBlanker = -1;
    QString modeText, filterText, agcText, attText, nbText, squelchText, smeterText;
    bool attenuator = false;
    bool squelchOpen = false;
    int smeterRaw = -1; // 0..255, larger is weaker; -1 before a reading
    QString band;
    bool bandFlagged = false;
    QString recordTag, recordNumber, station;
    int bandStep = 0;
    double localStep = 0;

    bool operator==(const PanelView&) const = default;
};

// The S-meter's strength in dB above S0 from its raw reading, as the receiver's scale has it
// (raw = 256 - 62.74 * dB^0.231); 0 for no signal.
double smeterDb(int raw);

// {"type":"state",...}; `at` is when the receiver's report came (ms since the epoch).
QByteArray stateMessage(const PanelView& view, double at);

struct MemoryView {
    double hz = 0; // 0: empty
    QString mode;
    QString comment;
};
struct ListsView {
    QList<MemoryView> memories;
    QList<MemoryView> channels;
    // The last noise survey: the weakest raw reading per megahertz (0: none), with its date.
    std::array<int, 30> noise{};
    int noiseMean = 0;
    QString noiseWhen;
};
QByteArray listsMessage(const ListsView& lists);

// --web's value: empty gives 127.0.0.1:8535, "PORT" listens on 127.0.0.1, "ADDRESS:PORT" or
// "[IPv6]:PORT" on that address (port 0: any free one). False (and `error` set) otherwise.
bool parseWebOption(const QString& value, QHostAddress* address, quint16* port,
                    QString* error = nullptr);

// A new random token: 32 characters of [0-9a-f].
QString newToken();
// True when `given` is the token (compared in constant time).
bool tokenMatches(const QString& given, const QString& token);

// The page's address with the token, for the operator to open.
QString pageUrl(const QString& host, quint16 port, const QString& token);

} // namespace web
