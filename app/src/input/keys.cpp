#include "input/keys.h"

#include "core/panel.h"
#include "core/tuner.h"
#include "input/keys_table.h"
#include "scan/scan_engine.h"
#include "settings/settings.h"

#include <fennick/freqs.h>
#include <ostry/nrd535.h>

#include <QClipboard>
#include <QGuiApplication>
#include <cmath>

KeyCommands::KeyCommands(PanelHost& panel, Tuner& tuner, ScanEngine& scan, Nrd535& rx, Freqs& freqs,
                         Settings& settings)
    : panel_(panel), tuner_(tuner), scan_(scan), rx_(rx), freqs_(freqs), settings_(settings) {}

bool KeyCommands::feature(const std::function<void()>& run) {
    if (!run) {
        panel_.WarnBeep();
        return false;
    }
    run();
    return true;
}

// ---- Key-down: F1 and the navigation keys ------------------------------------------------

bool KeyCommands::navigationAllowed() const {
    const ProgramState& s = panel_.State();
    return s.Connected && s.RemoteHeld && !s.PanelLocked && rx_.Fr() >= 0;
}

bool KeyCommands::KeyDown(int key, Qt::KeyboardModifiers modifiers, bool middle) {
    switch (key) {
    case Qt::Key_F1:
        if (!(modifiers & Qt::ShiftModifier)) panel_.ShowHelp();
        return true;
    case Qt::Key_Up:
    case Qt::Key_Down:
    case Qt::Key_Left:
    case Qt::Key_Right:
    case Qt::Key_Home:
    case Qt::Key_PageUp:
    case Qt::Key_PageDown:
    case Qt::Key_Insert:
    case Qt::Key_Delete:
    case Qt::Key_Clear:
        break;
    default:
        return false;
    }
    if (!navigationAllowed()) return true; // navigation keys do nothing then

    // Steps build on the last commanded frequency while the receiver's report of it is due.
    const double f = tuner_.Position();
    // The band plan's position may lag behind a frequency set elsewhere (front panel,
    // another window): steps are those of the band the receiver is in.
    bool approx = false;
    freqs_.Look(f / 1000, approx);
    switch (key) {
    case Qt::Key_Up:
    case Qt::Key_Down: {
        const double factor = ModifierFactor(modifiers);
        const double step = freqs_.Step();
        if (key == Qt::Key_Up) {
            tune(WrapRange(f + std::round(step * factor)));
            break;
        }
        double down = WrapRange(f - std::round(step * factor));
        // Moving down into another band moves by that band's step instead.
        freqs_.Look(down / 1000, approx);
        const double newStep = freqs_.Step();
        if (newStep != step) down = WrapRange(f - std::round(newStep * factor));
        tune(down);
        break;
    }
    case Qt::Key_Left:
    case Qt::Key_Right: {
        const bool right = key == Qt::Key_Right;
        if (!entry_.Empty()) {
            // A typed number followed by an arrow is the new local step, in hertz.
            const double step = std::trunc(entry_.Number());
            if (step < 1) {
                panel_.WarnBeep();
                break;
            }
            panel_.SetTuningStep(step);
            entry_.Clear();
            repaintFromReceiver();
            paintIndicator();
        } else if (AllModifiers(modifiers) || middle) {
            scan_.StartStepping(!right);
        } else {
            const double by = panel_.TuningStep();
            tune(WrapRange(right ? f + by : f - by));
        }
        break;
    }
    case Qt::Key_Home:
        if (modifiers & Qt::ShiftModifier) {
            double hz = f;
            tune(freqs_.FreqSet(hz) * 1000);
        } else {
            tune(std::floor(f / 1000) * 1000);
        }
        break;
    case Qt::Key_PageUp:
    case Qt::Key_PageDown: {
        const bool up = key == Qt::Key_PageUp;
        feature(Features.ActiveSearch
                    ? std::function<void()>([this, up] { Features.ActiveSearch(up); })
                    : std::function<void()>());
        break;
    }
    default: // Insert, Delete, Clear are swallowed
        break;
    }
    return true;
}

