#include "ui/main_window.h"

#include "core/status_polls.h"
#include "core/tuner.h"
#include "core/units.h"
#include "input/keys.h"
#include "scan/scan_engine.h"
#include "settings/registry.h"
#include "ui/comopt.h"
#include "ui/frequency_digits.h"
#include "ui/minihelp.h"
#include "ui/opts.h"
#include "ui/panel_colours.h"
#include "ui/port_devices.h"

#include <fennick/freqs.h>
#include <halvard/meter.h>
#include <ostry/nrd535.h>
#include <ostry/serialline.h>

#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QGridLayout>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QScreen>
#include <QStackedLayout>
#include <QVBoxLayout>
#include <QWheelEvent>
#include <cmath>

using namespace panel;

namespace {

constexpr int TickMs = 100;
constexpr int ModeCount = 9;
constexpr int StepIncrement = 500;
constexpr double StepLimit = 75000;
// While the port's device is gone, try to open it again every this many ticks.
constexpr int ReopenEveryTicks = 10;
// One notch of a wheel, in eighths of a degree.
constexpr int WheelNotch = 120;

bool IsModifierKey(int key) {
    return key == Qt::Key_Shift || key == Qt::Key_Control || key == Qt::Key_Alt ||
           key == Qt::Key_Meta || key == Qt::Key_AltGr || key == Qt::Key_CapsLock ||
           key == Qt::Key_NumLock;
}

QPixmap lockPicture(bool closed) {
    QPixmap pm(20, 22);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(60, 60, 60), 2.5));
    p.setBrush(Qt::NoBrush);
    // The shackle: closed sits in the body, open is lifted to one side.
    QPainterPath shackle;
    if (closed) {
        shackle.moveTo(5, 11);
        shackle.lineTo(5, 7);
        shackle.arcTo(5, 2, 10, 10, 180, -180);
        shackle.lineTo(15, 11);
    } else {
        shackle.moveTo(5, 11);
        shackle.lineTo(5, 5);
        shackle.arcTo(5, 0, 10, 10, 180, -180);
        shackle.lineTo(15, 7);
    }
    p.drawPath(shackle);
    p.setPen(Qt::NoPen);
    p.setBrush(closed ? QColor(200, 40, 40) : QColor(40, 160, 40));
    p.drawRoundedRect(QRectF(2, 10, 16, 11), 2, 2);
    return pm;
}

QPixmap databasePicture() {
    QPixmap pm(18, 20);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(30, 30, 120), 1.5));
    p.setBrush(QColor(120, 160, 255));
    p.drawRect(QRectF(2, 4, 14, 12));
    p.drawEllipse(QRectF(2, 13, 14, 5));
    p.setPen(Qt::NoPen);
    p.drawRect(QRectF(2.8, 4, 12.4, 11));
    p.setPen(QPen(QColor(30, 30, 120), 1.5));
    p.drawEllipse(QRectF(2, 1.5, 14, 5));
    return pm;
}

} // namespace

namespace {
const QString FrontPanelTip = QStringLiteral(
    "The receiver is on its front panel: U or a click on the lock takes it under remote control");
} // namespace

// ---- panel controls ------------------------------------------------------------------------

void PanelLabel::mousePressEvent(QMouseEvent* event) {
    emit pressed(event->button(), event->modifiers());
    event->accept();
}

void PanelLabel::mouseReleaseEvent(QMouseEvent* event) {
    event->accept();
    if (rect().contains(event->position().toPoint())) emit clicked();
}

void PassiveLabel::mousePressEvent(QMouseEvent* event) {
    event->accept();
}

void PanelButton::mousePressEvent(QMouseEvent* event) {
    emit pressed2(event->button(), event->modifiers());
    QPushButton::mousePressEvent(event);
}

// ---- construction --------------------------------------------------------------------------

Main::Main(Registry& reg, QWidget* parent)
    : QWidget(parent), reg_(reg), rx_(std::make_unique<Nrd535>()),
      freqs_(std::make_unique<Freqs>()) {
    ProgramTitle = QStringLiteral("Kelvan %1.%2.%3 - Receiver Module [NRD535D]")
                       .arg(KELVANE_VERSION_MAJOR)
                       .arg(KELVANE_VERSION_MINOR)
                       .arg(KELVANE_VERSION_PATCH);
    setWindowTitle(ProgramTitle);
    tuner_ = std::make_unique<Tuner>(*rx_, *freqs_, TunerSettingsOf(settings));
    scan_ = std::make_unique<ScanEngine>(*this, *tuner_, *rx_, *freqs_, settings);
    keys_ = std::make_unique<KeyCommands>(*this, *tuner_, *scan_, *rx_, *freqs_, settings);
    buildPanel();
    wirePanel();
    if (qApp) qApp->installEventFilter(this);
    // A port that does not open says why, and what to do about it.
    rx_->setMessageDisplay([this](const QString& text) {
        const int port = rx_->Port();
        const ComOpt::Status status = ComOpt::PortStatus(port);
        QString message = text;
        if (status == ComOpt::NoPermission || status == ComOpt::InUse || status == ComOpt::Absent)
            message += QStringLiteral("\n\n") + ComOpt::StatusAdvice(port, status, false);
        QMessageBox::warning(this, ProgramTitle, message);
    });
}

Main::~Main() {
    if (qApp) qApp->removeEventFilter(this);
    delete help_.data();
    // A window destroyed without closing (tests, errors) still releases the port.
    if (loaded_ && !unloaded_) {
        timer_.stop();
        rx_->Disc();
        rx_->fClose();
    }
}

