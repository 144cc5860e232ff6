#pragma once

#include "noise/noise_file.h"

#include <QObject>
#include <QPointer>

class RoomHost;
class RxNoise;
class SMeterProcedures;

// The noise room in the window: the survey held by the program, the survey and search
// procedures, and the noise-floor window; the S-meter label and its keys, Page Up and Page
// Down, Esc during a survey or search, the S-meter readings while they run, and the start-up
// read of the last survey. A child of the window.
class NoiseRoom : public QObject {
    Q_OBJECT
public:
    explicit NoiseRoom(RoomHost& host);

    NoiseSurvey Survey;
    SMeterProcedures& Procedures() const { return *m_proc; }
    // The noise-floor window: modeless from the S-meter label, modal after a survey.
    RxNoise* ShowWindow(bool modal);
    RxNoise* Window() const;

private:
    RoomHost& m_host;
    SMeterProcedures* m_proc = nullptr;
    QPointer<RxNoise> m_window;
};
