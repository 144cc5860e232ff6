#include "ui/opts.h"

#include "core/scan_state.h"
#include "lists/import_profile.h"
#include "net/rigctl_sharing.h"
#include "settings/settings.h"

#include <halvard/meter.h>

#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QIntValidator>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QTabWidget>
#include <QTimer>
#include <QVBoxLayout>

namespace {

constexpr int StepMax = 9000;
const QString StepReset = QStringLiteral("1000");
constexpr std::array<halvard::Source, 3> InputSources{halvard::S_LIN, halvard::S_MIC,
                                                      halvard::S_AUX};

struct ScanMode {
    const char* caption;
    const char* tip;
};
constexpr std::array<ScanMode, 9> ScanModes{{
    {"&1MHz", "Scan selected range"},
    {"&Range", "Scan current DB selected records"},
    {"&Bandplan", "Scan current bandplan"},
    {"&Known", "Scan current DB selected records"},
    {"&DB Select", "Scan current DB selected records"},
    {"&Channel", "Scan current DB selected records"},
    {"&Memory", "Scan current DB selected records"},
    {"&Pad", "Scan current DB selected records"},
    {"&File", "Scan known frequencies"},
}};

QCheckBox* checkBox(QWidget* parent, const char* name, const QString& caption, const QString& tip) {
    auto* b = new QCheckBox(caption, parent);
    b->setObjectName(QString::fromLatin1(name));
    b->setToolTip(tip);
    return b;
}

// Comment use 0, 1, 2 as a three-state box: cleared, ticked, greyed.
// A ticked comment box is a comment after a space; a profile's comment on a new line (2)
// shows ticked and stays 2 until the box is clicked.
Qt::CheckState commentState(int use) {
    return use != 0 ? Qt::Checked : Qt::Unchecked;
}
int commentUse(Qt::CheckState s) {
    return s == Qt::Checked ? 1 : 0;
}

// An emptied size box is 0, as a 0 shows empty: it must still finish its edit.
class SizeValidator : public QIntValidator {
public:
    using QIntValidator::QIntValidator;
    State validate(QString& text, int& pos) const override {
        return text.isEmpty() ? Acceptable : QIntValidator::validate(text, pos);
    }
};

} // namespace

const QString Opts::WunLayout = QStringLiteral("WUN|F(8)|C(0)|C(0)");
const QString Opts::NoLayout = QStringLiteral("NO|F(9)|C(7)|M(56)");
const QString Opts::ShocLayout = QStringLiteral("SHOC|F(10)|C(21)|X(4)|C(11)|X(3)|M(6)|X(24)");

// The values Cancel puts back.
struct Opts::Saved {
    int SCN_Mode, SCN_Step, SCN_Delay, SCN_Wait;
    bool BND_AutoST, BND_AutoMD, BND_AutoFT, WIN_Beep, WIN_OnTop, AGC_OffAllow;
    int COM_Port;
    QString COM_Speed;
    ImportLayout import;
    int SND_Crd, SND_Inp;
};

Opts::~Opts() = default;

Opts::Opts(Settings& settings, QWidget* parent) : QDialog(parent), settings_(settings) {
    setWindowTitle(QStringLiteral("Options"));
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);

    All = new QTabWidget(this);
    All->setObjectName(QStringLiteral("All"));
    All->addTab(generalPage(), QStringLiteral("&General"));
    All->addTab(scanPage(), QStringLiteral("&Scan"));
    All->addTab(importPage(), QStringLiteral("&Import"));
    All->addTab(soundPage(), QStringLiteral("S&ound"));
    All->setTabToolTip(0, QStringLiteral("Set Commons options"));
    All->setTabToolTip(1, QStringLiteral("Set Scan options"));
    All->setTabToolTip(2, QStringLiteral("Set Import options"));
    All->setTabToolTip(3, QStringLiteral("Set Sound Acquisition Parameters"));

    cmdOK = new QPushButton(QStringLiteral("OK"), this);
    cmdOK->setObjectName(QStringLiteral("cmdOK"));
    cmdOK->setDefault(true);
    cmdCancel = new QPushButton(QStringLiteral("Cancel"), this);
    cmdCancel->setObjectName(QStringLiteral("cmdCancel"));
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(cmdOK);
    buttons->addWidget(cmdCancel);
    auto* box = new QVBoxLayout(this);
    box->addWidget(All);
    box->addLayout(buttons);

    connect(cmdOK, &QPushButton::clicked, this, &Opts::cmdOK_Click);
    connect(cmdCancel, &QPushButton::clicked, this, &Opts::cmdCancel_Click);
    // Esc and the window's close box cancel as the button does.
    connect(this, &QDialog::rejected, this, [this] {
        if (cancelled_) restore();
    });
}