void Main::buildPanel() {
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(4, 4, 4, 4);
    outer->setSpacing(4);
    outer->setSizeConstraint(QLayout::SetFixedSize);

    // Top row: the setting buttons, the squelch and S-meter labels, then scan/options and the
    // two database buttons.
    auto* row = new QHBoxLayout;
    row->setSpacing(3);
    auto button = [this, row](const QString& caption, int width) {
        auto* b = new PanelButton(caption, this);
        b->setFixedWidth(width);
        b->setFocusPolicy(Qt::NoFocus);
        row->addWidget(b);
        return b;
    };
    auto label = [this](const QString& caption, QWidget* parent) {
        auto* l = new PanelLabel(caption, parent ? parent : this);
        l->setAlignment(Qt::AlignCenter);
        l->setFrameShape(QFrame::Panel);
        l->setFrameShadow(QFrame::Sunken);
        return l;
    };
    MD = button(QStringLiteral("Mode"), 58);
    FT = button(QStringLiteral("Filter"), 58);
    AG = button(QStringLiteral("Agc"), 50);
    NB = button(QStringLiteral("NB"), 54);
    AT = button(QStringLiteral("Att"), 44);
    SQ = label(QStringLiteral("Squel."), nullptr);
    SQ->setFixedWidth(48);
    row->addWidget(SQ);
    SM = label(QStringLiteral("SMet."), nullptr);
    SM->setFixedWidth(48);
    SM->setToolTip(QStringLiteral("Click for noise floor view, use SHIFT to compute it"));
    row->addWidget(SM);
    row->addStretch(1);
    Store = button(QStringLiteral("Store"), 46);
    Search = button(QStringLiteral("Search"), 52);
    Scan = button(QStringLiteral("Scan"), 46);
    Options = button(QStringLiteral("Options"), 58);
    outer->addLayout(row);

    // The frequency frame: digits, band and region, steps, automatic flags, link pictures.
    FrqFrame = new QFrame(this);
    static_cast<QFrame*>(FrqFrame)->setFrameShape(QFrame::StyledPanel);
    PaintBackground(FrqFrame, QColor(24, 24, 24));
    auto* grid = new QGridLayout(FrqFrame);
    grid->setContentsMargins(6, 6, 6, 6);
    grid->setHorizontalSpacing(4);
    grid->setVerticalSpacing(3);

    // The digits and the cover share one place: the cover hides the whole frequency display
    // while there is no link.
    auto* display = new QWidget(FrqFrame);
    auto* stack = new QStackedLayout(display);
    stack->setStackingMode(QStackedLayout::StackAll);
    digits_ = new FrequencyDigits(display);
    Mask = new PassiveLabel(QStringLiteral("No link to the receiver"), display);
    Mask->setAlignment(Qt::AlignCenter);
    Mask->setWordWrap(true);
    Mask->setAutoFillBackground(true);
    PaintBackground(Mask, QColor(64, 64, 64));
    {
        QPalette p = Mask->palette();
        p.setColor(QPalette::WindowText, QColor(255, 192, 128));
        Mask->setPalette(p);
    }
    stack->addWidget(digits_);
    stack->addWidget(Mask);
    grid->addWidget(display, 0, 0, 2, 4);

    Band = label(QString(), FrqFrame);
    Band->setMinimumWidth(150);
    RNG = label(QStringLiteral("R2"), FrqFrame);
    RNG->setFixedWidth(30);
    grid->addWidget(Band, 2, 0, 1, 3);
    grid->addWidget(RNG, 2, 3);

    auto* steps = new QHBoxLayout;
    steps->setSpacing(2);
    for (int i = 0; i < 2; ++i) {
        LblSTP[size_t(i)] = new PassiveLabel(FrqFrame);
        LblSTP[size_t(i)]->setAlignment(Qt::AlignCenter);
        LblSTP[size_t(i)]->setFixedWidth(22);
        STP[size_t(i)] = label(QString(), FrqFrame);
        STP[size_t(i)]->setFixedWidth(52);
        steps->addWidget(LblSTP[size_t(i)]);
        steps->addWidget(STP[size_t(i)]);
    }
    steps->addStretch(1);
    grid->addLayout(steps, 0, 4, 1, 3);

    auto* flags = new QHBoxLayout;
    flags->setSpacing(2);
    Auto[0] = label(QStringLiteral("AF"), FrqFrame);
    Auto[1] = label(QStringLiteral("AM"), FrqFrame);
    Auto[0]->setToolTip(QStringLiteral("Automatic filter on entering a band"));
    Auto[1]->setToolTip(QStringLiteral("Automatic mode on entering a band"));
    for (auto* a : Auto) a->setFixedWidth(26), flags->addWidget(a);
    DIMInf = label(QStringLiteral("KB"), FrqFrame);
    DIMInf->setFixedWidth(26);
    DIMInf->setToolTip(QStringLiteral("Keyboard focus"));
    flags->addWidget(DIMInf);
    CHN = new PassiveLabel(FrqFrame);
    LblCHN = new PassiveLabel(FrqFrame);
    for (QLabel* l : {LblCHN, CHN}) {
        l->setAlignment(Qt::AlignCenter);
        l->setFixedWidth(l == CHN ? 58 : 26);
        flags->addWidget(l);
    }
    flags->addStretch(1);
    grid->addLayout(flags, 1, 4, 1, 3);

    // The record caption: a recalled record's frequency and comment.
    FFrq = new PassiveLabel(FrqFrame);
    FCom = new PassiveLabel(FrqFrame);
    FCom->setMinimumWidth(160);
    for (QLabel* l : {FFrq, FCom}) l->hide();
    auto* caption = new QHBoxLayout;
    caption->setSpacing(4);
    caption->addWidget(FFrq);
    caption->addWidget(FCom, 1);
    grid->addLayout(caption, 3, 0, 1, 7);

    FrDbImg = new PassiveLabel(FrqFrame);
    FrDbImg->setPixmap(databasePicture());
    FrDbImg->setToolTip(QStringLiteral("Database linked"));
    for (int i = 0; i < 2; ++i) {
        LockImg[size_t(i)] = new PanelLabel(FrqFrame);
        LockImg[size_t(i)]->setPixmap(lockPicture(i == 1));
        LockImg[size_t(i)]->setToolTip(i == 1 ? QStringLiteral("Receiver held: click to release")
                                              : FrontPanelTip);
    }
    // The database picture sits in the frame's top-right corner and the lock pictures in its
    // bottom-right corner.
    grid->addWidget(FrDbImg, 0, 7, Qt::AlignRight | Qt::AlignTop);
    grid->addWidget(LockImg[0], 2, 7, Qt::AlignRight | Qt::AlignBottom);
    grid->addWidget(LockImg[1], 2, 7, Qt::AlignRight | Qt::AlignBottom);
    grid->setColumnStretch(6, 1);

    // Focus holder: it must stay visible to keep the focus, so it is one pixel in a corner.
    Dummy = new QLineEdit(FrqFrame);
    Dummy->setGeometry(0, 0, 1, 1);
    Dummy->setFrame(false);
    Dummy->setStyleSheet(QStringLiteral("background: transparent; color: transparent; border: 0"));
    // Keys are taken by the window before the box sees them; read-only, it also has no cursor
    // to blink, which would repaint the window twice a second for nothing.
    Dummy->setReadOnly(true);
    CmdBox = new QLineEdit(FrqFrame);
    FrqBox = new QLineEdit(FrqFrame);
    CmdBox->setReadOnly(true);
    grid->addWidget(CmdBox, 2, 4, 1, 1);
    grid->addWidget(FrqBox, 2, 5, 1, 1);
    CmdBox->setFixedWidth(40);
    FrqBox->setFixedWidth(90);
    CmdBox->hide();
    FrqBox->hide();

    outer->addWidget(FrqFrame);

    MeterArea = new QWidget(this);
    auto* meterBox = new QVBoxLayout(MeterArea);
    meterBox->setContentsMargins(0, 0, 0, 0);
    meter_ = new Meter(MeterArea);
    meter_->setMinimumHeight(120);
    meterBox->addWidget(meter_);
    outer->addWidget(MeterArea);
}

