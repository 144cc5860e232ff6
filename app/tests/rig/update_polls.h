#pragma once

// The main window's update timer as far as the rigs need it.

#include "core/program_state.h"
#include "core/scan_state.h"
#include "core/status_polls.h"

#include <ostry/nrd535.h>

#include <QObject>
#include <QTimer>

#include <functional>

// Every 100 ms of tick the driver asks for the filter, noise blanker and squelch, and for the
// S-meter unless a survey or search is reading it (state.Scan), as the main window's timer
// does; the S-meter of every status report goes to onSMeter. Start tick to run it; the reports
// stop reaching onSMeter when tick goes, so declare tick after what onSMeter uses.
inline void WireUpdatePolls(QTimer& tick, Nrd535& rx, const ProgramState& state,
                            std::function<void(int)> onSMeter) {
    QObject::connect(&rx, &Nrd535::OnUpd, &tick,
                     [onSMeter](double, ostry::MD, ostry::FT, ostry::AG, ostry::ONOFF, qint16,
                                qint16 sm, ostry::ONOFF) { onSMeter(sm); });
    tick.setInterval(100);
    QObject::connect(&tick, &QTimer::timeout, &rx, [&rx, &state] { PollStatus(rx, state.Scan); });
}
