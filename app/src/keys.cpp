#include "keys.h"

KeyCommands::KeyCommands(Main& main) : main_(main) {}