void Opts::Rigctld(bool on, const QString& at) {
    NetRig->setChecked(on);
    NetRigAt->setText(at);
}

bool Opts::RigctldOn() const {
    return NetRig->isChecked();
}

QString Opts::RigctldAt() const {
    return NetRigAt->text().trimmed();
}

void Opts::AddGeneralRow(QWidget* row) {
    general_->insertWidget(general_->count() - 1, row);
}

QWidget* Opts::generalPage() {
    auto* page = new QWidget;
    AgcOff = checkBox(page, "AgcOff", QStringLiteral("&Agc can be disable"),
                      QStringLiteral("If selected, Agc can be set to off"));
    WndSnd = checkBox(page, "WndSnd", QStringLiteral("Beep on &Errors"),
                      QStringLiteral("If selected, beep occured on errors"));
    WndTop = checkBox(page, "WndTop", QStringLiteral("Dialog always on &top"),
                      QStringLiteral("If selected, dialog will alway be on top"));
    BndMod = checkBox(page, "BndMod", QStringLiteral("Bandplan Auto&mode"),
                      QStringLiteral("Select Rx mode from bandplan information"));
    BndFlt = checkBox(page, "BndFlt", QStringLiteral("Bandplan Auto&filter"),
                      QStringLiteral("Select Rx filter from bandplan information"));
    ComPrt = new QPushButton(QStringLiteral("S&erial"), page);
    ComPrt->setObjectName(QStringLiteral("ComPrt"));
    NetRig = checkBox(page, "NetRig", QStringLiteral("&Rig-control server"),
                      QStringLiteral("Let loggers and decoders read and set the receiver through "
                                     "hamlib's NET rigctl protocol (model 2)"));
    NetRigAt = new QLineEdit(page);
    NetRigAt->setObjectName(QStringLiteral("NetRigAt"));
    NetRigAt->setPlaceholderText(QStringLiteral("127.0.0.1:4532"));
    NetRigAt->setToolTip(QStringLiteral("[ADDRESS:]PORT the server listens on"));

    NetRigRO = checkBox(page, "NetRigRO", QStringLiteral("Other hosts only &read"),
                        QStringLiteral("Programs on other machines read the receiver but do not "
                                       "set it"));
    NetRigHosts = new QLineEdit(page);
    NetRigHosts->setObjectName(QStringLiteral("NetRigHosts"));
    NetRigHosts->setPlaceholderText(QStringLiteral("any host"));
    NetRigHosts->setToolTip(QStringLiteral("Other machines let in, by address or network "
                                           "(192.168.1.20, 10.0.0.0/8); this one always is"));

    auto* v = new QVBoxLayout(page);
    for (QWidget* w : {static_cast<QWidget*>(AgcOff), static_cast<QWidget*>(WndSnd),
                       static_cast<QWidget*>(WndTop), static_cast<QWidget*>(BndMod),
                       static_cast<QWidget*>(BndFlt)})
        v->addWidget(w);
    auto* row = new QHBoxLayout;
    row->addWidget(ComPrt);
    row->addStretch();
    v->addLayout(row);
    auto* rig = new QHBoxLayout;
    rig->addWidget(NetRig);
    rig->addWidget(NetRigAt);
    v->addLayout(rig);
    auto* sharing = new QHBoxLayout;
    sharing->addWidget(NetRigRO);
    sharing->addWidget(NetRigHosts);
    v->addLayout(sharing);
    v->addStretch();
    general_ = v;

    connect(AgcOff, &QCheckBox::toggled, this, [this](bool on) {
        if (!filling_) settings_.AGC_OffAllow = on;
    });
    connect(WndSnd, &QCheckBox::toggled, this, [this](bool on) {
        if (!filling_) settings_.WIN_Beep = on;
    });
    connect(WndTop, &QCheckBox::toggled, this, [this](bool on) {
        if (!filling_) settings_.WIN_OnTop = on;
    });
    connect(BndMod, &QCheckBox::toggled, this, [this](bool on) {
        if (!filling_) settings_.BND_AutoMD = on;
    });
    connect(BndFlt, &QCheckBox::toggled, this, [this](bool on) {
        if (!filling_) settings_.BND_AutoFT = on;
    });
    connect(ComPrt, &QPushButton::clicked, this, [this] {
        if (openPortDialog_) openPortDialog_();
    });
    return page;
}

