#include "minihelp.h"

MiniHelp::MiniHelp(QWidget* parent) : QWidget(parent) {}
