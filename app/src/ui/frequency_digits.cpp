#include "ui/frequency_digits.h"

#include "core/units.h"

#include <QFocusEvent>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QTimer>
#include <cmath>

FrequencyDigits::FrequencyDigits(QWidget* parent) : QWidget(parent) {
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(1);
    QFont digitFont = font();
    digitFont.setPointSize(22);
    digitFont.setBold(true);
    digitFont.setStyleHint(QFont::Monospace);
    for (int i = 0; i < Count; ++i) {
        auto* d = new QLineEdit(this);
        d->setObjectName(QStringLiteral("FrqDigit%1").arg(i));
        d->setMaxLength(1);
        d->setAlignment(Qt::AlignCenter);
        d->setFont(digitFont);
        d->setFixedSize(26, 38);
        d->setFrame(false);
        d->setStyleSheet(
            QStringLiteral("QLineEdit { background: rgb(24,24,24); color: rgb(0,255,0); "
                           "selection-background-color: rgb(0,120,0); } "
                           "QLineEdit:disabled { color: rgb(0,170,0); }"));
        d->installEventFilter(this);
        boxes_[size_t(i)] = d;
        row->addWidget(d);
        // Gaps after the megahertz and kilohertz digits.
        if (i == 1 || i == 4) row->addSpacing(8);
    }
}

void FrequencyDigits::Show(double hz) {
    if (!(hz >= 0) || hz > 99999999) {
        for (QLineEdit* d : boxes_) d->setText(QStringLiteral("-"));
        return;
    }
    const QString text = QStringLiteral("%1").arg(qint64(hz), Count, 10, QLatin1Char('0'));
    for (int i = 0; i < Count; ++i) {
        const QString digit = text.mid(i, 1);
        if (boxes_[size_t(i)]->text() != digit) boxes_[size_t(i)]->setText(digit);
    }
}

double FrequencyDigits::Value() const {
    double value = 0;
    for (QLineEdit* box : boxes_) {
        const QString t = box->text();
        const int d = t.isEmpty() ? 0 : t.at(0).digitValue();
        value = value * 10 + (d > 0 ? d : 0);
    }
    return value;
}

void FrequencyDigits::EndEditing() {
    if (editing_ && editIndex_ >= 0) boxes_[size_t(editIndex_)]->deselect();
    editing_ = false;
    editIndex_ = -1;
}

void FrequencyDigits::WheelOnDigit(bool forward) {
    if (editIndex_ >= 0) stepDigit(editIndex_, !forward);
}

int FrequencyDigits::indexOf(const QObject* object) const {
    for (int i = 0; i < Count; ++i)
        if (boxes_[size_t(i)] == object) return i;
    return -1;
}

bool FrequencyDigits::eventFilter(QObject* watched, QEvent* event) {
    const int box = indexOf(watched);
    if (box < 0) return QWidget::eventFilter(watched, event);
    switch (event->type()) {
    case QEvent::MouseButtonPress:
        if (static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) editIndex_ = box;
        break;
    case QEvent::FocusIn:
        editing_ = true;
        editIndex_ = box;
        // After the line edit placed its cursor for the click.
        QTimer::singleShot(0, boxes_[size_t(box)], &QLineEdit::selectAll);
        break;
    case QEvent::FocusOut:
        boxes_[size_t(box)]->deselect();
        editing_ = false;
        break;
    default:
        break;
    }
    return QWidget::eventFilter(watched, event);
}

bool FrequencyDigits::HandleKey(const QObject* watched, QKeyEvent* event) {
    const int box = indexOf(watched);
    return box >= 0 && key(box, event);
}

void FrequencyDigits::focusDigit(int index) {
    index = (index % Count + Count) % Count;
    editIndex_ = index;
    boxes_[size_t(index)]->setFocus(Qt::OtherFocusReason);
    boxes_[size_t(index)]->selectAll();
}

void FrequencyDigits::stepDigit(int box, bool up) {
    const double place = std::pow(10.0, Count - 1 - box);
    emit stepRequested(WrapRange(Value() + (up ? place : -place)));
    boxes_[size_t(box)]->selectAll();
}

bool FrequencyDigits::key(int box, QKeyEvent* event) {
    const int k = event->key();
    const bool keypad = event->modifiers() & Qt::KeypadModifier;
    switch (k) {
    case Qt::Key_Up:
    case Qt::Key_Down:
        stepDigit(box, k == Qt::Key_Up);
        return true;
    case Qt::Key_Plus:
    case Qt::Key_Minus:
        if (!keypad) return false;
        stepDigit(box, k == Qt::Key_Plus);
        return true;
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
        emit enterPressed(Value());
        return true;
    case Qt::Key_Escape:
        emit escapePressed();
        return true;
    default:
        break;
    }
    const QString text = event->text();
    if (text.size() == 1 && text.at(0) >= u'0' && text.at(0) <= u'9' &&
        !(event->modifiers() & Qt::ControlModifier)) {
        if (!locked_) {
            boxes_[size_t(box)]->setText(text);
            focusDigit(box + 1);
        }
        return true;
    }
    return false;
}
