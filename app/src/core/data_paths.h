#pragma once

#include <QString>

// The folder of the data the program ships (the default "import.cnf"): share/kelvane beside
// the installed program, or app/data of the source tree when run from the build folder; empty
// when neither exists.
QString ShippedDataDir();
