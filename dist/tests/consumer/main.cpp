// ostry-consumer DEVICE: opens the receiver driver on DEVICE, connects, and prints the first
// status the receiver reports. Exits 0 once a status arrived, 1 when none came in time.
#include <fennick/freqs.h>
#include <ostry/nrd535.h>
#include <ostry/serialline.h>

#include <QCoreApplication>
#include <QTimer>

#include <cstdio>

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: ostry-consumer DEVICE\n");
        return 2;
    }
    ostry::setPortDevice(1, QString::fromLocal8Bit(argv[1]));
    Nrd535 rx;
    rx.setMessageDisplay([](const QString& text) {
        std::fprintf(stderr, "ostry-consumer: %s\n", qPrintable(text));
    });
    rx.Baud(QStringLiteral("4800"));
    rx.Port(1);
    if (!rx.fOpen()) return 1;

    QObject::connect(&rx, &Nrd535::OnUpd, &app, [&](double fr, ostry::MD md) {
        std::printf("%s %s\n", qPrintable(rx.FRDesc(fr)), qPrintable(rx.MDDesc(md)));
        std::fflush(stdout);
        app.exit(0);
    });
    QTimer::singleShot(0, &rx, [&rx] { rx.Conn(); });
    QTimer::singleShot(15000, &app, [&app] { app.exit(1); });
    const int rc = app.exec();
    rx.Disc();
    rx.fClose();

    // The frequency database links and answers too.
    Freqs freqs;
    std::printf("labels: %s\n", freqs.Label(0).c_str());
    return rc;
}
