#include "memory/ui/memory_dialogs.h"

#include "memory/memory_commands.h"
#include "memory/memory_file.h"
#include "memory/memory_scan.h"
#include "memory/ui/rxflt.h"
#include "memory/ui/rxkwn.h"
#include "memory/ui/rxmem.h"
#include "settings/settings.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>

MemoryDialogs::MemoryDialogs(QWidget& owner, Nrd535& rx, Panel& panel, Settings& settings)
    : owner_(owner), rx_(rx), panel_(panel), settings_(settings) {}

void MemoryDialogs::OpenMemoryGrid(MemoryTable& table, int startRow) {
    if (!memory_) return;
    RxMem window(*memory_, table, rx_, panel_, settings_, startRow, &owner_);
    window.ScanRequested = ScanRequested;
    window.move(owner_.geometry().bottomLeft());
    MemoryScan* scan = table.IsChannelTable() ? channelScan_ : quickScan_;
    if (scan) scan->SetCursor(&window);
    window.exec();
    if (scan) scan->SetCursor(nullptr);
}

void MemoryDialogs::OpenQuickFilters() {
    if (!memory_) return;
    RxFlt window(memory_->Filters(), rx_, panel_, settings_, &owner_);
    window.exec();
}

void MemoryDialogs::OpenKnownLists() {
    RxKwn window(settings_.KWN_Sel, KnownLabels ? KnownLabels() : QStringList(),
                 settings_.WIN_OnTop, &owner_);
    window.move(owner_.geometry().topLeft());
    window.exec();
}

QString MemoryDialogs::ChooseLoadFile(const QString& ext) {
    if (FileChooser) return FileChooser(false, ext);
    for (;;) {
        const QString name = QFileDialog::getOpenFileName(
            &owner_, QStringLiteral("Select File name to be load ..."), QDir::currentPath(),
            QStringLiteral("Load Files [*.%1] (*.%1)").arg(ext));
        if (name.isEmpty()) return QString();
        if (FileExists(name)) return name;
    }
}

QString MemoryDialogs::ChooseSaveFile(const QString& ext) {
    if (FileChooser) return FileChooser(true, ext);
    QFileDialog dialog(&owner_, QStringLiteral("Select File name to be used ..."),
                       QDir::currentPath(), QStringLiteral("Save Files [*.%1] (*.%1)").arg(ext));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setDefaultSuffix(ext);
    dialog.setOption(QFileDialog::DontConfirmOverwrite);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return QString();
    const QString name = dialog.selectedFiles().constFirst();
    // The old file stays until the new one is complete: the save replaces it in one step.
    if (QFileInfo::exists(name) &&
        !ShowMessage(QStringLiteral("Do you want to replace file ?"), true,
                     QStringLiteral("Warning: File already exists")))
        return QString();
    return name;
}

void MemoryDialogs::ShowNotice(const QString& prompt, const QString& title) {
    auto* box =
        new QMessageBox(QMessageBox::Warning, title, prompt, QMessageBox::Ok, owner_.window());
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->open(); // no nested event loop
}

bool MemoryDialogs::ShowMessage(const QString& prompt, bool okCancel, const QString& title) {
    QWidget* top = owner_.window();
    // A box behind a window kept on top could not be answered.
    const bool onTop = settings_.WIN_OnTop && top->windowFlags().testFlag(Qt::WindowStaysOnTopHint);
    if (onTop) {
        top->setWindowFlag(Qt::WindowStaysOnTopHint, false);
        top->show();
    }
    const auto buttons = okCancel ? QMessageBox::Ok | QMessageBox::Cancel : QMessageBox::Ok;
    const auto answer = QMessageBox::warning(top, title, prompt, buttons, QMessageBox::Ok);
    if (onTop) {
        top->setWindowFlag(Qt::WindowStaysOnTopHint, true);
        top->show();
    }
    return answer == QMessageBox::Ok;
}