void Main::wirePanel() {
    auto record = [this](Qt::MouseButton b, Qt::KeyboardModifiers m) {
        LastButton = b;
        LastShift = m;
    };
    for (PanelButton* b : {MD, FT, AG, NB, AT, Scan, Options, Store, Search})
        connect(b, &PanelButton::pressed2, this, record);
    for (PanelLabel* l :
         {SQ, SM, STP[0], STP[1], Band, RNG, Auto[0], Auto[1], LockImg[0], LockImg[1], DIMInf})
        connect(l, &PanelLabel::pressed, this, record);

    connect(MD, &QPushButton::clicked, this, &Main::MD_Click);
    connect(FT, &QPushButton::clicked, this, &Main::FT_Click);
    connect(AG, &QPushButton::clicked, this, &Main::AG_Click);
    connect(NB, &QPushButton::clicked, this, &Main::NB_Click);
    connect(AT, &QPushButton::clicked, this, &Main::AT_Click);
    connect(SQ, &PanelLabel::clicked, this, &Main::SQ_Click);
    connect(SM, &PanelLabel::clicked, this, &Main::SM_Click);
    connect(STP[0], &PanelLabel::clicked, this, &Main::STP_Click);
    connect(Band, &PanelLabel::clicked, this, &Main::Band_Click);
    connect(RNG, &PanelLabel::clicked, this, &Main::RNG_Click);
    connect(Auto[0], &PanelLabel::clicked, this, [this] { Auto_Click(0); });
    connect(Auto[1], &PanelLabel::clicked, this, [this] { Auto_Click(1); });
    connect(LockImg[0], &PanelLabel::clicked, this, &Main::LockImg_Click);
    connect(LockImg[1], &PanelLabel::clicked, this, &Main::LockImg_Click);
    connect(DIMInf, &PanelLabel::clicked, this, [this] {
        if (LastButton != Qt::RightButton) FocusPanel();
    });
    connect(Options, &QPushButton::clicked, this, [this] {
        if (LastButton != Qt::LeftButton && LastButton != Qt::NoButton) return;
        OpenOptions(1, QString());
    });
    connect(Scan, &QPushButton::clicked, this, [this] {
        if (LastButton == Qt::LeftButton || LastButton == Qt::NoButton) scan_->StartScan();
    });

    connect(rx_.get(), &Nrd535::OnUpd, this, [this] { OnUpd(); });
    connect(rx_.get(), &Nrd535::OnChn, this, [this] { OnChn(); });
    connect(rx_.get(), &Nrd535::portLost, this, &Main::onPortLost);

    connect(digits_, &FrequencyDigits::stepRequested, this, [this](double hz) {
        // The digits act only while they are enabled: connected, held and not locked.
        if (!state_.Connected || !ComputeEnabled(state_).Settings) return;
        scan_->ClearMarkPosition();
        TuneTo(hz, true, true, true);
    });
    connect(digits_, &FrequencyDigits::enterPressed, this, [this](double hz) { keys_->Enter(hz); });
    connect(digits_, &FrequencyDigits::escapePressed, this,
            [this] { keys_->KeyPress(Qt::Key_Escape, QString(), Qt::NoModifier); });
}

// ---- start-up and shutdown -----------------------------------------------------------------

