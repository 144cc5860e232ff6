// kelvane-db: the database's side of the link with a running Kelvane, for scripts and loggers.
// Prints every message Kelvane publishes on standard output, one per line, and sends the texts
// given on the command line, or else the lines of standard input, once Kelvane has linked back.

#include "link/database_peer.h"
#include "link/link_bus.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QSocketNotifier>
#include <QStringList>
#include <QTimer>

#include <cstdio>
#include <unistd.h>

namespace {

void note(const QString& text) {
    std::fprintf(stderr, "kelvane-db: %s\n", qPrintable(text));
    std::fflush(stderr);
}

// Collects the lines of standard input as they arrive; `done` once it is closed.
class StdinLines : public QObject {
public:
    std::function<void(const QString&)> line;
    std::function<void()> done;

    void start() {
        notifier_ = new QSocketNotifier(STDIN_FILENO, QSocketNotifier::Read, this);
        connect(notifier_, &QSocketNotifier::activated, this, [this] { readSome(); });
    }

private:
    void readSome() {
        char chunk[4096];
        const ssize_t n = ::read(STDIN_FILENO, chunk, sizeof chunk);
        if (n > 0) {
            pending_.append(chunk, n);
            qsizetype end;
            while ((end = pending_.indexOf('\n')) >= 0) {
                QByteArray text = pending_.left(end);
                pending_.remove(0, end + 1);
                if (text.endsWith('\r')) text.chop(1);
                line(QString::fromUtf8(text));
            }
            return;
        }
        if (n < 0 && errno == EINTR) return;
        notifier_->setEnabled(false);
        if (!pending_.isEmpty()) line(QString::fromUtf8(pending_));
        pending_.clear();
        done();
    }

    QSocketNotifier* notifier_ = nullptr;
    QByteArray pending_;
};

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("kelvane-db"));

    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Plays the database's side of the link with a running Kelvane: prints "
                       "every message Kelvane publishes, one per line, and sends the MESSAGEs "
                       "(or else the lines of standard input) once Kelvane has linked back."));
    parser.addHelpOption();
    QCommandLineOption nameOption(QStringLiteral("name"),
                                  QStringLiteral("Database name Kelvane links back to (its "
                                                 "\"DDE_Database\" setting); default Morrowby."),
                                  QStringLiteral("NAME"), QStringLiteral("Morrowby"));
    QCommandLineOption programOption(QStringLiteral("program"),
                                     QStringLiteral("Kelvane's application name; default kelvane."),
                                     QStringLiteral("APP"), QStringLiteral("kelvane"));
    QCommandLineOption listenOption(
        QStringLiteral("listen"),
        QStringLiteral("Keep running (and printing) after the MESSAGEs are sent or standard "
                       "input ends, until interrupted."));
    QCommandLineOption timeoutOption(
        QStringLiteral("timeout"),
        QStringLiteral("Seconds to wait for Kelvane to link back before giving up (0: wait for "
                       "ever); default 30."),
        QStringLiteral("SECONDS"), QStringLiteral("30"));
    parser.addOptions({nameOption, programOption, listenOption, timeoutOption});
    parser.addPositionalArgument(
        QStringLiteral("MESSAGE"),
        QStringLiteral("Texts to send, e.g. \"S|7125000|USB|Narrow|Slow|0\"."));
    parser.process(app);

    const QStringList given = parser.positionalArguments();
    for (const QString& text : given) {
        QString why;
        if (!ddebus::AcceptableText(text, &why)) {
            note(QStringLiteral("refused \"%1\": %2").arg(text.left(40), why));
            return 2;
        }
    }
    bool okTimeout = false;
    const int timeout = parser.value(timeoutOption).toInt(&okTimeout);
    if (!okTimeout || timeout < 0) {
        note(QStringLiteral("--timeout wants a number of seconds"));
        return 2;
    }
    const bool listen = parser.isSet(listenOption);
    const bool readStdin = given.isEmpty();

    DatabasePeer peer(QDBusConnection::sessionBus());
    QString error;
    if (!peer.Start(parser.value(nameOption), parser.value(programOption), &error)) {
        note(error);
        return 2;
    }

    QStringList queue = given;
    bool inputDone = !readStdin;
    int status = 0;
    auto finish = [&](int code) {
        status = code;
        peer.Close();
        QCoreApplication::exit(code);
    };
    // Everything queued goes out once Kelvane hears it; then, with nothing more to come, end.
    auto flush = [&] {
        if (!peer.Linked()) return;
        while (!queue.isEmpty()) {
            const QString text = queue.takeFirst();
            QString why;
            if (!peer.Send(text, &why))
                note(QStringLiteral("not sent \"%1\": %2").arg(text.left(40), why));
        }
        if (inputDone && !listen) finish(0);
    };

    QObject::connect(&peer, &DatabasePeer::Message, &app, [](const QString& text) {
        std::fputs(qPrintable(text), stdout);
        std::fputc('\n', stdout);
        std::fflush(stdout);
    });
    QObject::connect(&peer, &DatabasePeer::Opened, &app,
                     [] { note(QStringLiteral("conversation open, waiting for the link back")); });
    QObject::connect(&peer, &DatabasePeer::OpenFailed, &app, [&](const QString& why) {
        note(QStringLiteral("Kelvane refused the conversation: ") + why);
        finish(1);
    });
    QObject::connect(&peer, &DatabasePeer::LinkedChanged, &app, [&](bool linked) {
        note(linked ? QStringLiteral("linked") : QStringLiteral("link closed"));
        if (linked) flush();
    });

    StdinLines input;
    if (readStdin) {
        input.line = [&](const QString& text) {
            queue.append(text);
            flush();
        };
        input.done = [&] {
            inputDone = true;
            if (listen) return;
            // Nothing queued: nothing left to wait for.
            if (queue.isEmpty())
                finish(0);
            else
                flush();
        };
        input.start();
    }

    QTimer giveUp;
    giveUp.setSingleShot(true);
    QObject::connect(&giveUp, &QTimer::timeout, &app, [&] {
        if (peer.Linked()) return;
        note(QStringLiteral("Kelvane did not link back within %1 s").arg(timeout));
        finish(1);
    });
    if (timeout > 0 && !listen) giveUp.start(timeout * 1000);

    if (peer.ProgramService().isEmpty()) return 2;
    note(QStringLiteral("waiting for %1").arg(peer.ProgramService()));
    peer.Open();
    const int code = app.exec();
    return code ? code : status;
}
