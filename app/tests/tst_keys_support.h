#pragma once

// Helpers shared by the key and scan tests: key scripts typed into the real window, and waits
// that let the simulated receiver report before the next key.

#include "core/tuner.h"
#include "core/units.h"
#include "fixture.h"
#include "ui/frequency_digits.h"

#include <ostry/nrd535.h>

#include <QApplication>
#include <QTest>

// Hive lines that keep the band plan's mode and filter out of the way of the key tests.
inline QStringList NoBandDefaults() {
    return {QStringLiteral("\"BND_AutoMD\"=dword:00000000"),
            QStringLiteral("\"BND_AutoFT\"=dword:00000000")};
}

// Waits until the program has seen the receiver settle: every line written has arrived, the
// receiver's reports are out, and the driver's frequency is the receiver's.
inline void Settle(KelvaneFixture& fx, QStringList* lines = nullptr) {
    const QStringList got = fx.takeLines();
    if (lines) *lines += got;
    KelvaneFixture::waitFor([&] {
        return fx.sim.pendingOutput() == 0 &&
               fx.main->receiver().Fr() == double(fx.sim.settings().hz);
    });
}

// Tunes the receiver from its own front panel and waits for the program to follow.
inline bool PanelTune(KelvaneFixture& fx, qint64 hz) {
    fx.sim.panelTune(hz);
    // The poll behind it makes sure the whole report is taken in.
    fx.clearLines();
    return KelvaneFixture::waitFor([&] { return fx.main->receiver().Fr() == double(hz); });
}

// A connected window on the simulator with the band plan's defaults out of the way, its
// receiver at hz and, when held, under remote control; the lines of the start are dropped.
inline bool Ready(KelvaneFixture& fx, qint64 hz, bool held = true);

// Takes the receiver under remote control with the "U" key.
inline bool Hold(KelvaneFixture& fx) {
    QTest::keyClick(fx.main->Dummy, 'u');
    const bool ok = KelvaneFixture::waitFor([&] { return fx.main->State().RemoteHeld; });
    fx.clearLines();
    return ok;
}

// Types a key script into the window's focused control: plain characters, or braces around a
// key name with optional modifier letters (S Shift, C Ctrl, A Alt, K keypad): "{CS-Up}",
// "{Enter}", "{S-+}". After each key the receiver is given time to report, as an operator
// would. Returns the command lines the keys sent.
inline QStringList Type(KelvaneFixture& fx, const QString& script) {
    QStringList lines;
    Main& m = *fx.main;
    for (qsizetype i = 0; i < script.size(); ++i) {
        Qt::KeyboardModifiers mods;
        QWidget* target = m.focusWidget() ? m.focusWidget() : m.Dummy;
        if (script.at(i) != u'{') {
            QTest::keyClick(target, script.at(i).toLatin1(), mods);
            Settle(fx, &lines);
            continue;
        }
        const qsizetype close = script.indexOf(u'}', i + 2);
        QString name = script.mid(i + 1, close - i - 1);
        i = close;
        const qsizetype dash = name.indexOf(u'-');
        if (dash > 0) {
            for (QChar c : name.left(dash)) {
                if (c == u'S') mods |= Qt::ShiftModifier;
                if (c == u'C') mods |= Qt::ControlModifier;
                if (c == u'A') mods |= Qt::AltModifier;
                if (c == u'K') mods |= Qt::KeypadModifier;
            }
            name = name.mid(dash + 1);
        }
        static const QHash<QString, Qt::Key> keys{
            {"Up", Qt::Key_Up},       {"Down", Qt::Key_Down},     {"Left", Qt::Key_Left},
            {"Right", Qt::Key_Right}, {"Home", Qt::Key_Home},     {"Enter", Qt::Key_Return},
            {"Esc", Qt::Key_Escape},  {"BS", Qt::Key_Backspace},  {"F1", Qt::Key_F1},
            {"PgUp", Qt::Key_PageUp}, {"PgDn", Qt::Key_PageDown}, {"Del", Qt::Key_Delete},
            {"Space", Qt::Key_Space}, {"F5", Qt::Key_F5},
        };
        if (keys.contains(name))
            QTest::keyClick(target, keys.value(name), mods);
        else
            QTest::keyClick(target, name.at(0).toLatin1(), mods);
        Settle(fx, &lines);
    }
    return lines;
}

// Lines that tune (F) only.
inline QStringList TuneLines(const QStringList& lines) {
    QStringList out;
    for (const QString& l : lines)
        if (l.startsWith(u'F')) out << l;
    return out;
}

inline bool Ready(KelvaneFixture& fx, qint64 hz, bool held) {
    if (!fx.ok()) return false;
    fx.clearLines();
    if (!PanelTune(fx, hz)) return false;
    return !held || Hold(fx);
}