// ---- Key-press: characters, Enter, Backspace, Esc, clipboard -------------------------------

bool KeyCommands::KeyPress(int key, const QString& text, Qt::KeyboardModifiers modifiers) {
    const ProgramState& s = panel_.State();
    const bool ctrl = modifiers & Qt::ControlModifier;
    if (ctrl && (key == Qt::Key_V || key == Qt::Key_C)) {
        if (!s.Connected) {
            panel_.WarnBeep();
        } else if (key == Qt::Key_V) {
            paste();
        } else {
            copy();
        }
        return true;
    }
    if (key == Qt::Key_Escape) {
        if (s.Connected)
            escape();
        else
            panel_.WarnBeep();
        return true;
    }

    QChar c;
    if (key == Qt::Key_Return || key == Qt::Key_Enter)
        c = u'\r';
    else if (key == Qt::Key_Backspace)
        c = u'\b';
    else if (!text.isEmpty())
        c = text.at(0).toUpper();
    else
        return false; // a key without a character: nothing to do

    if (!pending_.isNull()) {
        dispatch(c);
        return true;
    }

    const bool locked = s.PanelLocked;
    switch (c.unicode()) {
    case 'L':
    case 'U':
        if (locked || !s.Connected) {
            panel_.WarnBeep();
            break;
        }
        rx_.Hook(c == u'U');
        panel_.SetLinkHeld(rx_.Hook());
        paintIndicator();
        break;
    case 'A':
        if (locked)
            setPending(c); // while a scan runs, A starts an AGC command
        else if (!panel_.ToggleSpectrum())
            panel_.WarnBeep();
        break;
    case 'M':
    case 'F':
    case 'N':
    case '*':
    case 'C':
    case 'S':
    case 'K':
    case 'B':
        setPending(c);
        break;
    case 'R':
        panel_.ClickRegion();
        break;
    case '+':
    case '-':
        if (!s.RemoteHeld || locked || !s.Connected) {
            panel_.WarnBeep();
            break;
        }
        if (modifiers & Qt::ShiftModifier)
            moveKnown(c == u'+');
        else
            moveBand(c == u'+');
        break;
    case '(':
        if (rx_.Fr() >= MinTuneHz)
            quickStore_ = rx_.Fr();
        else
            panel_.WarnBeep();
        break;
    case ')':
        // Only the frequency goes back: the receiver keeps its mode and filter, and its report
        // repaints the digits.
        if (quickStore_ >= MinTuneHz && s.Connected)
            tuner_.Send(quickStore_);
        else
            panel_.WarnBeep();
        break;
    case '[':
    case ']':
        if (rx_.Fr() < MinTuneHz) {
            panel_.WarnBeep();
        } else if (c == u'[') {
            scan_.SetLowerMark(rx_.Fr());
        } else {
            scan_.SetUpperMark(rx_.Fr());
        }
        break;
    case '.':
    case ',':
        if (entry_.AddPoint())
            showTyped();
        else
            panel_.WarnBeep();
        break;
    case '\b':
        if (!entry_.Backspace()) {
            panel_.WarnBeep();
        } else if (entry_.Empty()) {
            repaintFromReceiver();
            paintIndicator();
        } else {
            showTyped();
        }
        break;
    case '\r':
        if (entry_.Empty()) return false; // the window enters the displayed digits
        Enter(double(entry_.Hertz()));
        break;
    case ' ':
        feature(Features.PadAppend);
        // The pad takes the receiver's frequency; a typed value is dropped from the digits.
        entry_.Clear();
        repaintFromReceiver();
        paintIndicator();
        break;
    case '<':
    case '>': {
        const bool next = c == u'>';
        feature(Features.RecordMove
                    ? std::function<void()>([this, next] { Features.RecordMove(next); })
                    : std::function<void()>());
        break;
    }
    default:
        if (c >= u'0' && c <= u'9') {
            if (entry_.AddDigit(char(c.unicode())))
                showTyped();
            else
                panel_.WarnBeep();
        } else {
            panel_.WarnBeep();
        }
        break;
    }
    return true;
}