QWidget* Opts::scanPage() {
    auto* page = new QWidget;
    auto* grid = new QGridLayout(page);
    auto* modes = new QGroupBox(page);
    auto* modeGrid = new QGridLayout(modes);
    auto* modeGroup = scanGroup_ = new QButtonGroup(this);
    for (int i = 0; i < int(ScanPrm.size()); ++i) {
        auto* b = new QRadioButton(QString::fromLatin1(ScanModes[size_t(i)].caption), modes);
        b->setObjectName(QStringLiteral("ScanPrm%1").arg(i));
        b->setToolTip(QString::fromLatin1(ScanModes[size_t(i)].tip));
        modeGroup->addButton(b, i);
        modeGrid->addWidget(b, i % 3, i / 3);
        ScanPrm[size_t(i)] = b;
    }
    connect(modeGroup, &QButtonGroup::idClicked, this, [this](int i) {
        settings_.SCN_Mode = i > LastChosenScan ? FirstChosenScan : i;
        ScanPrm[size_t(settings_.SCN_Mode)]->setChecked(true);
    });

    BndStp = checkBox(page, "BndStp", QStringLiteral("Bandplan Auto&step or Step in Hz"),
                      QStringLiteral("Select scan step from bandplan information"));
    ScanStp = new QLineEdit(StepReset, page);
    ScanStp->setObjectName(QStringLiteral("ScanStp"));
    ScanStp->setToolTip(QStringLiteral("Set scan step"));
    ScanStp->installEventFilter(this);

    const std::array<QString, 2> labels{QStringLiteral("&Wait:"), QStringLiteral("&Pause:")};
    const std::array<std::array<int, 4>, 2> ranges{{{1, 100, 1, 20}, {0, 30, 1, 5}}};
    for (int i = 0; i < 2; ++i) {
        auto* s = new QSlider(Qt::Horizontal, page);
        s->setObjectName(QStringLiteral("ScanDel%1").arg(i));
        s->setRange(ranges[size_t(i)][0], ranges[size_t(i)][1]);
        s->setSingleStep(ranges[size_t(i)][2]);
        s->setPageStep(ranges[size_t(i)][3]);
        s->setToolTip(QStringLiteral("Set scan wait time"));
        auto* l = new QLabel(labels[size_t(i)], page);
        l->setBuddy(s);
        auto* w = new QLabel(page);
        w->setObjectName(QStringLiteral("ScanWde%1").arg(i));
        w->setToolTip(QStringLiteral("Selected scan delay"));
        w->setMinimumWidth(w->fontMetrics().horizontalAdvance(QStringLiteral("000.00")));
        grid->addWidget(l, 3 + i, 0);
        grid->addWidget(s, 3 + i, 1);
        grid->addWidget(w, 3 + i, 2);
        ScanDel[size_t(i)] = s;
        ScanWde[size_t(i)] = w;
    }
    grid->addWidget(modes, 0, 0, 1, 3);
    grid->addWidget(BndStp, 1, 0, 1, 2);
    grid->addWidget(ScanStp, 2, 1);
    grid->setRowStretch(5, 1);

    connect(BndStp, &QCheckBox::toggled, this, [this](bool on) {
        ScanStp->setEnabled(!on);
        if (!filling_) settings_.BND_AutoST = on;
    });
    connect(ScanStp, &QLineEdit::textChanged, this, &Opts::ScanStp_Change);
    connect(ScanDel[0], &QSlider::valueChanged, this, [this](int v) {
        if (!filling_) settings_.SCN_Delay = v;
        showDelays();
    });
    connect(ScanDel[1], &QSlider::valueChanged, this, [this](int v) {
        if (!filling_) settings_.SCN_Wait = v;
        showDelays();
    });
    return page;
}

