#pragma once

#include <QString>

// The receiver's S-meter law, raw = 256 - 62.74048 x dB^0.23097 (dB above S0; S9 = 54), as
// the driver's SMCalc converts with it, but continuous: SMCalc counts whole S units below S9,
// six decibels apart, too coarse for a margin of a few decibels. The tests hold both to the
// same law at every point SMCalc gives.
double SMeterDb(int raw);
// The raw reading (0..255) of a level in dB above S0.
int SMeterRaw(double db);
// A raw reading on the S scale as the operator reads it: "S0".."S9", then "S9+4", "S9+10" and
// so on, rounded as SMCalc rounds.
QString SMeterText(int raw);
