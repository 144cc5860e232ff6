#include "memory/ui/rxmem.h"

#include "core/panel.h"
#include "memory/memory_commands.h"
#include "memory/memory_table.h"
#include "memory/ui/memory_models.h"
#include "settings/settings.h"

#include <ostry/nrd535.h>

#include <QApplication>
#include <QComboBox>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QStyledItemDelegate>
#include <QTableView>
#include <QVBoxLayout>
#include <functional>

namespace {

// Letter keys of the drop-down lists: the letter selects the entry of that code.
int codeForLetter(int column, QChar letter) {
    const char c = char(letter.toUpper().toLatin1());
    const char* keys = column == MemoryTableModel::Mode     ? "RWULAFX"
                       : column == MemoryTableModel::Filter ? "WINA"
                       : column == MemoryTableModel::Agc    ? "SFO"
                                                            : "";
    for (int i = 0; keys[i]; ++i)
        if (keys[i] == c) return i;
    return -1;
}

bool isModifierKey(int key) {
    return key == Qt::Key_Shift || key == Qt::Key_Control || key == Qt::Key_Alt ||
           key == Qt::Key_Meta || key == Qt::Key_AltGr || key == Qt::Key_CapsLock;
}

// Esc in an open editor closes the editor and the window with one press.
class GridDelegate : public QStyledItemDelegate {
public:
    GridDelegate(std::function<void()> escape, QObject* parent)
        : QStyledItemDelegate(parent), escape_(std::move(escape)) {}

protected:
    bool escapeKey(QWidget* editor, QEvent* event) {
        if (event->type() != QEvent::KeyPress ||
            static_cast<QKeyEvent*>(event)->key() != Qt::Key_Escape)
            return false;
        emit closeEditor(editor, QAbstractItemDelegate::RevertModelCache);
        escape_();
        return true;
    }
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (escapeKey(qobject_cast<QWidget*>(watched), event)) return true;
        return QStyledItemDelegate::eventFilter(watched, event);
    }

private:
    std::function<void()> escape_;
};

// The frequency cell's editor takes digits, one "." and Backspace; any other character beeps.
class FrequencyDelegate : public GridDelegate {
public:
    FrequencyDelegate(std::function<void()> escape, std::function<void()> beep, QObject* parent)
        : GridDelegate(std::move(escape), parent), beep_(std::move(beep)) {}

    void setEditorData(QWidget* editor, const QModelIndex& index) const override {
        GridDelegate::setEditorData(editor, index);
        // A typed value replaces the shown one.
        if (auto* edit = qobject_cast<QLineEdit*>(editor)) edit->selectAll();
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        auto* edit = qobject_cast<QLineEdit*>(watched);
        if (edit && event->type() == QEvent::KeyPress) {
            auto* key = static_cast<QKeyEvent*>(event);
            const QString text = key->text();
            if (key->key() != Qt::Key_Escape && key->key() != Qt::Key_Backspace &&
                !text.isEmpty() && text[0].isPrint()) {
                // decimalTyped: a "." outside the selection the key replaces.
                const bool decimalTyped =
                    QString(edit->text())
                        .remove(edit->selectionStart(), edit->selectedText().size())
                        .contains(u'.');
                const bool digit = text.size() == 1 && text[0] >= u'0' && text[0] <= u'9';
                if (!digit && !(text == QStringLiteral(".") && !decimalTyped)) {
                    beep_();
                    return true;
                }
            }
        }
        return GridDelegate::eventFilter(watched, event);
    }

private:
    std::function<void()> beep_;
};

// The drop-down button drawn at the right of a list cell.
QRect dropButton(const QRect& cell) {
    const int w = qMin(cell.height(), cell.width() / 2);
    return QRect(cell.right() - w + 1, cell.top(), w, cell.height());
}