QWidget* Opts::importPage() {
    auto* page = new QWidget;
    auto* grid = new QGridLayout(page);
    ImpCmn = checkBox(page, "ImpCmn", QStringLiteral("&View comment"),
                      QStringLiteral("Prints comments during any scan when selected"));
    ImpCmv = checkBox(page, "ImpCmv", QStringLiteral("&View nulls"),
                      QStringLiteral("Comment window appears only if comment field is not null "
                                     "when selected together with 'View comment' option'"));
    ImpMdt = checkBox(page, "ImpMdt", QStringLiteral("&Mode Field"),
                      QStringLiteral("Uses the 'Mod' field defined in the import profil"));
    grid->addWidget(ImpCmn, 0, 0, 1, 2);
    grid->addWidget(ImpCmv, 0, 2, 1, 2);
    grid->addWidget(ImpMdt, 0, 4);

    auto* frqGroup = new QButtonGroup(this);
    auto* modGroup = new QButtonGroup(this);
    modGroup->setExclusive(false);
    for (int i = 0; i < ImportFieldCount; ++i) {
        const size_t n = size_t(i);
        ImpFrq[n] = new QRadioButton(QStringLiteral("Frq in Fied %1").arg(i + 1), page);
        ImpFrq[n]->setObjectName(QStringLiteral("ImpFrq%1").arg(i));
        frqGroup->addButton(ImpFrq[n], i);
        ImpMod[n] = new QRadioButton(QStringLiteral("Mode in Fied %1").arg(i + 1), page);
        ImpMod[n]->setObjectName(QStringLiteral("ImpMod%1").arg(i));
        ImpMod[n]->setAutoExclusive(false);
        modGroup->addButton(ImpMod[n], i);
        ImpCmt[n] = new QCheckBox(QStringLiteral("Comment in field %1").arg(i + 1), page);
        ImpCmt[n]->setObjectName(QStringLiteral("ImpCmt%1").arg(i));
        ImpFix[n] = new QCheckBox(QStringLiteral("Field %1: Fixed size").arg(i + 1), page);
        ImpFix[n]->setObjectName(QStringLiteral("ImpFix%1").arg(i));
        ImpSiz[n] = new QLineEdit(page);
        ImpSiz[n]->setObjectName(QStringLiteral("ImpSiz%1").arg(i));
        ImpSiz[n]->setToolTip(QStringLiteral("Field %1 size").arg(i + 1));
        ImpSiz[n]->setValidator(new SizeValidator(0, 9999, ImpSiz[n]));
        ImpSiz[n]->setMaximumWidth(ImpSiz[n]->fontMetrics().horizontalAdvance(u'0') * 6);
        grid->addWidget(ImpFrq[n], 1 + i, 0);
        grid->addWidget(ImpMod[n], 1 + i, 1);
        grid->addWidget(ImpCmt[n], 1 + i, 2);
        grid->addWidget(ImpFix[n], 1 + i, 3);
        grid->addWidget(ImpSiz[n], 1 + i, 4);

        connect(ImpCmt[n], &QCheckBox::stateChanged, this, [this, n](int s) {
            if (!filling_) settings_.IMP_Cmt[n] = commentUse(Qt::CheckState(s));
        });
        connect(ImpFix[n], &QCheckBox::toggled, this, [this, n](bool on) {
            if (!filling_) settings_.IMP_Fix[n] = on;
        });
        connect(ImpSiz[n], &QLineEdit::editingFinished, this, [this, n] {
            if (!filling_) settings_.IMP_Siz[n] = ImpSiz[n]->text().toInt();
        });
    }
    connect(frqGroup, &QButtonGroup::idClicked, this, [this](int i) {
        if (!filling_) settings_.IMP_Frq = i;
    });
    connect(modGroup, &QButtonGroup::idClicked, this, &Opts::ImpMod_Click);
    connect(ImpMdt, &QCheckBox::clicked, this, &Opts::ImpMdt_Click);
    connect(ImpCmn, &QCheckBox::toggled, this, [this](bool on) {
        if (!filling_) settings_.IMP_VNul = on;
    });
    connect(ImpCmv, &QCheckBox::toggled, this, [this](bool on) {
        if (!filling_) settings_.IMP_VCmt = on;
    });

    Profils = new QComboBox(page);
    Profils->setObjectName(QStringLiteral("Profils"));
    FromList = new QPushButton(QStringLiteral("&From profile"), page);
    FromList->setObjectName(QStringLiteral("FromList"));
    FromList->setToolTip(QStringLiteral("Selected from list"));
    WUN = new QPushButton(QStringLiteral("&WUN"), page);
    WUN->setObjectName(QStringLiteral("WUN"));
    WUN->setToolTip(QStringLiteral("WUN Format"));
    NO = new QPushButton(QStringLiteral("&N&&O"), page);
    NO->setObjectName(QStringLiteral("NO"));
    NO->setToolTip(QStringLiteral("N&O Format"));
    Shoc = new QPushButton(QStringLiteral("&Shoc"), page);
    Shoc->setObjectName(QStringLiteral("Shoc"));
    Shoc->setToolTip(QStringLiteral("Shoc HotFreq Log Format"));
    auto* row = new QHBoxLayout;
    row->addWidget(Profils, 1);
    row->addWidget(FromList);
    row->addSpacing(12);
    row->addWidget(WUN);
    row->addWidget(NO);
    row->addWidget(Shoc);
    grid->addLayout(row, 1 + ImportFieldCount, 0, 1, 5);

    connect(FromList, &QPushButton::clicked, this, [this] {
        if (Profils->currentIndex() >= 0) ApplyProfile(Profils->currentText());
    });
    connect(WUN, &QPushButton::clicked, this, [this] { applyPreset(WunLayout, -1); });
    // The third field of N&O takes the rest of the line without being marked fixed.
    connect(NO, &QPushButton::clicked, this, [this] { applyPreset(NoLayout, 2); });
    connect(Shoc, &QPushButton::clicked, this, [this] { applyPreset(ShocLayout, -1); });
    return page;
}

