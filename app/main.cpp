// kelvane: remote control of the NRD-535 receiver. The start-up work lives in Main::Load.
#include <QApplication>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    return 0;
}