bool Main::Load() {
    // The devices chosen in the port dialog of an earlier run, then the settings: everything
    // below depends on them.
    RestorePortDevices(reg_);
    settings.Read(reg_);
    // The key-help position is written at shutdown; read it too, so that a run which never
    // opens that window keeps the stored place instead of writing the default over it.
    settings.ReadHelpPosition(reg_);

    PaintBackground(SM, Green);
    PaintBackground(SQ, Green);
    PaintBackground(DIMInf, Red);
    PaintBackground(RNG, LightCyan);
    PaintBackground(Band, LightCyan);
    PaintBackground(CHN, Yellow);
    PaintBackground(LblCHN, Yellow);
    for (int i = 0; i < 2; ++i) {
        PaintBackground(STP[size_t(i)], LightOrange);
        PaintBackground(LblSTP[size_t(i)], LightOrange);
    }
    ShowAutoFlags();

    // The serial link: ask for a port until one opens, or end when the operator gives none.
    if (ForcedPort >= 1) {
        savedPort_ = settings.COM_Port;
        settings.COM_Port = ForcedPort;
    }
    for (;;) {
        if (!ComOpt::ClosesAtOnce(settings, PortDialogRequested)) runPortDialog();
        if (settings.COM_Port < 0) return false;
        rx_->Baud(settings.COM_Speed);
        rx_->Port(quint8(settings.COM_Port));
        if (rx_->fOpen()) break;
        settings.COM_Port = -1;
    }
    loaded_ = true;

    freqs_->Max(FrqMax);
    freqs_->Region(settings.RNG_Default);

    int labels = 0;
    while (labels < 1000 && !freqs_->Label(labels).empty()) ++labels;
    settings.ReadKnownSelection(reg_, labels);

    setWindowTitle(ProgramTitle);

    // Place the window where it was, but never off every screen.
    QPoint pos(TwipsToPixels(settings.MainLeft), TwipsToPixels(settings.MainTop));
    bool onScreen = false;
    for (QScreen* screen : QGuiApplication::screens())
        onScreen |= screen->availableGeometry().contains(pos + QPoint(20, 20));
    if (onScreen || QGuiApplication::screens().isEmpty()) move(pos);

    tuningStep_ = StepIncrement;
    FilterPosition = -1;
    SetLinkHeld(false);
    SetDbLinked(false);
    SMeter.Reset(settings.SMT_Sql);
    MD->setText(QStringLiteral("Mode"));
    FT->setText(QStringLiteral("Filter"));
    AG->setText(QStringLiteral("Agc"));
    AT->setText(QStringLiteral("Att"));
    NB->setText(QStringLiteral("NB"));
    SQ->setText(QStringLiteral("Squel."));
    SM->setText(QStringLiteral("SMet."));
    showRegion();
    STP[0]->setText(QString::number(tuningStep_));
    ClearChannelLabels();
    CmdBox->setReadOnly(true);
    LblSTP[0]->setText(QString(QChar(0x2194)));                          // left-right arrow
    LblSTP[1]->setText(QString(QChar(0x2191)) + QString(QChar(0x2193))); // up, down
    ShowDigits(0);
    render();

    Polling = true;
    SetTimerRunning(true);

    meter_->Show(false);
    meter_->Card(qint16(settings.SND_Crd));
    meter_->Source(halvard::S_LIN, true);
    MeterArea->setVisible(false);
    applyOnTop();
    emit started();
    return true;
}

void Main::Unload() {
    if (unloaded_ || !loaded_) return;
    unloaded_ = true;
    emit stopping();
    KeepPortDevices(reg_);
    meter_->Start(false);
    SetTimerRunning(false);
    QCoreApplication::processEvents();
    rx_->Disc();
    rx_->fClose();
    while (QApplication::overrideCursor()) QApplication::restoreOverrideCursor();
    // A minimised window writes no setting; the channel table below is saved all the same.
    if (!isMinimized()) {
        if (ForcedPort >= 1) settings.COM_Port = savedPort_;
        const QRect frame = frameGeometry();
        settings.MainLeft = PixelsToTwips(frame.left());
        settings.MainTop = PixelsToTwips(frame.top());
        settings.MainWidth = PixelsToTwips(frame.width());
        settings.MainHeight = PixelsToTwips(frame.height());
        settings.RNG_Default = freqs_->Region();
        settings.Write(reg_);
    }
    emit settingsWritten();
}

// ---- where the rooms join --------------------------------------------------------------------

KeyFeatures& Main::keyFeatures() {
    return keys_->Features;
}

void Main::WhenStarted(QObject* context, std::function<void()> run) {
    connect(this, &Main::started, context, std::move(run));
}

void Main::WhenStopping(QObject* context, std::function<void()> run) {
    connect(this, &Main::stopping, context, std::move(run));
}

void Main::WhenSettingsWritten(QObject* context, std::function<void()> run) {
    connect(this, &Main::settingsWritten, context, std::move(run));
}

void Main::OnClicked(Button button, QObject* context, std::function<void()> run) {
    QPushButton* b = button == Button::Store ? Store : Search;
    connect(b, &QPushButton::clicked, context, [this, run = std::move(run)] {
        if (LastButton == Qt::LeftButton || LastButton == Qt::NoButton) run();
    });
}

void Main::PaintSMeter(const QColor& colour) {
    PaintBackground(SM, colour);
}

int Main::CaptionTextWidth(const QString& text) const {
    return FCom->fontMetrics().horizontalAdvance(text);
}

bool Main::OpenOptions(int tab, const QString& profile) {
    const int port = settings.COM_Port;
    const QString speed = settings.COM_Speed;
    Opts opts(settings, this);
    opts.Sound(meter());
    opts.Tabs(tab);
    opts.Profil(profile);
    opts.DbLinked(state_.DbLinked);
    QString serverAt;
    const bool serverOn = serverOption_.kept && serverOption_.kept(&serverAt);
    opts.Rigctld(serverOn, serverAt);
    std::vector<QPointer<QWidget>> rows;
    for (const OptionsPart& part : optionsParts_) {
        QWidget* row = part.make ? part.make() : nullptr;
        if (row) opts.AddGeneralRow(row);
        rows.emplace_back(row);
    }
    opts.SetBeep([this] { WarnBeep(); });
    opts.SetOpenPortDialog([this] {
        PortDialogRequested = true;
        runPortDialog();
    });
    if (ShowOptions) {
        opts.Activate();
        ShowOptions(opts);
    } else {
        opts.exec();
    }
    ApplyPortChange(port, speed);
    ShowAutoFlags();
    if (!opts.Cancelled() && serverOption_.apply &&
        (opts.RigctldOn() != serverOn || opts.RigctldAt() != serverAt)) {
        QString error;
        if (!serverOption_.apply(opts.RigctldOn(), opts.RigctldAt(), &error))
            QMessageBox::warning(this, ProgramTitle, error);
    }
    for (size_t i = 0; i < optionsParts_.size() && i < rows.size(); ++i)
        if (optionsParts_[i].closed && rows[i]) optionsParts_[i].closed(rows[i], !opts.Cancelled());
    return !opts.Cancelled();
}

void Main::AddPanelLine(QWidget* line) {
    line->hide();
    if (auto* grid = qobject_cast<QGridLayout*>(FrqFrame->layout()))
        grid->addWidget(line, grid->rowCount(), 0, 1, grid->columnCount());
    else
        line->setParent(FrqFrame);
}

