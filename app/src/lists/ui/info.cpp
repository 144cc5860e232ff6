#include "lists/ui/info.h"

#include <QComboBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace {

constexpr int DataMax = 80;
constexpr int IdentMax = 60;
const QString Voice = QStringLiteral("Voice");

} // namespace

Info::Info(bool onTop, QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("Enter identification"));
    setWindowFlag(Qt::WindowStaysOnTopHint, onTop);
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);

    Data = new QLineEdit(this);
    Data->setObjectName(QStringLiteral("Data"));
    Data->setMaxLength(DataMax);
    Data->setMinimumWidth(Data->fontMetrics().averageCharWidth() * 50);
    Data->setToolTip(
        QStringLiteral("Enter station identification or any comment up to 80 characters"));

    Mode = new QComboBox(this);
    Mode->setObjectName(QStringLiteral("Mode"));
    Mode->setEditable(true);
    Mode->setInsertPolicy(QComboBox::NoInsert);
    Mode->addItems({"CW", "RTTY", "WEAFAX", "SITOR", "ARQ", "PICCOLO", "ACARS"});
    Mode->setCurrentIndex(-1);
    Mode->setEditText(Voice);

    Baud = new QComboBox(this);
    Baud->setObjectName(QStringLiteral("Baud"));
    Baud->setEditable(true);
    Baud->setInsertPolicy(QComboBox::NoInsert);
    Baud->addItems({"45", "50", "75", "100", "110", "192"});
    Baud->setCurrentIndex(-1);
    Baud->setEditText(QString());

    OK = new QPushButton(QStringLiteral("&OK"), this);
    OK->setObjectName(QStringLiteral("OK"));
    OK->setDefault(true);

    auto* modeLbl = new QLabel(QStringLiteral("Mode"), this);
    modeLbl->setBuddy(Mode);
    auto* baudLbl = new QLabel(QStringLiteral("Speed"), this);
    baudLbl->setBuddy(Baud);

    auto* grid = new QGridLayout(this);
    grid->addWidget(Data, 0, 0, 1, 4);
    grid->addWidget(modeLbl, 1, 0);
    grid->addWidget(Mode, 1, 1);
    grid->addWidget(baudLbl, 1, 2);
    grid->addWidget(Baud, 1, 3);
    grid->addWidget(OK, 2, 3);

    connect(OK, &QPushButton::clicked, this, &Info::OK_Click);
}

void Info::OK_Click() {
    identification_ = Data->text();
    accept();
}

QString Info::Ident() const {
    return ComposeIdent(identification_, Mode->currentText().trimmed(),
                        Baud->currentText().trimmed());
}

QString Info::ComposeIdent(const QString& identification, const QString& mode,
                           const QString& speed) {
    QString out = identification.left(IdentMax);
    if (!out.isEmpty()) out += QStringLiteral(" - ");
    const QString s = mode == Voice ? QString() : speed;
    out += mode;
    if (!s.isEmpty()) out += u'/' + s;
    return out;
}