QWidget* Opts::soundPage() {
    auto* page = new QWidget;
    SndCrdFrame = new QGroupBox(page);
    SndInpFrame = new QGroupBox(page);
    const std::array<QString, 3> cards{QStringLiteral("&None"), QStringLiteral("Card &1"),
                                       QStringLiteral("Card &2")};
    const std::array<QString, 3> inputs{QStringLiteral("&Line"), QStringLiteral("&Mic"),
                                        QStringLiteral("&Aux")};
    auto* cardBox = new QVBoxLayout(SndCrdFrame);
    auto* inputBox = new QVBoxLayout(SndInpFrame);
    auto* cardGroup = new QButtonGroup(this);
    auto* inputGroup = new QButtonGroup(this);
    for (int i = 0; i < 3; ++i) {
        SndCrd[size_t(i)] = new QRadioButton(cards[size_t(i)], SndCrdFrame);
        SndCrd[size_t(i)]->setObjectName(QStringLiteral("SndCrd%1").arg(i));
        cardGroup->addButton(SndCrd[size_t(i)], i);
        cardBox->addWidget(SndCrd[size_t(i)]);
        SndInp[size_t(i)] = new QRadioButton(inputs[size_t(i)], SndInpFrame);
        SndInp[size_t(i)]->setObjectName(QStringLiteral("SndInp%1").arg(i));
        inputGroup->addButton(SndInp[size_t(i)], i);
        inputBox->addWidget(SndInp[size_t(i)]);
    }
    SndErr = new QLabel(QStringLiteral("SOUND CARD or NSP INTEL Library not found!"), page);
    SndErr->setObjectName(QStringLiteral("SndErr"));
    auto* grid = new QGridLayout(page);
    grid->addWidget(SndCrdFrame, 0, 0);
    grid->addWidget(SndInpFrame, 0, 1);
    grid->addWidget(SndErr, 1, 0, 1, 2);
    grid->setRowStretch(2, 1);
    connect(cardGroup, &QButtonGroup::idClicked, this, &Opts::SndCrd_Click);
    connect(inputGroup, &QButtonGroup::idClicked, this, &Opts::SndInp_Click);
    return page;
}