void KeyCommands::dispatch(QChar second) {
    const QChar prefix = pending_;
    const QString typed = entry_.Text();
    pending_ = QChar();
    const auto withEntry = [&](const std::function<void(QChar, const QString&)>& handler) {
        feature(handler ? std::function<void()>([&] { handler(second, typed); })
                        : std::function<void()>());
    };
    const char p = char(prefix.unicode());
    const char letter = second.unicode() < 128 ? char(second.unicode()) : 0;
    const CommandRow* row = FindCommand(p, letter);
    const bool scan =
        row && (row->kind == CommandKind::Scan || row->kind == CommandKind::ScanNewFile);
    if (row && row->kind == CommandKind::Filter && Features.QuickFilter) {
        // The quick-filter command selects the fixed filters too and re-applies the frequency.
        withEntry(Features.QuickFilter);
        // The filter button cycles on from here.
        if (panel_.State().Connected) panel_.SetFilterPosition(row->code);
    } else if (row && (row->built || scan)) {
        // A scan command keeps its choice even when the scan engine refuses the scan.
        runCommand(*row);
    } else if (p == 'F') {
        withEntry(Features.QuickFilter);
    } else if (p == '*') {
        withEntry(Features.QuickMemory);
    } else if (p == 'C') {
        withEntry(Features.Channel);
    } else if (p == 'B') {
        feature(Features.Database ? std::function<void()>([&] { Features.Database(second); })
                                  : std::function<void()>());
    } else if (p == 'K') {
        feature(Features.KnownList ? std::function<void()>([&] { Features.KnownList(second); })
                                   : std::function<void()>());
    } else {
        panel_.WarnBeep();
    }
    entry_.Clear();
    repaintFromReceiver();
    paintIndicator();
}

void KeyCommands::runCommand(const CommandRow& row) {
    const ProgramState& s = panel_.State();
    switch (row.kind) {
    case CommandKind::Mode:
    case CommandKind::Filter:
    case CommandKind::Agc:
    case CommandKind::NoiseBlanker:
        if (!s.Connected) {
            panel_.WarnBeep();
            return;
        }
        if (row.kind == CommandKind::Mode) {
            panel_.ShowMode(row.code, true);
        } else if (row.kind == CommandKind::Filter) {
            panel_.ShowFilter(row.code, true);
            panel_.SetFilterPosition(row.code); // the filter button cycles on from here
        } else if (row.kind == CommandKind::Agc) {
            panel_.ShowAgc(row.code, true);
        } else {
            panel_.ShowNoiseBlanker(row.code, true);
        }
        return;
    case CommandKind::NoiseWindow:
        panel_.ClickSMeter(false);
        return;
    case CommandKind::NoiseMeasure:
        panel_.ClickSMeter(true);
        return;
    case CommandKind::OnAirWindow:
        feature(Features.OnAirWindow);
        return;
    case CommandKind::Scan:
    case CommandKind::ScanNewFile:
        // The choice is kept even when a scan runs, so the Scan button repeats it.
        settings_.SCN_Mode = row.code;
        // A scan only steps while the receiver is held; refuse rather than lock the panel for
        // a scan that cannot run.
        if (!s.Connected || !s.RemoteHeld || s.Scanning()) {
            panel_.WarnBeep();
            return;
        }
        if (row.kind == CommandKind::ScanNewFile && Features.ForgetScanFile)
            Features.ForgetScanFile();
        scan_.StartScan();
        return;
    }
}