RoomHost::PanelTexts Main::Shown() const {
    PanelTexts t;
    t.mode = MD->text();
    t.filter = FT->text();
    t.agc = AG->text();
    t.attenuator = AT->text();
    t.noiseBlanker = NB->text();
    t.squelch = SQ->text();
    t.sMeter = SM->text();
    t.band = Band->text();
    t.recordTag = LblCHN->text();
    t.recordNumber = CHN->text();
    t.station = FCom->isVisible() ? FCom->text() : QString();
    t.bandStep = STP[1]->text().toInt();
    return t;
}

void Main::WhenLinkChanged(QObject* context, std::function<void(bool connected)> run) {
    connect(this, &Main::linkChanged, context, std::move(run));
}

void Main::Share(const QString& name, QObject* context, std::function<QVariant()> value) {
    shared_[name] = {QPointer<QObject>(context), std::move(value)};
}

QVariant Main::Shared(const QString& name) const {
    const auto it = shared_.find(name);
    if (it == shared_.end() || !it->second.first || !it->second.second) return {};
    return it->second.second();
}

void Main::WhenSharedChanged(QObject* context, std::function<void(const QString& name)> run) {
    connect(this, &Main::sharedChanged, context, std::move(run));
}

void Main::closeEvent(QCloseEvent* event) {
    Unload();
    // The program's other windows (key help, messages) go with the main window.
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w != this && w->isVisible() && !w->isAncestorOf(this)) w->close();
    event->accept();
}

void Main::changeEvent(QEvent* event) {
    if (event->type() == QEvent::ActivationChange && isActiveWindow()) {
        FocusPanel();
        applyOnTop();
    }
    QWidget::changeEvent(event);
}

void Main::applyOnTop() {
    const bool onTop = windowFlags().testFlag(Qt::WindowStaysOnTopHint);
    if (onTop == settings.WIN_OnTop) return;
    const bool wasVisible = isVisible();
    setWindowFlag(Qt::WindowStaysOnTopHint, settings.WIN_OnTop);
    if (wasVisible) show();
}

// ---- update timer --------------------------------------------------------------------------

void Main::SetTimerRunning(bool running) {
    if (running)
        timer_.start(TickMs, this);
    else
        timer_.stop();
}

void Main::timerEvent(QTimerEvent* event) {
    if (event->timerId() == timer_.timerId())
        Tick();
    else
        QWidget::timerEvent(event);
}

void Main::Tick() {
    // The handshake waits with events running; a tick arriving meanwhile is dropped.
    if (inTick_) return;
    inTick_ = true;
    struct Leave {
        bool& flag;
        ~Leave() { flag = false; }
    } leave{inTick_};

    if (!Polling && !state_.Scanning()) return;

    if (!state_.Connected) {
        if (state_.RemoteHeld) {
            SetLinkHeld(false);
            rx_->Hook(false);
        }
        bool open = rx_->PortOpened();
        if (!open && TickCount % ReopenEveryTicks == 0) {
            // The device went away: look for it again now and then, quietly.
            open = rx_->fOpen(false);
        }
        if (open) {
            state_.Connected = rx_->Conn();
            if (unloaded_) return;
        }
        if (state_.Connected) {
            QString caption = ProgramTitle;
            if (caption.endsWith(QLatin1Char(']'))) caption.chop(1);
            // The bracket closes whether or not the receiver gave a usable revision.
            if (!rx_->RomId().isEmpty()) caption += QStringLiteral(" Rev. ") + rx_->RomId();
            setWindowTitle(caption + QLatin1Char(']'));
            rx_->Hook(state_.RemoteHeld);
            meter_->Start(true);
            // The handshake kept the event loop busy, so the next tick may follow at once, before
            // any reply to the first polls can have been read: judge silence only after two
            // more ticks, on events counted since now.
            EventCount = 0;
            silenceGrace_ = 2;
            if (linkLostBox_) linkLostBox_->close();
            render();
            emit linkChanged(true);
        } else {
            TickCount = (TickCount + 1) & 0xFFFF;
            return;
        }
    }

    Phase = (Phase + 1) % 16;
    Dwell = (Dwell + 1) % std::max(1, settings.SCN_Delay);

    PollStatus(*rx_, state_.Scan);

    if (state_.RemoteHeld && Dwell == 0 && IsTimedScan(state_.Scan)) scan_->Step();

    if (Phase % 2 == 0 && !state_.RemoteHeld) scan_->TrackBand();

    if (silenceGrace_ > 0) {
        --silenceGrace_;
    } else if (Phase % 2 == 0 && state_.Connected) {
        if (EventCount == 0) {
            rx_->Disc();
            dropLink();
        }
        EventCount = 0;
    }

    TickCount = (TickCount + 1) & 0xFFFF;
}

void Main::dropLink() {
    const bool was = state_.Connected;
    state_.Connected = false;
    if (state_.RemoteHeld) SetLinkHeld(false);
    render();
    if (was) emit linkChanged(false);
}

void Main::onPortLost(const QString& description) {
    // Reported once per loss; the tick reopens the device when it comes back.
    dropLink();
    if (linkLostBox_) return;
    linkLostBox_ = new QMessageBox(QMessageBox::Warning, ProgramTitle,
                                   QStringLiteral("The link to the receiver was lost: %1 [Port=%2, "
                                                  "%3]. The program reconnects when the device "
                                                  "comes back.")
                                       .arg(description)
                                       .arg(rx_->Port())
                                       .arg(rx_->device()),
                                   QMessageBox::Ok, this);
    linkLostBox_->setWindowModality(Qt::NonModal);
    linkLostBox_->setAttribute(Qt::WA_DeleteOnClose);
    if (settings.WIN_OnTop) linkLostBox_->setWindowFlag(Qt::WindowStaysOnTopHint, true);
    linkLostBox_->show();
}

void Main::runPortDialog() {
    if (ShowPortDialog) {
        ShowPortDialog(*this);
        return;
    }
    ComOpt dialog(settings, this, ForcedPort >= 1 ? ForcedPort : PreferredPort);
    dialog.exec();
}

