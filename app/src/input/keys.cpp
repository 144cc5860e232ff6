#include "input/keys.h"
#include "ui/panel_colours.h"

#include "input/keys_table.h"
#include "ui/main_window.h"
#include "ui/minihelp.h"
#include "scan/scan_engine.h"

#include <fennick/freqs.h>
#include <halvard/meter.h>
#include <ostry/nrd535.h>

#include <QApplication>
#include <QClipboard>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QTimer>
#include <QWheelEvent>
#include <cmath>
#include <span>

using namespace panel;

namespace {

bool IsModifierKey(int key) {
    return key == Qt::Key_Shift || key == Qt::Key_Control || key == Qt::Key_Alt ||
           key == Qt::Key_Meta || key == Qt::Key_AltGr || key == Qt::Key_CapsLock ||
           key == Qt::Key_NumLock;
}

// One notch of a wheel, in eighths of a degree.
constexpr int WheelNotch = 120;

} // namespace

KeyCommands::KeyCommands(Main& main) : QObject(&main), main_(main) {
    if (qApp) qApp->installEventFilter(this);
    connect(&main_, &Main::backgroundClicked, this, [this] {
        EndDigitEditing();
        ClearEntry();
        paintIndicator();
    });
}

KeyCommands::~KeyCommands() {
    if (qApp) qApp->removeEventFilter(this);
    delete help_.data();
}

MiniHelp& KeyCommands::Help() {
    if (!help_) {
        help_ = new MiniHelp(&main_);
        // The settings keep where the operator left the window; shutdown writes them.
        connect(help_, &MiniHelp::positionChanged, this, [this](int left, int top) {
            main_.settings.HelpLeft = left;
            main_.settings.HelpTop = top;
        });
    }
    return *help_;
}

// ---- Event routing ------------------------------------------------------------------------

bool KeyCommands::eventFilter(QObject* watched, QEvent* event) {
    const QEvent::Type type = event->type();
    if (type != QEvent::KeyPress && type != QEvent::Wheel && type != QEvent::MouseButtonPress &&
        type != QEvent::FocusIn && type != QEvent::FocusOut)
        return false;
    auto* widget = qobject_cast<QWidget*>(watched);
    if (!widget || widget->window() != &main_) return false;

    switch (type) {
    case QEvent::KeyPress: {
        auto* key = static_cast<QKeyEvent*>(event);
        const int box = digitBoxOf(watched);
        if (box >= 0 && digitKey(box, key)) return true;
        keyEvent(key);
        // Every key of the window is taken here: the hidden entry box must not collect text.
        return true;
    }
    case QEvent::Wheel:
        wheelEvent(static_cast<QWheelEvent*>(event));
        return true;
    case QEvent::MouseButtonPress: {
        auto* mouse = static_cast<QMouseEvent*>(event);
        // A right press anywhere on the window pastes, once: only where it is first delivered
        // (the widget under the pointer), not again as it travels up to the parents.
        if (mouse->button() == Qt::RightButton) {
            QWidget* under = main_.childAt(main_.mapFromGlobal(mouse->globalPosition().toPoint()));
            if (watched == (under ? under : &main_)) RightClick();
        }
        const int box = digitBoxOf(watched);
        if (box >= 0 && mouse->button() == Qt::LeftButton) digitIndex_ = box;
        return false;
    }
    case QEvent::FocusIn: {
        const int box = digitBoxOf(watched);
        if (box >= 0) {
            digitEditing_ = true;
            digitIndex_ = box;
            // After the line edit placed its cursor for the click.
            QTimer::singleShot(0, main_.FrqDigit[box], &QLineEdit::selectAll);
        }
        return false;
    }
    case QEvent::FocusOut: {
        const int box = digitBoxOf(watched);
        if (box >= 0) {
            main_.FrqDigit[box]->deselect();
            digitEditing_ = false;
        }
        return false;
    }
    default:
        return false;
    }
}

bool KeyCommands::keyEvent(QKeyEvent* event) {
    const int key = event->key();
    if (IsModifierKey(key)) return true;
    if (KeyDown(key, event->modifiers())) return true;
    return KeyPress(key, event->text(), event->modifiers());
}

