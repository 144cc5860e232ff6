#include "scan/signal_stop.h"

#include "scan/smeter_scale.h"

#include <algorithm>

int SignalStop::FloorAt(double hz) const {
    const int segment = std::clamp(int(hz / 1000000), 0, FloorSegments - 1);
    const int level = m_floors[size_t(segment)];
    return level > 0 ? level : m_options.DefaultFloor;
}

double SignalStop::DbAboveFloor(int raw, double hz) const {
    return SMeterDb(raw) - SMeterDb(FloorAt(hz));
}

bool SignalStop::Above(int raw, double hz) const {
    return DbAboveFloor(raw, hz) >= m_options.MarginDb;
}

void SignalStop::Begin(double hz, int raw, qint64 nowMs) {
    m_stopped = true;
    m_stop = Stop{};
    m_stop.Hz = hz;
    m_stop.PeakRaw = raw;
    m_stop.PeakDb = DbAboveFloor(raw, hz);
    m_stop.StartMs = m_stop.LastHeardMs = nowMs;
}

bool SignalStop::Reading(int raw, qint64 nowMs) {
    if (!m_stopped) return false;
    if (Above(raw, m_stop.Hz)) {
        m_stop.LastHeardMs = nowMs;
        m_stop.GoneSinceMs = -1;
        if (raw < m_stop.PeakRaw) {
            m_stop.PeakRaw = raw;
            m_stop.PeakDb = DbAboveFloor(raw, m_stop.Hz);
        }
    } else if (m_stop.GoneSinceMs < 0) {
        m_stop.GoneSinceMs = nowMs;
    }
    return Due(nowMs);
}

bool SignalStop::Due(qint64 nowMs) const {
    if (!m_stopped) return false;
    switch (m_options.Resume) {
    case ResumeRule::Key:
        return false;
    case ResumeRule::Hang:
        return m_stop.GoneSinceMs >= 0 && nowMs - m_stop.GoneSinceMs >= m_options.HangMs;
    case ResumeRule::Dwell:
        return nowMs - m_stop.StartMs >= m_options.DwellMs;
    }
    return false;
}

SignalStop::Stop SignalStop::End() {
    m_stopped = false;
    return m_stop;
}
