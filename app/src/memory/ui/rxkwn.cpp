#include "memory/ui/rxkwn.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QPushButton>
#include <QVBoxLayout>

RxKwn::RxKwn(QList<int>& selection, const QStringList& labels, bool onTop, QWidget* parent)
    : QDialog(parent), selection_(selection) {
    setObjectName(QStringLiteral("RxKwn"));
    setWindowTitle(QStringLiteral("Known frequencies list select"));
    setWindowFlag(Qt::WindowStaysOnTopHint, onTop);
    auto* frame = new QGroupBox(QStringLiteral("Scan / Browse"), this);
    frame->setToolTip(QStringLiteral("Select categories to be scan or browsed"));
    auto* boxes = new QGridLayout(frame);
    for (int i = 0; i < BoxCount; ++i) {
        Wkn[size_t(i)] = new QCheckBox(frame);
        Wkn[size_t(i)]->setObjectName(QStringLiteral("Wkn%1").arg(i));
        boxes->addWidget(Wkn[size_t(i)], i / 2, i % 2);
        if (i < labels.size() && !labels[i].isEmpty()) {
            Wkn[size_t(i)]->setText(labels[i]);
        } else {
            Wkn[size_t(i)]->hide();
        }
    }
    const int count = selection_.isEmpty() ? 0 : selection_[0];
    for (int i = 1; i <= count && i < selection_.size() && i <= BoxCount; ++i)
        Wkn[size_t(i - 1)]->setChecked(selection_[i] != 0);

    OK = new QPushButton(QStringLiteral("OK"), this);
    Cancel = new QPushButton(QStringLiteral("Cancel"), this);
    OK->setDefault(true);
    connect(OK, &QPushButton::clicked, this, &RxKwn::accept);
    connect(Cancel, &QPushButton::clicked, this, &RxKwn::reject);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(OK);
    buttons->addWidget(Cancel);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(frame);
    layout->addLayout(buttons);
}

void RxKwn::accept() {
    const int count = selection_.isEmpty() ? 0 : selection_[0];
    for (int i = 1; i <= count && i < selection_.size() && i <= BoxCount; ++i)
        selection_[i] = Wkn[size_t(i - 1)]->isChecked() ? 1 : 0;
    QDialog::accept();
}