void KeyCommands::wheelEvent(QWheelEvent* event) {
    wheelRest_ += event->angleDelta().y();
    const bool middle = event->buttons() & Qt::MiddleButton;
    while (wheelRest_ >= WheelNotch) {
        wheelRest_ -= WheelNotch;
        Wheel(true, middle);
    }
    while (wheelRest_ <= -WheelNotch) {
        wheelRest_ += WheelNotch;
        Wheel(false, middle);
    }
}

// ---- Key-down: F1 and the navigation keys ------------------------------------------------

bool KeyCommands::navigationAllowed() const {
    return main_.Connected && main_.RemoteHeld && !main_.PanelLocked && main_.receiver().Fr() >= 0;
}

bool KeyCommands::KeyDown(int key, Qt::KeyboardModifiers modifiers) {
    return keyDown(key, modifiers, false);
}

bool KeyCommands::keyDown(int key, Qt::KeyboardModifiers modifiers, bool middle) {
    switch (key) {
    case Qt::Key_F1:
        if (!(modifiers & Qt::ShiftModifier)) showHelp();
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

    Nrd535& rx = main_.receiver();
    Freqs& freqs = main_.freqs();
    const double f = rx.Fr();
    // The band plan's position may lag behind a frequency set elsewhere (front panel,
    // another window): steps are those of the band the receiver is in.
    bool approx = false;
    freqs.Look(f / 1000, approx);
    switch (key) {
    case Qt::Key_Up:
    case Qt::Key_Down: {
        const double factor = ModifierFactor(modifiers);
        const double step = freqs.Step();
        if (key == Qt::Key_Up) {
            tune(WrapRange(f + std::round(step * factor)));
            break;
        }
        double down = WrapRange(f - std::round(step * factor));
        // Moving down into another band moves by that band's step instead.
        freqs.Look(down / 1000, approx);
        const double newStep = freqs.Step();
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
                main_.WarnBeep();
                break;
            }
            main_.TuningStep = step;
            main_.STP[0]->setText(QString::number(step, 'f', 0));
            entry_.Clear();
            repaintFromReceiver();
            paintIndicator();
        } else if (AllModifiers(modifiers) || middle) {
            main_.scan().StartStepping(!right);
        } else {
            tune(WrapRange(right ? f + main_.TuningStep : f - main_.TuningStep));
        }
        break;
    }
    case Qt::Key_Home:
        if (modifiers & Qt::ShiftModifier) {
            double hz = f;
            tune(freqs.FreqSet(hz) * 1000);
        } else {
            tune(std::floor(f / 1000) * 1000);
        }
        break;
    case Qt::Key_PageUp:
    case Qt::Key_PageDown:
        // TODO(activity search): start the active-frequency search once it exists.
        main_.WarnBeep();
        break;
    default: // Insert, Delete, Clear are swallowed
        break;
    }
    return true;
}

// ---- Key-press: characters, Enter, Backspace, Esc, clipboard -------------------------------