// The drop-down columns: a list of the driver's texts; the filter list also takes a typed
// number (a filter code or a bandwidth).
class ChoiceDelegate : public GridDelegate {
public:
    ChoiceDelegate(MemoryTableModel& model, std::function<void()> escape, QObject* parent)
        : GridDelegate(std::move(escape), parent), model_(model) {}

    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem&,
                          const QModelIndex& index) const override {
        auto* box = new QComboBox(parent);
        box->addItems(model_.Choices(index.column()));
        box->setEditable(index.column() == MemoryTableModel::Filter);
        box->installEventFilter(const_cast<ChoiceDelegate*>(this));
        // An editable box hands its keys to its line edit first.
        if (box->lineEdit()) box->lineEdit()->installEventFilter(const_cast<ChoiceDelegate*>(this));
        box->setProperty("column", index.column());
        return box;
    }
    void setEditorData(QWidget* editor, const QModelIndex& index) const override {
        auto* box = static_cast<QComboBox*>(editor);
        const int at = box->findText(index.data(Qt::EditRole).toString());
        if (at >= 0) box->setCurrentIndex(at);
        if (box->isEditable()) box->setEditText(index.data(Qt::EditRole).toString());
    }
    void setModelData(QWidget* editor, QAbstractItemModel* model,
                      const QModelIndex& index) const override {
        model->setData(index, static_cast<QComboBox*>(editor)->currentText(), Qt::EditRole);
    }
    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override {
        QStyledItemDelegate::paint(painter, option, index);
        const QWidget* widget = option.widget;
        QStyle* style = widget ? widget->style() : QApplication::style();
        QStyleOptionButton button;
        button.rect = dropButton(option.rect);
        button.state = QStyle::State_Enabled | QStyle::State_Raised;
        style->drawPrimitive(QStyle::PE_PanelButtonCommand, &button, painter, widget);
        QStyleOption arrow;
        arrow.rect = button.rect.adjusted(3, 3, -3, -3);
        arrow.state = QStyle::State_Enabled;
        arrow.palette = option.palette;
        style->drawPrimitive(QStyle::PE_IndicatorArrowDown, &arrow, painter, widget);
    }
    bool editorEvent(QEvent* event, QAbstractItemModel* model, const QStyleOptionViewItem& option,
                     const QModelIndex& index) override {
        // The button opens the list (on the release, which the view always hands over).
        if (event->type() == QEvent::MouseButtonRelease) {
            auto* mouse = static_cast<QMouseEvent*>(event);
            auto* view = qobject_cast<QAbstractItemView*>(const_cast<QWidget*>(option.widget));
            if (view && mouse->button() == Qt::LeftButton &&
                dropButton(option.rect).contains(mouse->position().toPoint())) {
                view->setCurrentIndex(index);
                view->edit(index);
                if (auto* box = qobject_cast<QComboBox*>(view->indexWidget(index)))
                    box->showPopup();
                return true;
            }
        }
        return QStyledItemDelegate::editorEvent(event, model, option, index);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        auto* box = qobject_cast<QComboBox*>(watched);
        auto* edit = qobject_cast<QLineEdit*>(watched);
        if (edit) box = qobject_cast<QComboBox*>(edit->parent());
        if (!box) return GridDelegate::eventFilter(watched, event);
        if (escapeKey(box, event)) return true;
        if (event->type() == QEvent::KeyPress) {
            auto* key = static_cast<QKeyEvent*>(event);
            const QString text = key->text();
            if (text.size() == 1 && text[0].isLetter()) {
                const int code = codeForLetter(box->property("column").toInt(), text[0]);
                if (code >= 0 && code < box->count()) {
                    box->setCurrentIndex(code);
                    if (box->isEditable()) box->setEditText(box->itemText(code));
                    emit const_cast<ChoiceDelegate*>(this)->commitData(box);
                    emit const_cast<ChoiceDelegate*>(this)->closeEditor(box);
                }
                return true;
            }
            // A number typed into the filter cell replaces the shown name.
            if (box->lineEdit() && text.size() == 1 && text[0].isDigit()) {
                bool number = false;
                box->lineEdit()->text().toInt(&number);
                if (!number) box->lineEdit()->clear();
                return false;
            }
        }
        if (edit) return false; // the box itself commits and closes
        return GridDelegate::eventFilter(watched, event);
    }

private:
    MemoryTableModel& model_;
};

} // namespace