void Main::ChangePort() {
    const int port = settings.COM_Port;
    const QString speed = settings.COM_Speed;
    runPortDialog();
    ApplyPortChange(port, speed);
}

void Main::ApplyPortChange(int port, const QString& speed) {
    if (settings.COM_Port < 1) settings.COM_Port = port; // no port chosen: keep the old one
    const bool same = settings.COM_Port == port && settings.COM_Speed == speed;
    if (same && rx_->PortOpened()) return;
    if (ForcedPort >= 1 && settings.COM_Port != ForcedPort) ForcedPort = 0; // the choice is kept
    // The receiver is let go on the old port before the new one is opened; the tick connects.
    if (state_.Scanning()) StopScan();
    rx_->Disc();
    rx_->fClose();
    dropLink();
    rx_->Baud(settings.COM_Speed);
    rx_->Port(quint8(settings.COM_Port));
    rx_->fOpen();
}

QString Main::LinkLostMessage() const {
    return linkLostBox_ ? linkLostBox_->text() : QString();
}

// ---- program state -------------------------------------------------------------------------

void Main::render() {
    const EnabledControls e = ComputeEnabled(state_);
    LockImg[1]->setVisible(state_.RemoteHeld);
    LockImg[0]->setVisible(!state_.RemoteHeld);
    FrDbImg->setVisible(state_.DbLinked);
    digits_->SetLocked(state_.PanelLocked);
    // Controls greyed because the receiver is on its front panel say how to take it.
    const QString tip =
        !e.Settings && state_.Connected && !state_.RemoteHeld ? FrontPanelTip : QString();
    if (AG->toolTip() != tip) {
        for (int i = 0; i < FrequencyDigits::Count; ++i) digits_->Box(i)->setToolTip(tip);
        for (QWidget* w : std::initializer_list<QWidget*>{AG, FT, AT, NB, Scan}) w->setToolTip(tip);
    }
    if (rendered_ && e == shown_) return;
    rendered_ = true;
    shown_ = e;
    for (int i = 0; i < FrequencyDigits::Count; ++i) digits_->Box(i)->setEnabled(e.Settings);
    for (QWidget* w : std::initializer_list<QWidget*>{AG, FT, AT, NB, Scan})
        w->setEnabled(e.Settings);
    for (QWidget* w : LockImg) w->setEnabled(e.LockImage);
    Store->setEnabled(e.Database);
    Search->setEnabled(e.Database);
    Mask->setVisible(e.Cover);
    digits_->setVisible(!e.Cover);
}

void Main::SetLinkHeld(bool held) {
    state_.RemoteHeld = held;
    render();
    FocusPanel();
}

void Main::SetPanelLocked(bool locked) {
    state_.PanelLocked = locked;
    render();
    FocusPanel();
}

void Main::SetScanState(ScanState state) {
    state_.Scan = state;
}

void Main::StopScan() {
    const ScanState was = state_.Scan;
    SetPanelLocked(false);
    state_.Scan = ScanState::Idle;
    tuner_->BandDefaults = true;
    scan_->Ended(was);
}

void Main::SetDbLinked(bool linked) {
    state_.DbLinked = linked;
    render();
}

// ---- receiver events -----------------------------------------------------------------------

void Main::OnUpd() {
    ++EventCount;
    Nrd535& rx = *rx_;
    if (rx.IsModFR()) TuneTo(rx.Fr(), false, true, true);
    if (rx.IsModAG()) ShowAgc(rx.AG(), false);
    if (rx.IsModMD()) ShowMode(rx.MD(), false);
    if (rx.IsModFT()) ShowFilter(rx.FT(), false);
    if (rx.IsModAT()) ShowAttenuator(rx.AT(), false);
    if (rx.IsModNB()) ShowNoiseBlanker(rx.NB(), false);
    if (rx.IsModSQ()) ShowSquelch(rx.SQ());
    if (rx.IsModSM()) ShowSMeter(rx.SM());
    if (FilterPosition == -1) FilterPosition = rx.FT();
    SMeterReport(rx.SM());
}

void Main::OnChn() {
    // A memory-channel record is a sign of life like a status report; the memory room keeps
    // the records.
    ++EventCount;
}

// ---- panel operations ----------------------------------------------------------------------

void Main::TuneTo(double frequency, bool setReceiver, bool lookBand, bool lookNotes) {
    frequency = std::trunc(frequency);
    if (setReceiver) {
        if (lookBand) {
            bool flagged = false;
            const std::string name = freqs_->Look(frequency / 1000, flagged);
            ShowBand(QString::fromStdString(name), flagged);
        }
        if (tuner_->BandEntered()) {
            ShowBandStep(freqs_->Step());
            tuner_->ApplyBandDefaults();
        }
        tuner_->Send(frequency);
        if (lookNotes && onLookNotes_) onLookNotes_(frequency);
    }
    ShowDigits(frequency);
    if (setReceiver || !state_.RemoteHeld) ClearChannelLabels();
}

void Main::ShowDigits(double frequency) {
    digits_->Show(frequency);
}

void Main::ShowBand(const QString& name, bool flagged) {
    Band->setText(name);
    PaintBackground(Band, flagged ? LightOrange : LightCyan);
}

void Main::ShowBandStep(int hz) {
    STP[1]->setText(QString::number(hz));
}

void Main::ShowKnownPosition(int list, int position) {
    CHN->setText(QStringLiteral("%1-%2")
                     .arg(list, 2, 10, QLatin1Char('0'))
                     .arg(position, 3, 10, QLatin1Char('0')));
    LblCHN->setText(QStringLiteral("Kf"));
}

void Main::ShowRecordNumber(const QString& tag, const QString& number) {
    CHN->setText(number);
    LblCHN->setText(tag);
}

void Main::ShowRecordCaption(double hz, const QString& comment, bool visible) {
    FFrq->setText(QString::number(hz / 1000, 'f', 1) + QLatin1Char(' '));
    FCom->setText(comment);
    FFrq->setVisible(visible);
    FCom->setVisible(visible);
}