bool KeyCommands::KeyPress(int key, const QString& text, Qt::KeyboardModifiers modifiers) {
    const bool ctrl = modifiers & Qt::ControlModifier;
    if (ctrl && (key == Qt::Key_V || key == Qt::Key_C)) {
        if (!main_.Connected) {
            main_.WarnBeep();
        } else if (key == Qt::Key_V) {
            paste();
        } else {
            copy();
        }
        return true;
    }
    if (key == Qt::Key_Escape) {
        if (main_.Connected)
            escape();
        else
            main_.WarnBeep();
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

    const bool locked = main_.PanelLocked;
    Nrd535& rx = main_.receiver();
    switch (c.unicode()) {
    case 'L':
    case 'U':
        if (locked || !main_.Connected) {
            main_.WarnBeep();
            break;
        }
        rx.Hook(c == u'U');
        main_.SetLinkHeld(rx.Hook());
        paintIndicator();
        break;
    case 'A':
        if (locked)
            setPending(c); // while a scan runs, A starts an AGC command
        else
            toggleSpectrum();
        break;
    case 'M':
    case 'F':
    case 'N':
    case '*':
    case 'C':
    case 'S':
    case 'K':
        setPending(c);
        break;
    case 'R':
        clickLabel(main_.RNG, Qt::NoModifier);
        break;
    case '+':
    case '-':
        if (!main_.RemoteHeld || locked || !main_.Connected) {
            main_.WarnBeep();
            break;
        }
        if (modifiers & Qt::ShiftModifier)
            moveKnown(c == u'+');
        else
            moveBand(c == u'+');
        break;
    case '(':
        if (rx.Fr() >= MinTuneHz)
            quickStore_ = rx.Fr();
        else
            main_.WarnBeep();
        break;
    case ')':
        // Only the frequency goes back: the receiver keeps its mode and filter, and its report
        // repaints the digits.
        if (quickStore_ >= MinTuneHz && main_.Connected)
            rx.Fr(quickStore_);
        else
            main_.WarnBeep();
        break;
    case '[':
    case ']':
        if (rx.Fr() < MinTuneHz) {
            main_.WarnBeep();
        } else if (c == u'[') {
            main_.scan().SetLowerMark(rx.Fr());
        } else {
            main_.scan().SetUpperMark(rx.Fr());
        }
        break;
    case '.':
    case ',':
        if (entry_.AddPoint())
            showTyped();
        else
            main_.WarnBeep();
        break;
    case '\b':
        if (!entry_.Backspace()) {
            main_.WarnBeep();
        } else if (entry_.Empty()) {
            repaintFromReceiver();
            paintIndicator();
        } else {
            showTyped();
        }
        break;
    case '\r':
        enter(entry_.Empty() ? digitsValue() : double(entry_.Hertz()));
        break;
    case ' ':
    case '<':
    case '>':
        // TODO(pad, lists): the scratch pad and the scan-file records are not built yet.
        main_.WarnBeep();
        break;
    default:
        if (c >= u'0' && c <= u'9') {
            if (entry_.AddDigit(char(c.unicode())))
                showTyped();
            else
                main_.WarnBeep();
        } else {
            main_.WarnBeep();
        }
        break;
    }
    return true;
}

void KeyCommands::dispatch(QChar second) {
    const char prefix = char(pending_.unicode());
    const char letter = second.unicode() < 128 ? char(second.unicode()) : 0;
    const CommandRow* row = FindCommand(prefix, letter);
    if (!row || !row->built) {
        // TODO(quick filters, quick memories, channels, known lists): the F-digit, "*", "C"
        // and "K" families arrive with the memory and filter windows.
        main_.WarnBeep();
    } else {
        runCommand(*row);
    }
    pending_ = QChar();
    entry_.Clear();
    repaintFromReceiver();
    paintIndicator();
}

void KeyCommands::runCommand(const CommandRow& row) {
    switch (row.kind) {
    case CommandKind::Mode:
    case CommandKind::Filter:
    case CommandKind::Agc:
    case CommandKind::NoiseBlanker:
        if (!main_.Connected) {
            main_.WarnBeep();
            return;
        }
        if (row.kind == CommandKind::Mode) {
            main_.ShowMode(row.code, true);
        } else if (row.kind == CommandKind::Filter) {
            main_.ShowFilter(row.code, true);
            main_.FilterPosition = row.code; // the filter button cycles on from here
        } else if (row.kind == CommandKind::Agc) {
            main_.ShowAgc(row.code, true);
        } else {
            main_.ShowNoiseBlanker(row.code, true);
        }
        return;
    case CommandKind::NoiseWindow:
        clickLabel(main_.SM, Qt::NoModifier);
        return;
    case CommandKind::NoiseMeasure:
        clickLabel(main_.SM, Qt::ShiftModifier);
        return;
    case CommandKind::Scan:
    case CommandKind::ScanNewFile:
        // A scan only steps while the receiver is held; refuse rather than lock the panel for
        // a scan that cannot run.
        if (!main_.Connected || !main_.RemoteHeld || main_.ScanState != 0) {
            main_.WarnBeep();
            return;
        }
        main_.settings.SCN_Mode = row.code;
        main_.scan().StartScan();
        return;
    }
}

void KeyCommands::escape() {
    EndDigitEditing();
    main_.StopScan();
    // TODO(pad, lists): close the record reader of a pad or file scan here.
    ClearEntry();
    main_.FocusDummy();
    repaintFromReceiver();
    paintIndicator();
}

void KeyCommands::enter(double displayed) {
    if (main_.RemoteHeld && !main_.PanelLocked) {
        if (displayed < MinTuneHz || displayed > MaxTuneHz) {
            main_.WarnBeep();
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

void KeyCommands::EndDigitEditing() {
    if (digitEditing_ && digitIndex_ >= 0) main_.FrqDigit[digitIndex_]->deselect();
    digitEditing_ = false;
    digitIndex_ = -1;
}

// ---- Bands, known stations, clipboard, spectrum ------------------------------------------

void KeyCommands::moveBand(bool up) {
    Freqs& freqs = main_.freqs();
    main_.Polling = false; // no band tracking while the band changes
    bool approx = false;
    freqs.Look(main_.receiver().Fr() / 1000, approx); // from the receiver's band
    const std::string name = freqs.BandNxt(up);
    main_.Band->setText(QString::fromStdString(name));
    PaintBackground(main_.Band, LightCyan);
    main_.scan().ClearMarkPosition();
    main_.TuneTo(freqs.BandFrq() * 1000, true, false, true);
    main_.Polling = true;
}

void KeyCommands::moveKnown(bool up) {
    main_.Polling = false;
    if (!main_.scan().MoveKnown(up, [this](double hz) { tune(hz); })) main_.WarnBeep();
    main_.Polling = true;
}

void KeyCommands::paste() {
    const QClipboard* clipboard = QGuiApplication::clipboard();
    const std::optional<double> hz = clipboard ? ClipboardToHertz(clipboard->text()) : std::nullopt;
    if (!hz) {
        main_.WarnBeep();
        return;
    }
    tune(*hz);
}

void KeyCommands::copy() {
    const double f = main_.receiver().Fr();
    if (f < 0) {
        main_.WarnBeep();
        return;
    }
    if (QClipboard* clipboard = QGuiApplication::clipboard())
        clipboard->setText(HertzToClipboard(f));
}

void KeyCommands::RightClick() {
    const QClipboard* clipboard = QGuiApplication::clipboard();
    if (!clipboard || clipboard->text().isEmpty()) return;
    if (!main_.Connected) {
        main_.WarnBeep();
        return;
    }
    paste();
}

void KeyCommands::toggleSpectrum() {
    Meter* meter = main_.meter();
    const bool show = meter && !meter->Show();
    // The display only shows while the capture runs.
    if (!meter || (show && !meter->Run())) {
        main_.WarnBeep();
        return;
    }
    meter->Show(show);
    if (main_.MeterArea) main_.MeterArea->setVisible(show);
    main_.adjustSize(); // the window grows or shrinks by the spectrum area
}

// ---- The wheel ----------------------------------------------------------------------------

void KeyCommands::Wheel(bool forward, bool middle) {
    if (digitEditing_ && digitIndex_ >= 0) {
        // Forward acts as Down on the digit, backward as Up.
        QKeyEvent key(QEvent::KeyPress, forward ? Qt::Key_Down : Qt::Key_Up, Qt::NoModifier);
        digitKey(digitIndex_, &key);
        return;
    }
    // Forward acts as Left, backward as Right; with the middle button held they start the
    // stepping scan (forward upwards).
    keyDown(forward ? Qt::Key_Left : Qt::Key_Right, Qt::NoModifier, middle);
}

// ---- Digit boxes --------------------------------------------------------------------------

int KeyCommands::digitBoxOf(const QObject* object) const {
    for (int i = 0; i < int(main_.FrqDigit.size()); ++i) {
        if (main_.FrqDigit[i] && main_.FrqDigit[i] == object) return i;
    }
    return -1;
}

double KeyCommands::digitsValue() const {
    double value = 0;
    for (QLineEdit* box : main_.FrqDigit) {
        const QString t = box ? box->text() : QString();
        const int d = t.isEmpty() ? 0 : t.at(0).digitValue();
        value = value * 10 + (d > 0 ? d : 0);
    }
    return value;
}

void KeyCommands::focusDigit(int index) {
    const int n = int(main_.FrqDigit.size());
    index = (index % n + n) % n;
    digitIndex_ = index;
    main_.FrqDigit[index]->setFocus(Qt::OtherFocusReason);
    main_.FrqDigit[index]->selectAll();
}

bool KeyCommands::digitKey(int box, QKeyEvent* event) {
    const int n = int(main_.FrqDigit.size());
    const int key = event->key();
    const bool keypad = event->modifiers() & Qt::KeypadModifier;
    const double place = std::pow(10.0, n - 1 - box);
    switch (key) {
    case Qt::Key_Up:
    case Qt::Key_Down:
    case Qt::Key_Plus:
    case Qt::Key_Minus: {
        if ((key == Qt::Key_Plus || key == Qt::Key_Minus) && !keypad) return false;
        const bool up = key == Qt::Key_Up || key == Qt::Key_Plus;
        if (!main_.Connected) return true;
        tune(WrapRange(digitsValue() + (up ? place : -place)));
        main_.FrqDigit[box]->selectAll();
        return true;
    }
    case Qt::Key_Left:
        focusDigit(box - 1);
        return true;
    case Qt::Key_Right:
        focusDigit(box + 1);
        return true;
    case Qt::Key_Backspace:
    case Qt::Key_Space:
        focusDigit(box - 1);
        return true;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        enter(digitsValue());
        return true;
    case Qt::Key_Escape:
        KeyPress(key, QString(), event->modifiers());
        return true;
    default:
        break;
    }
    const QString text = event->text();
    if (text.size() == 1 && text.at(0) >= u'0' && text.at(0) <= u'9' &&
        !(event->modifiers() & Qt::ControlModifier)) {
        if (!main_.PanelLocked) {
            main_.FrqDigit[box]->setText(text);
            focusDigit(box + 1);
        }
        return true;
    }
    return false;
}

// ---- Painting and helpers -----------------------------------------------------------------

void KeyCommands::tune(double hz) {
    main_.scan().ClearMarkPosition();
    main_.TuneTo(hz, true, true, true);
}

void KeyCommands::showTyped() {
    PaintBackground(main_.DIMInf, Peach);
    if (main_.CmdBox) main_.CmdBox->hide();
    main_.ShowDigits(double(entry_.Hertz()));
}

void KeyCommands::repaintFromReceiver() {
    const double f = main_.receiver().Fr();
    if (f >= 0) main_.TuneTo(f, false, true, true);
}

void KeyCommands::paintIndicator() {
    if (!pending_.isNull() || !entry_.Empty()) {
        PaintBackground(main_.DIMInf, Peach);
    } else {
        const bool ready = main_.Dummy && main_.Dummy->hasFocus() && main_.RemoteHeld;
        PaintBackground(main_.DIMInf, ready ? Green : Red);
    }
}

void KeyCommands::setPending(QChar c) {
    pending_ = c;
    PaintBackground(main_.DIMInf, Peach);
}

void KeyCommands::showHelp() {
    MiniHelp& help = Help();
    main_.settings.ReadHelpPosition(main_.registry());
    help.SetTitle(main_.ProgramTitle);
    help.ShowAt(main_.settings.HelpLeft, main_.settings.HelpTop, main_.settings.WIN_OnTop);
    main_.FocusDummy();
}

void KeyCommands::clickLabel(QWidget* label, Qt::KeyboardModifiers modifiers) {
    // Acts exactly as a left click on the panel label, through the label's own signals.
    auto* panel = qobject_cast<PanelLabel*>(label);
    if (!panel) return;
    emit panel->pressed(Qt::LeftButton, modifiers);
    emit panel->clicked();
}