int Opts::exec() {
    Activate();
    return QDialog::exec();
}

void Opts::Activate() {
    All->setCurrentIndex(tabs_ >= 1 && tabs_ <= 4 ? tabs_ - 1 : 0);
    if (settings_.IMP_Frq < 0 || settings_.IMP_Frq > 6) settings_.IMP_Frq = 0;
    if (settings_.IMP_Mod > 6 || settings_.IMP_Mod < -1) settings_.IMP_Mod = 0;
    save();
    cancelled_ = true;

    filling_ = true;
    AgcOff->setChecked(settings_.AGC_OffAllow);
    WndSnd->setChecked(settings_.WIN_Beep);
    WndTop->setChecked(settings_.WIN_OnTop);
    BndMod->setChecked(settings_.BND_AutoMD);
    BndFlt->setChecked(settings_.BND_AutoFT);
    ComPrt->setEnabled(bool(openPortDialog_));
    if (const RigctlSharing* server = rigctlServer()) {
        NetRigHosts->setText(server->allowedHosts());
        NetRigRO->setChecked(server->readOnly());
    }
    // The stepping scan has no button: none is selected then.
    scanGroup_->setExclusive(false);
    for (QRadioButton* b : ScanPrm) b->setChecked(false);
    if (settings_.SCN_Mode >= FirstChosenScan && settings_.SCN_Mode <= LastChosenScan)
        ScanPrm[size_t(settings_.SCN_Mode)]->setChecked(true);
    scanGroup_->setExclusive(true);
    ScanPrm[size_t(ScanCode::Database)]->setEnabled(dbLinked_);
    BndStp->setChecked(settings_.BND_AutoST);
    ScanStp->setEnabled(!settings_.BND_AutoST);
    ScanStp->setText(QString::number(settings_.SCN_Step));
    ScanDel[0]->setValue(settings_.SCN_Delay);
    ScanDel[1]->setValue(settings_.SCN_Wait);
    filling_ = false;
    showDelays();
    showImport();

    Profils->clear();
    const QStringList names = ProfileNames(ImportProfileFile(settings_.IMP_Fil));
    Profils->addItems(names);
    Profils->setEnabled(!names.isEmpty());
    FromList->setEnabled(!names.isEmpty());
    Profils->setCurrentIndex(-1);
    const QString wanted = profil_.trimmed().toUpper();
    if (!wanted.isEmpty()) {
        const qsizetype at = names.indexOf(wanted);
        if (at >= 0) {
            Profils->setCurrentIndex(int(at));
            ApplyProfile(wanted);
        }
    }

    SndCrdFrame->hide();
    SndInpFrame->hide();
    SndErr->show();
    checkSoundInputs(sound_ ? sound_->Cards() : -1);

    setWindowFlag(Qt::WindowStaysOnTopHint, settings_.WIN_OnTop);
}