RxMem::RxMem(MemoryCommands& memory, MemoryTable& table, Nrd535& rx, Panel& panel,
             const Settings& settings, int startRow, QWidget* parent)
    : QDialog(parent), memory_(memory), table_(table), rx_(rx), panel_(panel) {
    setObjectName(QStringLiteral("RxMem"));
    setWindowTitle(table.IsChannelTable() ? QStringLiteral("Channel Memory")
                                          : QStringLiteral("Quick Memory"));
    setWindowFlag(Qt::WindowStaysOnTopHint, settings.WIN_OnTop);
    model_ = new MemoryTableModel(
        table, rx, settings, [this] { panel_.WarnBeep(); }, this);
    grid_ = new QTableView(this);
    grid_->setObjectName(QStringLiteral("MemGrid"));
    grid_->setModel(model_);
    const auto escape = [this] { reject(); };
    grid_->setItemDelegate(new GridDelegate(escape, this));
    grid_->setItemDelegateForColumn(MemoryTableModel::Frequency,
                                    new FrequencyDelegate(
                                        escape, [this] { panel_.WarnBeep(); }, this));
    auto* choices = new ChoiceDelegate(*model_, escape, this);
    for (int c : {MemoryTableModel::Mode, MemoryTableModel::Filter, MemoryTableModel::Agc})
        grid_->setItemDelegateForColumn(c, choices);
    grid_->verticalHeader()->hide();
    grid_->verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
    grid_->setSelectionMode(QAbstractItemView::SingleSelection);
    grid_->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed |
                           QAbstractItemView::AnyKeyPressed);
    grid_->horizontalHeader()->setStretchLastSection(true);
    grid_->setColumnWidth(MemoryTableModel::Number, 40);
    grid_->setColumnWidth(MemoryTableModel::Frequency, 90);
    grid_->installEventFilter(this);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(2, 2, 2, 2);
    layout->addWidget(grid_);
    resize(560, 360);

    connect(grid_->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex& current) { rowChanged(current.row()); });
    connect(grid_->horizontalHeader(), &QHeaderView::sectionClicked, this, [this](int section) {
        if (section == MemoryTableModel::Number && ScanRequested) ScanRequested(table_);
    });
    connect(&memory_, &MemoryCommands::rowSent, this, [this](int row) {
        if (pushReturnRow_ >= 0) FollowRow(row);
    });
    connect(&memory_, &MemoryCommands::pushFinished, this, [this] {
        if (pushReturnRow_ >= 0) FollowRow(pushReturnRow_);
        pushReturnRow_ = -1;
    });
    connect(&memory_, &MemoryCommands::dumpFinished, this, [this] {
        if (isEnabled()) return;
        setEnabled(true);
        QApplication::restoreOverrideCursor();
        grid_->setFocus();
    });
    FollowRow(table.InRange(startRow) ? startRow : 0);
}

RxMem::~RxMem() {
    if (!isEnabled()) QApplication::restoreOverrideCursor();
}

int RxMem::CurrentRow() const {
    return grid_->currentIndex().isValid() ? grid_->currentIndex().row() : 0;
}

void RxMem::FollowRow(int row) {
    if (!table_.InRange(row)) return;
    following_ = true;
    const int column = grid_->currentIndex().isValid() ? grid_->currentIndex().column() : 1;
    grid_->setCurrentIndex(model_->index(row, column));
    grid_->scrollTo(model_->index(row, column));
    following_ = false;
}

void RxMem::rowChanged(int row) {
    if (following_ || !panel_.State().Connected) return;
    // An empty row leaves the receiver alone.
    memory_.Recall(table_, row);
}

void RxMem::storeReceiver(int row) {
    if (!panel_.State().Connected) return panel_.WarnBeep();
    table_.SetRow(row, MemoryRecord{rx_.Fr(), rx_.MD(), rx_.FT(), rx_.AG(), QString()});
    if (auto* channels = qobject_cast<ChannelTable*>(&table_)) channels->SetModified(true);
}

void RxMem::push() {
    const int row = CurrentRow();
    if (memory_.PushTable(table_, false)) pushReturnRow_ = row;
}

void RxMem::dump(int row) {
    if (!memory_.DumpRow(table_, row)) return;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    setEnabled(false);
}

bool RxMem::gridKey(int key, const QString& text) {
    const int column = grid_->currentIndex().column();
    const int row = CurrentRow();
    if (column == MemoryTableModel::Number || column == MemoryTableModel::Frequency) {
        const QChar c = text.isEmpty() ? QChar() : text[0].toUpper();
        if (c == u'E') {
            table_.Erase();
            if (auto* channels = qobject_cast<ChannelTable*>(&table_)) channels->SetModified(true);
        } else if (c == u'S') {
            storeReceiver(row);
        } else if (c == u'D') {
            dump(row);
        } else if (c == u'P') {
            push();
        } else if (isModifierKey(key)) {
            return true; // Shift, Ctrl or Alt alone is no key of the grid
        } else if (c.isDigit() || c == u'.' || key == Qt::Key_Backspace) {
            // Typing starts a frequency edit of the row.
            grid_->setCurrentIndex(model_->index(row, MemoryTableModel::Frequency));
            return false;
        } else if (key == Qt::Key_Up || key == Qt::Key_Down || key == Qt::Key_Left ||
                   key == Qt::Key_Right || key == Qt::Key_PageUp || key == Qt::Key_PageDown ||
                   key == Qt::Key_Home || key == Qt::Key_End || key == Qt::Key_Tab ||
                   key == Qt::Key_Backtab || key == Qt::Key_Return || key == Qt::Key_Enter ||
                   key == Qt::Key_F2) {
            return false;
        } else {
            panel_.WarnBeep();
        }
        return true;
    }
    return false;
}

bool RxMem::eventFilter(QObject* watched, QEvent* event) {
    if (watched == grid_ && event->type() == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Escape) {
            reject();
            return true;
        }
        return gridKey(key->key(), key->text());
    }
    return QDialog::eventFilter(watched, event);
}
