#include <halvard/meter.h>

#include <QApplication>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    Meter meter;
    meter.show();
    return app.exec();
}