void Main::SetSourceTip(const QString& tip) {
    // On the caption the operator sees, and the command box that carried it before.
    FCom->setToolTip(tip);
    FFrq->setToolTip(tip);
    CmdBox->setToolTip(tip);
}

int Main::CommentWidth() const {
    return FCom->width();
}

void Main::ShowIndicator(Indicator indicator) {
    if (indicator == Indicator::Pending) {
        PaintBackground(DIMInf, Peach);
        CmdBox->hide();
        return;
    }
    const bool ready = Dummy->hasFocus() && state_.RemoteHeld;
    PaintBackground(DIMInf, ready ? Green : Red);
}

void Main::SetTuningStep(double hz) {
    tuningStep_ = hz;
    STP[0]->setText(QString::number(hz, 'f', 0));
}

void Main::ShowMode(int code, bool apply) {
    if (apply)
        rx_->MD(ostry::MD(code));
    else
        MD->setText(rx_->MDDesc(ostry::MD(code)));
}

void Main::ShowFilter(int code, bool apply) {
    if (apply) {
        rx_->FT(ostry::FT(code));
        return;
    }
    if (code >= 4) {
        // A bandwidth: named after the quick filter that holds it, else shown as a number.
        for (const QuickFilter& q : settings.FLT_Inf) {
            if (q.Code == code && !q.Name.isEmpty()) {
                FT->setText(q.Name.left(5));
                return;
            }
        }
        FT->setText(QString::number(code));
        return;
    }
    FT->setText(rx_->FTDesc(ostry::FT(code)));
}

void Main::ShowAgc(int code, bool apply) {
    if (apply) {
        if (code == 2 && !settings.AGC_OffAllow) code = 0;
        rx_->AG(ostry::AG(code));
    } else {
        AG->setText(rx_->AGDesc(ostry::AG(code)));
    }
}

void Main::ShowNoiseBlanker(int code, bool apply) {
    if (apply)
        rx_->NB(qint16(code));
    else
        NB->setText(rx_->NBDesc(qint16(code)));
}

void Main::ShowAttenuator(int code, bool apply) {
    if (apply)
        rx_->AT(ostry::ONOFF(code));
    else
        AT->setText(rx_->ATDesc(ostry::ONOFF(code)));
}

void Main::ShowSquelch(int value) {
    SQ->setText(rx_->SQDesc(ostry::ONOFF(value)));
    PaintBackground(SQ, value != 0 ? Red : Green);
}

void Main::ShowSMeter(int value) {
    SM->setText(rx_->SMDesc(qint16(value)));
    if (state_.Scan == ScanState::NoiseMeasure)
        PaintBackground(SM, LightCyan);
    else if (value >= settings.SMT_Sql)
        PaintBackground(SM, LightOrange);
    else
        PaintBackground(SM, Green);
}

void Main::SMeterReport(int value) {
    if (IsSMeterProcedure(state_.Scan)) {
        if (onSMeterProcedure_) onSMeterProcedure_(value);
        return;
    }
    SMeter.Add(value, settings.SMT_Sql);
}

void Main::WarnBeep() {
    if (!settings.WIN_Beep) return;
    ++BeepCount;
    QApplication::beep();
}

void Main::ShowAutoFlags() {
    PaintBackground(Auto[0], settings.BND_AutoFT ? Green : Red);
    PaintBackground(Auto[1], settings.BND_AutoMD ? Green : Red);
}

void Main::ClearChannelLabels() {
    // Called on every tune: touch only what shows something.
    if (!CHN->text().isEmpty()) CHN->clear();
    if (!LblCHN->text().isEmpty()) LblCHN->clear();
    CmdBox->hide();
    FrqBox->hide();
    FFrq->hide();
    FCom->hide();
}

void Main::FocusPanel() {
    if (Dummy->isVisible()) Dummy->setFocus(Qt::OtherFocusReason);
}

void Main::showRegion() {
    RNG->setText(QStringLiteral("R") + QString::number(freqs_->Region() + 1));
}

MiniHelp& Main::Help() {
    if (!help_) {
        help_ = new MiniHelp(this);
        // The settings keep where the operator left the window; shutdown writes them.
        connect(help_, &MiniHelp::positionChanged, this, [this](int left, int top) {
            settings.HelpLeft = left;
            settings.HelpTop = top;
        });
    }
    return *help_;
}

void Main::ShowHelp() {
    MiniHelp& help = Help();
    settings.ReadHelpPosition(reg_);
    help.SetTitle(ProgramTitle);
    help.ShowAt(settings.HelpLeft, settings.HelpTop, settings.WIN_OnTop);
    // The help is for reading beside the panel: the keys stay with the main window.
    activateWindow();
    raise();
    FocusPanel();
}

bool Main::ToggleSpectrum() {
    const bool show = meter_ && !meter_->Show();
    // The display only shows while the capture runs.
    if (!meter_ || (show && !meter_->Run())) return false;
    meter_->Show(show);
    MeterArea->setVisible(show);
    adjustSize(); // the window grows or shrinks by the spectrum area
    return true;
}

void Main::ClickRegion() {
    LastButton = Qt::LeftButton;
    LastShift = Qt::NoModifier;
    RNG_Click();
}

void Main::ClickSMeter(bool shift) {
    LastButton = Qt::LeftButton;
    LastShift = shift ? Qt::ShiftModifier : Qt::NoModifier;
    SM_Click();
}

// ---- events --------------------------------------------------------------------------------