void Opts::save() {
    const Settings& s = settings_;
    saved_ = std::make_unique<Saved>(Saved{s.SCN_Mode, s.SCN_Step, s.SCN_Delay, s.SCN_Wait,
                                           s.BND_AutoST, s.BND_AutoMD, s.BND_AutoFT, s.WIN_Beep,
                                           s.WIN_OnTop, s.AGC_OffAllow, s.COM_Port, s.COM_Speed,
                                           ImportLayout::FromSettings(s), s.SND_Crd, s.SND_Inp});
}

void Opts::restore() {
    if (!saved_) return;
    Settings& s = settings_;
    const Saved& v = *saved_;
    s.SCN_Mode = v.SCN_Mode;
    s.SCN_Step = v.SCN_Step;
    s.SCN_Delay = v.SCN_Delay;
    s.SCN_Wait = v.SCN_Wait;
    s.BND_AutoST = v.BND_AutoST;
    s.BND_AutoMD = v.BND_AutoMD;
    s.BND_AutoFT = v.BND_AutoFT;
    s.WIN_Beep = v.WIN_Beep;
    s.WIN_OnTop = v.WIN_OnTop;
    s.AGC_OffAllow = v.AGC_OffAllow;
    s.COM_Port = v.COM_Port;
    s.COM_Speed = v.COM_Speed;
    v.import.ToSettings(s);
    s.SND_Crd = v.SND_Crd;
    s.SND_Inp = v.SND_Inp;
}

void Opts::showImport() {
    filling_ = true;
    const Settings& s = settings_;
    ImpCmn->setChecked(s.IMP_VNul);
    ImpCmv->setChecked(s.IMP_VCmt);
    if (s.IMP_Frq >= 0 && s.IMP_Frq < ImportFieldCount) ImpFrq[size_t(s.IMP_Frq)]->setChecked(true);
    for (int i = 0; i < ImportFieldCount; ++i) {
        const size_t n = size_t(i);
        ImpMod[n]->setChecked(s.IMP_Mod == i);
        ImpCmt[n]->setCheckState(commentState(s.IMP_Cmt[n]));
        ImpFix[n]->setChecked(s.IMP_Fix[n]);
        ImpSiz[n]->setText(s.IMP_Siz[n] > 0 ? QString::number(s.IMP_Siz[n]) : QString());
    }
    ImpMdt->setChecked(s.IMP_Mod == -1);
    filling_ = false;
}

void Opts::applyLayout(const ImportLayout& layout) {
    layout.ToSettings(settings_);
    showImport();
}

bool Opts::ApplyProfile(const QString& name) {
    ImportLayout layout = ImportLayout::FromSettings(settings_);
    if (!LoadImportProfile(ImportProfileFile(settings_.IMP_Fil), name, layout)) return false;
    applyLayout(layout);
    return true;
}

void Opts::applyPreset(const QString& line, int looseField) {
    ImportLayout layout = ImportLayout::FromSettings(settings_);
    // A preset sets the fields only; the view options stay as the operator left them.
    const bool viewNulls = layout.VCmt;
    const bool viewComment = layout.VNul;
    ApplyProfileLine(line, layout);
    layout.VCmt = viewNulls;
    layout.VNul = viewComment;
    if (looseField >= 0) layout.Fix[size_t(looseField)] = false;
    applyLayout(layout);
}

void Opts::ImpMod_Click(int index) {
    settings_.IMP_Mod = index;
    for (int i = 0; i < ImportFieldCount; ++i) ImpMod[size_t(i)]->setChecked(i == index);
    ImpMdt->setChecked(false);
}

void Opts::ImpMdt_Click(bool checked) {
    if (!checked) return;
    settings_.IMP_Mod = -1;
    for (QRadioButton* b : ImpMod) b->setChecked(false);
}

void Opts::showDelays() {
    ScanWde[0]->setText(QString::number(ScanDel[0]->value() * 100 / 1000.0, 'f', 2));
    ScanWde[1]->setText(QString::number(double(ScanDel[1]->value()), 'f', 2));
}