void KeyCommands::escape() {
    switch (panel_.State().Scan) {
    case ScanState::NoiseMeasure:
        feature(Features.NoiseCancel);
        break;
    case ScanState::ActiveSearch:
        feature(Features.ActiveCancel);
        break;
    default:
        break;
    }
    // Whatever the procedure did, Esc leaves the program idle.
    if (panel_.State().Scanning()) panel_.StopScan();
    ClearEntry();
    panel_.FocusPanel();
    repaintFromReceiver();
    paintIndicator();
}

void KeyCommands::Enter(double displayed) {
    const ProgramState& s = panel_.State();
    if (s.RemoteHeld && !s.PanelLocked) {
        if (displayed < MinTuneHz || displayed > MaxTuneHz) {
            panel_.WarnBeep();
            return;
        }
        entry_.Clear();
        tune(displayed);
    } else {
        entry_.Clear();
        repaintFromReceiver();
    }
    paintIndicator();
}

void KeyCommands::ClearEntry() {
    pending_ = QChar();
    entry_.Clear();
}

// ---- Bands, known stations, clipboard ----------------------------------------------------

void KeyCommands::moveBand(bool up) {
    panel_.SetPolling(false); // no band tracking while the band changes
    bool approx = false;
    freqs_.Look(tuner_.Position() / 1000, approx); // from the receiver's band
    const std::string name = freqs_.BandNxt(up);
    panel_.ShowBand(QString::fromStdString(name), false);
    scan_.ClearMarkPosition();
    panel_.TuneTo(freqs_.BandFrq() * 1000, true, false, true);
    panel_.SetPolling(true);
}

void KeyCommands::moveKnown(bool up) {
    panel_.SetPolling(false);
    if (!scan_.MoveKnown(up, [this](double hz) { tune(hz); })) panel_.WarnBeep();
    panel_.SetPolling(true);
}

void KeyCommands::paste() {
    const QClipboard* clipboard = QGuiApplication::clipboard();
    const std::optional<double> hz = clipboard ? ClipboardToHertz(clipboard->text()) : std::nullopt;
    if (!hz) {
        panel_.WarnBeep();
        return;
    }
    tune(*hz);
}

void KeyCommands::copy() {
    const double f = rx_.Fr();
    if (f < 0) {
        panel_.WarnBeep();
        return;
    }
    if (QClipboard* clipboard = QGuiApplication::clipboard())
        clipboard->setText(HertzToClipboard(f));
}

void KeyCommands::RightClick() {
    const QClipboard* clipboard = QGuiApplication::clipboard();
    if (!clipboard || clipboard->text().isEmpty()) return;
    if (!panel_.State().Connected) {
        panel_.WarnBeep();
        return;
    }
    paste();
}

// ---- The wheel ----------------------------------------------------------------------------

void KeyCommands::Wheel(bool forward, bool middle) {
    // Forward acts as Left, backward as Right; with the middle button held they start the
    // stepping scan (forward upwards).
    KeyDown(forward ? Qt::Key_Left : Qt::Key_Right, Qt::NoModifier, middle);
}

// ---- Painting and helpers -----------------------------------------------------------------

void KeyCommands::tune(double hz) {
    scan_.ClearMarkPosition();
    panel_.TuneTo(hz, true, true, true);
}

void KeyCommands::showTyped() {
    panel_.ShowIndicator(PanelHost::Indicator::Pending);
    panel_.ShowDigits(double(entry_.Hertz()));
}

void KeyCommands::repaintFromReceiver() {
    const double f = rx_.Fr();
    if (f >= 0) panel_.TuneTo(f, false, true, true);
}

void KeyCommands::paintIndicator() {
    panel_.ShowIndicator(!pending_.isNull() || !entry_.Empty() ? PanelHost::Indicator::Pending
                                                               : PanelHost::Indicator::Idle);
}

void KeyCommands::setPending(QChar c) {
    pending_ = c;
    panel_.ShowIndicator(PanelHost::Indicator::Pending);
}