bool Main::eventFilter(QObject* watched, QEvent* event) {
    if (watched == Dummy) {
        if (event->type() == QEvent::FocusIn)
            PaintBackground(DIMInf, state_.RemoteHeld ? Green : Red);
        else if (event->type() == QEvent::FocusOut)
            PaintBackground(DIMInf, Red);
    }
    const QEvent::Type type = event->type();
    if (type != QEvent::KeyPress && type != QEvent::Wheel && type != QEvent::MouseButtonPress)
        return false;
    auto* widget = qobject_cast<QWidget*>(watched);
    if (!widget || widget->window() != this) return false;
    switch (type) {
    case QEvent::KeyPress:
        // Every key of the window is taken here: the hidden entry box must not collect text.
        routeKey(watched, static_cast<QKeyEvent*>(event));
        return true;
    case QEvent::Wheel:
        routeWheel(static_cast<QWheelEvent*>(event));
        return true;
    case QEvent::MouseButtonPress: {
        auto* mouse = static_cast<QMouseEvent*>(event);
        // A right press anywhere on the window pastes, once: only where it is first delivered
        // (the widget under the pointer), not again as it travels up to the parents.
        if (mouse->button() == Qt::RightButton) {
            QWidget* under = childAt(mapFromGlobal(mouse->globalPosition().toPoint()));
            if (watched == (under ? under : this)) keys_->RightClick();
        }
        return false;
    }
    default:
        return false;
    }
}

bool Main::routeKey(QObject* watched, QKeyEvent* event) {
    if (digits_->HandleKey(watched, event)) return true;
    const int key = event->key();
    if (IsModifierKey(key)) return true;
    if (keys_->KeyDown(key, event->modifiers())) return true;
    if (keys_->KeyPress(key, event->text(), event->modifiers())) return true;
    // Enter with nothing typed tunes to the digits shown.
    if (key == Qt::Key_Return || key == Qt::Key_Enter) {
        keys_->Enter(digits_->Value());
        return true;
    }
    return false;
}

void Main::routeWheel(QWheelEvent* event) {
    wheelRest_ += event->angleDelta().y();
    const bool middle = event->buttons() & Qt::MiddleButton;
    while (wheelRest_ >= WheelNotch || wheelRest_ <= -WheelNotch) {
        const bool forward = wheelRest_ > 0;
        wheelRest_ += forward ? -WheelNotch : WheelNotch;
        if (digits_->Editing() && digits_->EditIndex() >= 0)
            digits_->WheelOnDigit(forward);
        else
            keys_->Wheel(forward, middle);
    }
}

void Main::mousePressEvent(QMouseEvent* event) {
    LastButton = event->button();
    LastShift = event->modifiers();
    // Only the window's own background: a press that a control, a label or the frame did not
    // take is not a background click.
    if (event->button() != Qt::RightButton && !childAt(event->position().toPoint()))
        BackgroundClick();
    QWidget::mousePressEvent(event);
}

void Main::BackgroundClick() {
    if (state_.Connected) {
        digits_->EndEditing();
        TuneTo(rx_->Fr(), false, true, true);
        keys_->ClearEntry();
        ShowIndicator(Indicator::Idle);
        FocusPanel();
    }
    // The digit cursor goes back to the start in every case.
    digits_->EndEditing();
}

// ---- clicks --------------------------------------------------------------------------------

bool Main::clickAllowed(bool settingButton) const {
    if (LastButton == Qt::RightButton) return false;
    if (settingButton) return state_.Connected && state_.RemoteHeld && !state_.PanelLocked;
    return true;
}

void Main::MD_Click() {
    if (clickAllowed(true)) ShowMode((rx_->MD() + 1) % ModeCount, true);
}

void Main::AG_Click() {
    if (clickAllowed(true)) ShowAgc((rx_->AG() + 1) % 3, true);
}

void Main::NB_Click() {
    if (clickAllowed(true)) ShowNoiseBlanker((rx_->NB() + 1) % 3, true);
}

void Main::AT_Click() {
    if (clickAllowed(true)) ShowAttenuator((rx_->AT() + 1) % 2, true);
}

void Main::FT_Click() {
    if (!clickAllowed(true)) return;
    ++FilterPosition;
    if (FilterPosition < 4) {
        rx_->FT(ostry::FT(std::max(0, FilterPosition)));
        return;
    }
    for (int row = FilterPosition - 4; row < int(settings.FLT_Inf.size()); ++row) {
        if (settings.FLT_Inf[size_t(row)].Code > 0) {
            FilterPosition = row + 4;
            rx_->FT(ostry::FT(settings.FLT_Inf[size_t(row)].Code));
            return;
        }
    }
    FilterPosition = 0;
    rx_->FT(ostry::Wide);
}

void Main::STP_Click() {
    if (!clickAllowed(false)) return;
    if (LastButton == Qt::LeftButton) {
        tuningStep_ += StepIncrement;
        if (tuningStep_ <= 0) tuningStep_ = StepLimit;
        if (tuningStep_ > StepLimit) tuningStep_ = StepIncrement;
    }
    STP[0]->setText(QString::number(tuningStep_));
}

void Main::SQ_Click() {
    if (clickAllowed(false) && state_.Connected) ShowSquelch(rx_->SQ());
}

void Main::SM_Click() {
    if (!clickAllowed(false) || !state_.Connected) return;
    if (onSMeterClick_)
        onSMeterClick_(LastShift & Qt::ShiftModifier);
    else
        WarnBeep();
}

void Main::Band_Click() {
    if (LastButton != Qt::LeftButton && LastButton != Qt::NoButton) return;
    Polling = false;
    const QString name = QString::fromStdString(freqs_->BandNxt(true));
    ShowBand(name, false);
    TuneTo(freqs_->BandFrq() * 1000, true, false, true);
    Polling = true;
}

void Main::RNG_Click() {
    if (!clickAllowed(false)) return;
    freqs_->RegionNxt();
    showRegion();
    if (tuner_->BandEntered()) {
        ShowBand(QString::fromStdString(freqs_->BandNam()), false);
        ShowBandStep(freqs_->Step());
        tuner_->ApplyBandDefaults();
    }
}

void Main::Auto_Click(int index) {
    if (!clickAllowed(false)) return;
    if (index == 0)
        settings.BND_AutoFT = !settings.BND_AutoFT;
    else
        settings.BND_AutoMD = !settings.BND_AutoMD;
    ShowAutoFlags();
}

void Main::LockImg_Click() {
    if (!clickAllowed(false) || !state_.Connected || state_.PanelLocked) return;
    rx_->Hook(!rx_->Hook());
    SetLinkHeld(rx_->Hook());
}