void Opts::ScanStp_Change() {
    if (filling_) return;
    const int value = ScanStp->text().toInt();
    if (value > StepMax || ScanStp->text().size() > 9) {
        ScanStp->setText(StepReset); // comes back here with 1000
        return;
    }
    // An empty box or 0 would leave the scan standing on one frequency.
    if (value > 0) settings_.SCN_Step = value;
}

bool Opts::eventFilter(QObject* watched, QEvent* event) {
    if (watched == ScanStp) {
        if (event->type() == QEvent::KeyPress) {
            const auto* key = static_cast<QKeyEvent*>(event);
            const int k = key->key();
            const bool allowed = (k >= Qt::Key_0 && k <= Qt::Key_9) || k == Qt::Key_Backspace ||
                                 k == Qt::Key_Return || k == Qt::Key_Enter || k == Qt::Key_Tab ||
                                 k == Qt::Key_Backtab || k == Qt::Key_Escape || k == Qt::Key_Left ||
                                 k == Qt::Key_Right || k == Qt::Key_Home || k == Qt::Key_End ||
                                 k == Qt::Key_Delete;
            if (!allowed) {
                warnBeep();
                return true;
            }
        } else if (event->type() == QEvent::FocusIn) {
            QTimer::singleShot(0, ScanStp, &QLineEdit::selectAll);
        }
    }
    return QDialog::eventFilter(watched, event);
}

void Opts::warnBeep() {
    if (!settings_.WIN_Beep) return;
    if (beep_)
        beep_();
    else
        QApplication::beep();
}

bool Opts::checkSoundInputs(int card) {
    for (QRadioButton* b : SndCrd) b->setEnabled(true);
    if (!sound_ || sound_->Cards() == 1) SndCrd[2]->setEnabled(false);
    if (!sound_) SndCrd[1]->setEnabled(false);
    bool any = false;
    for (int i = 0; i < 3; ++i) {
        const bool ok = card >= 0 && sound_ && sound_->Source(InputSources[size_t(i)], true);
        SndInp[size_t(i)]->setEnabled(ok);
        any = any || ok;
    }
    if (card < 0) return false;
    if (settings_.SND_Crd > 2) settings_.SND_Crd = -1;
    if (settings_.SND_Inp < 0 || settings_.SND_Inp > 2) settings_.SND_Inp = 0;
    if (any) {
        const int crd = std::clamp(settings_.SND_Crd + 1, 0, 2);
        SndCrd[size_t(crd)]->setChecked(true);
        SndInp[size_t(settings_.SND_Inp)]->setChecked(true);
        selectSource(settings_.SND_Inp);
        SndCrdFrame->show();
        SndInpFrame->show();
        SndErr->hide();
    }
    return any;
}

void Opts::selectSource(int index) {
    if (sound_) sound_->Source(InputSources[size_t(index)], true);
    settings_.SND_Inp = index;
}

void Opts::SndCrd_Click(int index) {
    settings_.SND_Crd = index - 1;
    if (!checkSoundInputs(index - 1)) settings_.SND_Crd = -1;
    if (sound_) sound_->Card(qint16(settings_.SND_Crd));
}

void Opts::SndInp_Click(int index) {
    selectSource(index);
}

RigctlSharing* Opts::rigctlServer() const {
    if (!parentWidget()) return nullptr;
    return dynamic_cast<RigctlSharing*>(
        parentWidget()->findChild<QObject*>(QString::fromLatin1(RigctlSharing::ObjectName)));
}

void Opts::cmdOK_Click() {
    if (RigctlSharing* server = rigctlServer()) {
        QString error;
        if (!server->setAllowedHosts(NetRigHosts->text(), &error)) {
            NetRigHosts->setToolTip(error);
            NetRigHosts->setFocus();
            NetRigHosts->selectAll();
            warnBeep();
            return;
        }
        server->setReadOnly(NetRigRO->isChecked());
    }
    cancelled_ = false;
    accept();
}

void Opts::cmdCancel_Click() {
    cancelled_ = true;
    reject();
}
