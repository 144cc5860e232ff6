#include "ui/main_window.h"
#include "ui/panel_colours.h"

#include "ui/comopt.h"
#include "input/keys.h"
#include "settings/registry.h"
#include "scan/scan_engine.h"

#include <fennick/freqs.h>
#include <halvard/meter.h>
#include <ostry/nrd535.h>
#include <ostry/serialline.h>

#include <QApplication>
#include <QCloseEvent>
#include <QGridLayout>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QScreen>
#include <QVBoxLayout>
#include <cmath>

using namespace panel;

namespace {

constexpr int TwipsPerPixel = 15;
constexpr int TickMs = 100;
constexpr double MaxFrequency = 29999999;
constexpr int ModeCount = 9;
constexpr int StepIncrement = 500;
constexpr double StepLimit = 75000;
// While the port's device is gone, try to open it again every this many ticks.
constexpr int ReopenEveryTicks = 10;

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

// ---- panel controls ------------------------------------------------------------------------

void PanelLabel::mousePressEvent(QMouseEvent* event) {
    emit pressed(event->button(), event->modifiers());
    event->accept();
}

void PanelLabel::mouseReleaseEvent(QMouseEvent* event) {
    event->accept();
    if (rect().contains(event->position().toPoint())) emit clicked();
}

void PanelButton::mousePressEvent(QMouseEvent* event) {
    emit pressed2(event->button(), event->modifiers());
    QPushButton::mousePressEvent(event);
}

void PanelButton::mouseReleaseEvent(QMouseEvent* event) {
    QPushButton::mouseReleaseEvent(event);
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
    buildPanel();
    wirePanel();
    // A port that does not open says why, and what to do about it.
    rx_->setMessageDisplay([this](const QString& text) {
        const int port = rx_->Port();
        const ComOpt::Status status = ComOpt::PortStatus(port);
        QString message = text;
        if (status == ComOpt::NoPermission || status == ComOpt::InUse || status == ComOpt::Absent)
            message += QStringLiteral("\n\n") + ComOpt::StatusAdvice(port, status, false);
        QMessageBox::warning(this, ProgramTitle, message);
    });
    scan_ = std::make_unique<ScanEngine>(*this);
    keys_ = new KeyCommands(*this);
    if (!keys_->parent()) keys_->setParent(this);
}

Main::~Main() {
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

    auto* digits = new QWidget(FrqFrame);
    auto* digitRow = new QHBoxLayout(digits);
    digitRow->setContentsMargins(0, 0, 0, 0);
    digitRow->setSpacing(1);
    QFont digitFont = font();
    digitFont.setPointSize(22);
    digitFont.setBold(true);
    digitFont.setStyleHint(QFont::Monospace);
    for (size_t i = 0; i < FrqDigit.size(); ++i) {
        auto* d = new QLineEdit(digits);
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
        FrqDigit[i] = d;
        digitRow->addWidget(d);
        // Gaps after the megahertz and kilohertz digits.
        if (i == 1 || i == 4) digitRow->addSpacing(8);
    }
    grid->addWidget(digits, 0, 0, 2, 4);

    Mask = new QLabel(QStringLiteral("No link to the receiver"), digits);
    static_cast<QLabel*>(Mask)->setAlignment(Qt::AlignCenter);
    PaintBackground(Mask, QColor(64, 64, 64));
    {
        QPalette p = Mask->palette();
        p.setColor(QPalette::WindowText, QColor(255, 192, 128));
        Mask->setPalette(p);
    }

    Band = label(QString(), FrqFrame);
    Band->setMinimumWidth(150);
    RNG = label(QStringLiteral("R2"), FrqFrame);
    RNG->setFixedWidth(30);
    grid->addWidget(Band, 2, 0, 1, 3);
    grid->addWidget(RNG, 2, 3);

    auto* steps = new QHBoxLayout;
    steps->setSpacing(2);
    for (int i = 0; i < 2; ++i) {
        LblSTP[size_t(i)] = new QLabel(FrqFrame);
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
    CHN = new QLabel(FrqFrame);
    LblCHN = new QLabel(FrqFrame);
    for (QLabel* l : {LblCHN, CHN}) {
        l->setAlignment(Qt::AlignCenter);
        l->setFixedWidth(l == CHN ? 58 : 26);
        flags->addWidget(l);
    }
    flags->addStretch(1);
    grid->addLayout(flags, 1, 4, 1, 3);

    FrDbImg = new QLabel(FrqFrame);
    FrDbImg->setPixmap(databasePicture());
    FrDbImg->setToolTip(QStringLiteral("Database linked"));
    for (int i = 0; i < 2; ++i) {
        LockImg[size_t(i)] = new PanelLabel(FrqFrame);
        LockImg[size_t(i)]->setPixmap(lockPicture(i == 1));
        LockImg[size_t(i)]->setToolTip(i == 1 ? QStringLiteral("Receiver held: click to release")
                                              : QStringLiteral("Receiver free: click to hold"));
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
    Dummy->installEventFilter(this);
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
        if (LastButton != Qt::RightButton) FocusDummy();
    });
    // Until the options dialog exists its button leads to the part of it that matters most: the
    // serial port, which is otherwise only asked for when none is configured.
    Options->setToolTip(QStringLiteral("Serial port"));
    connect(Options, &QPushButton::clicked, this, [this] {
        if (LastButton == Qt::LeftButton || LastButton == Qt::NoButton) ChangePort();
    });
    connect(Scan, &QPushButton::clicked, this, [this] {
        if (LastButton == Qt::LeftButton || LastButton == Qt::NoButton) scan_->StartScan();
    });
    // The database request buttons and the options dialog join here.

    connect(rx_.get(), &Nrd535::OnUpd, this, [this] { OnUpd(); });
    connect(rx_.get(), &Nrd535::OnChn, this,
            [this](bool tb, qint16 nm, bool st, double fr, ostry::MD md, ostry::FT ft, ostry::AG ag,
                   ostry::ONOFF at) { OnChn(tb, nm, st, fr, md, ft, ag, at); });
    connect(rx_.get(), &Nrd535::portLost, this, &Main::onPortLost);
}

// ---- start-up and shutdown -----------------------------------------------------------------

bool Main::Load() {
    // Settings first: everything below depends on them.
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
        if (!ComOpt::ClosesAtOnce(settings, PortDialogRequested)) {
            if (ShowPortDialog) {
                ShowPortDialog(*this);
            } else {
                ComOpt dialog(settings, this);
                dialog.exec();
            }
        }
        if (settings.COM_Port < 0) return false;
        rx_->Baud(settings.COM_Speed);
        rx_->Port(quint8(settings.COM_Port));
        if (rx_->fOpen()) break;
        settings.COM_Port = -1;
    }
    loaded_ = true;

    freqs_->Max(MaxFrequency);
    freqs_->Region(settings.RNG_Default);

    // The key-help window is created by the key commands.
    int labels = 0;
    while (labels < 1000 && !freqs_->Label(labels).empty()) ++labels;
    settings.ReadKnownSelection(reg_, labels);

    setWindowTitle(ProgramTitle);

    // Place the window where it was, but never off every screen.
    QPoint pos(settings.MainLeft / TwipsPerPixel, settings.MainTop / TwipsPerPixel);
    bool onScreen = false;
    for (QScreen* screen : QGuiApplication::screens())
        onScreen |= screen->availableGeometry().contains(pos + QPoint(20, 20));
    if (onScreen || QGuiApplication::screens().isEmpty()) move(pos);

    // Seam: "default.mem", when it exists in the working directory, is loaded into the
    // channel table here, once memory files are built.
    ChannelsChanged = false;
    // Seam: the noise survey named by "SMT_Log" is read here, once the noise window is built.

    TuningStep = StepIncrement;
    FilterPosition = -1;
    SetLinkHeld(false);
    SetDbLinked(false);
    ResetSMeterStats();
    MD->setText(QStringLiteral("Mode"));
    FT->setText(QStringLiteral("Filter"));
    AG->setText(QStringLiteral("Agc"));
    AT->setText(QStringLiteral("Att"));
    NB->setText(QStringLiteral("NB"));
    SQ->setText(QStringLiteral("Squel."));
    SM->setText(QStringLiteral("SMet."));
    showRegion();
    STP[0]->setText(QString::number(TuningStep));
    ClearChannelLabels();
    CmdBox->setReadOnly(true);
    LblSTP[0]->setText(QString(QChar(0x2194)));                          // left-right arrow
    LblSTP[1]->setText(QString(QChar(0x2191)) + QString(QChar(0x2193))); // up, down
    Mask->setVisible(true);
    ShowDigits(0);

    Polling = true;
    SetTimerRunning(true);
    // Seam: the database link starts here, once it is built.

    meter_->Show(false);
    meter_->Card(qint16(settings.SND_Crd));
    meter_->Source(halvard::S_LIN, true);
    MeterArea->setVisible(false);
    applyOnTop();
    return true;
}

void Main::Unload() {
    if (unloaded_ || !loaded_) return;
    unloaded_ = true;
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
        settings.MainLeft = frame.left() * TwipsPerPixel;
        settings.MainTop = frame.top() * TwipsPerPixel;
        settings.MainWidth = frame.width() * TwipsPerPixel;
        settings.MainHeight = frame.height() * TwipsPerPixel;
        settings.RNG_Default = freqs_->Region();
        settings.Write(reg_);
    }
    // Seam: the channel table is saved here when it changed, once memory files are built.
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
        FocusDummy();
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

    if (!Polling && ScanState == 0) return;

    if (!Connected) {
        if (RemoteHeld) {
            SetLinkHeld(false);
            rx_->Hook(false);
        }
        bool open = rx_->PortOpened();
        if (!open && TickCount % ReopenEveryTicks == 0) {
            // The device went away: look for it again now and then, quietly.
            open = rx_->fOpen(false);
        }
        if (open) {
            Connected = rx_->Conn();
            if (unloaded_) return;
        }
        Mask->setVisible(!Connected);
        if (Connected) {
            QString caption = ProgramTitle;
            if (caption.endsWith(QLatin1Char(']'))) caption.chop(1);
            // The bracket closes whether or not the receiver gave a usable revision.
            if (!rx_->RomId().isEmpty()) caption += QStringLiteral(" Rev. ") + rx_->RomId();
            setWindowTitle(caption + QLatin1Char(']'));
            Mask->hide();
            rx_->Hook(RemoteHeld);
            meter_->Start(true);
            // The handshake kept the event loop busy, so the next tick may follow at once, before
            // any reply to the first polls can have been read: judge silence only after two
            // more ticks, on events counted since now.
            EventCount = 0;
            silenceGrace_ = 2;
            if (linkLostBox_) linkLostBox_->close();
            emit linkChanged(true);
        } else {
            TickCount = (TickCount + 1) & 0xFFFF;
            return;
        }
    }

    Phase = (Phase + 1) % 16;
    Dwell = (Dwell + 1) % std::max(1, settings.SCN_Delay);

    rx_->FTUpd();
    rx_->NBUpd();
    rx_->SQUpd();
    if (ScanState != 1 && ScanState != 2) rx_->SMUpd();

    // The noise measurement and the active search step on the S-meter replies, not here.
    if (RemoteHeld && Dwell == 0 && ScanState >= 3) scan_->Step();

    if (Phase % 2 == 0 && !RemoteHeld) scan_->TrackBand();

    if (silenceGrace_ > 0) {
        --silenceGrace_;
    } else if (Phase % 2 == 0 && Connected) {
        if (EventCount == 0) {
            Connected = false;
            rx_->Disc();
            Mask->show();
            emit linkChanged(false);
        }
        EventCount = 0;
    }

    TickCount = (TickCount + 1) & 0xFFFF;
}

void Main::onPortLost(const QString& description) {
    // Reported once per loss; the tick reopens the device when it comes back.
    Connected = false;
    Mask->show();
    if (RemoteHeld) SetLinkHeld(false);
    emit linkChanged(false);
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
    connect(linkLostBox_, &QObject::destroyed, this, [this] { linkLostBox_ = nullptr; });
    linkLostBox_->show();
}

void Main::ChangePort() {
    const int port = settings.COM_Port;
    const QString speed = settings.COM_Speed;
    if (ShowPortDialog) {
        ShowPortDialog(*this);
    } else {
        ComOpt dialog(settings, this);
        dialog.exec();
    }
    if (settings.COM_Port < 1) settings.COM_Port = port; // no port chosen: keep the old one
    const bool same = settings.COM_Port == port && settings.COM_Speed == speed;
    if (same && rx_->PortOpened()) return;
    if (ForcedPort >= 1 && settings.COM_Port != ForcedPort) ForcedPort = 0; // the choice is kept
    // The receiver is let go on the old port before the new one is opened; the tick connects.
    if (ScanState != 0) StopScan();
    rx_->Disc();
    rx_->fClose();
    Connected = false;
    if (RemoteHeld) SetLinkHeld(false);
    Mask->show();
    emit linkChanged(false);
    rx_->Baud(settings.COM_Speed);
    rx_->Port(quint8(settings.COM_Port));
    rx_->fOpen();
}

QString Main::LinkLostMessage() const {
    return linkLostBox_ ? linkLostBox_->text() : QString();
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

void Main::OnChn(bool table, int index, bool last, double frequency, int mode, int filter, int agc,
                 int att) {
    Q_UNUSED(att);
    ++EventCount;
    CHN->setText(QStringLiteral("L%1").arg(index, 3, 10, QLatin1Char('0')));
    if (frequency != 0) {
        if (table && index >= 0 && index < int(Channels.size())) {
            Channels[size_t(index)] = MemoryRecord{frequency, mode, filter, agc, QString()};
            ChannelsChanged = true;
        } else if (!table && index >= 0 && index < int(settings.MEM_Inf.size())) {
            settings.MEM_Inf[size_t(index)] = MemoryRecord{frequency, mode, filter, agc, QString()};
        }
    }
    if (last) {
        Dumping = false;
        ClearChannelLabels();
    }
}

// ---- panel operations ----------------------------------------------------------------------

void Main::TuneTo(double frequency, bool setReceiver, bool lookBand, bool lookNotes) {
    frequency = std::trunc(frequency);
    if (setReceiver) {
        if (lookBand) {
            bool flagged = false;
            const std::string name = freqs_->Look(frequency / 1000, flagged);
            showBandLabel(QString::fromStdString(name), flagged);
        }
        if (BandEntered()) {
            STP[1]->setText(QString::number(freqs_->Step()));
            ApplyBandDefaults();
            // The scratch pad and log search joins here (lookNotes).
            Q_UNUSED(lookNotes);
        }
        rx_->Fr(frequency);
    }
    ShowDigits(frequency);
    if (setReceiver || !RemoteHeld) ClearChannelLabels();
}

bool Main::BandEntered() {
    const double low = freqs_->BandFrq();
    const double high = freqs_->Last();
    const int region = freqs_->Region();
    const bool entered = low != bandLow_ || high != bandHigh_ || region != bandRegion_;
    bandLow_ = low;
    bandHigh_ = high;
    bandRegion_ = region;
    return entered;
}

void Main::ShowDigits(double frequency) {
    if (!(frequency >= 0) || frequency > 99999999) {
        for (QLineEdit* d : FrqDigit) d->setText(QStringLiteral("-"));
        return;
    }
    const QString text =
        QStringLiteral("%1").arg(qint64(frequency), int(FrqDigit.size()), 10, QLatin1Char('0'));
    for (size_t i = 0; i < FrqDigit.size(); ++i) FrqDigit[i]->setText(text.mid(qsizetype(i), 1));
}

void Main::SetLinkHeld(bool held) {
    RemoteHeld = held;
    LockImg[1]->setVisible(held);
    LockImg[0]->setVisible(!held);
    for (QLineEdit* d : FrqDigit) d->setEnabled(held);
    for (QWidget* w : std::initializer_list<QWidget*>{AG, FT, AT, NB, Scan}) w->setEnabled(held);
    FocusDummy();
}

void Main::SetPanelLocked(bool locked) {
    PanelLocked = locked;
    for (QWidget* w : LockImg) w->setEnabled(!locked);
    for (QLineEdit* d : FrqDigit) d->setEnabled(!locked);
    for (QWidget* w : std::initializer_list<QWidget*>{AG, FT, AT, NB, Scan}) w->setEnabled(!locked);
    FocusDummy();
}

void Main::StopScan() {
    SetPanelLocked(false);
    ScanState = 0;
    BandDefaults = true;
}

void Main::SetDbLinked(bool linked) {
    FrDbImg->setVisible(linked);
    DbLinked = linked;
    if (linked && !Connected) return;
    Store->setEnabled(linked);
    Search->setEnabled(linked);
}

void Main::ApplyBandDefaults() {
    if (!BandDefaults) return;
    int bandwidth = -1;
    const ostry::MD mode = rx_->MDCode(QString::fromStdString(freqs_->Mode(bandwidth)));
    if (settings.BND_AutoMD) rx_->MD(mode);
    if (settings.BND_AutoFT) {
        const int step = std::clamp(freqs_->Step(), 0, 32767);
        rx_->FT(ostry::FT(rx_->FTB(qint16(step), mode, settings.FLT_Aux)));
    }
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
    if (ScanState == 1)
        PaintBackground(SM, LightCyan);
    else if (value >= settings.SMT_Sql)
        PaintBackground(SM, LightOrange);
    else
        PaintBackground(SM, Green);
}

void Main::ResetSMeterStats() {
    SMeterStats.fill(0);
    SMeterStats[0] = 10;
    SMeterStats[1] = 0;
    SMeterStats[2] = settings.SMT_Sql;
    SMeterStats[3] = SMeterStats[4] = SMeterStats[5] = 255;
}

void Main::SMeterReport(int value) {
    if (ScanState == 1 || ScanState == 2) {
        // The noise measurement and the active search join here.
        return;
    }
    auto& s = SMeterStats;
    const int length = std::clamp(s[0], 1, int(s.size()) - 6);
    const int index = std::clamp(s[1], 0, length - 1);
    s[size_t(6 + index)] = value;
    s[5] = s[4];
    if (value > settings.SMT_Sql && value > s[2]) s[2] = value;
    if (value > settings.SMT_Sql && value < s[3]) s[3] = value;
    int sum = 0;
    for (int i = 0; i < length; ++i) sum += s[size_t(6 + i)];
    s[4] = int(std::nearbyint(double(sum) / length));
    s[1] = (index + 1) % length;
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
    CHN->clear();
    LblCHN->clear();
    CmdBox->hide();
    FrqBox->hide();
}

void Main::FocusDummy() {
    if (Dummy->isVisible()) Dummy->setFocus(Qt::OtherFocusReason);
}

void Main::showRegion() {
    RNG->setText(QStringLiteral("R") + QString::number(freqs_->Region() + 1));
}

void Main::showBandLabel(const QString& name, bool flagged) {
    Band->setText(name);
    PaintBackground(Band, flagged ? LightOrange : LightCyan);
}

bool Main::eventFilter(QObject* watched, QEvent* event) {
    if (watched == Dummy) {
        if (event->type() == QEvent::FocusIn)
            PaintBackground(DIMInf, RemoteHeld ? Green : Red);
        else if (event->type() == QEvent::FocusOut)
            PaintBackground(DIMInf, Red);
    }
    return QWidget::eventFilter(watched, event);
}

// ---- clicks --------------------------------------------------------------------------------

bool Main::clickAllowed(bool settingButton) const {
    if (LastButton == Qt::RightButton) return false;
    if (settingButton) return Connected && RemoteHeld && !PanelLocked;
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
        TuningStep += StepIncrement;
        if (TuningStep <= 0) TuningStep = StepLimit;
        if (TuningStep > StepLimit) TuningStep = StepIncrement;
    }
    STP[0]->setText(QString::number(TuningStep));
}

void Main::SQ_Click() {
    if (clickAllowed(false) && Connected) ShowSquelch(rx_->SQ());
}

void Main::SM_Click() {
    if (!clickAllowed(false) || !Connected) return;
    // The noise window (plain click) and the noise measurement (Shift-click) join here.
}

void Main::Band_Click() {
    if (LastButton != Qt::LeftButton && LastButton != Qt::NoButton) return;
    Polling = false;
    const QString name = QString::fromStdString(freqs_->BandNxt(true));
    showBandLabel(name, false);
    TuneTo(freqs_->BandFrq() * 1000, true, false, true);
    Polling = true;
}

void Main::RNG_Click() {
    if (!clickAllowed(false)) return;
    freqs_->RegionNxt();
    showRegion();
    if (BandEntered()) {
        showBandLabel(QString::fromStdString(freqs_->BandNam()), false);
        STP[1]->setText(QString::number(freqs_->Step()));
        ApplyBandDefaults();
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
    if (!clickAllowed(false) || !Connected || PanelLocked) return;
    rx_->Hook(!rx_->Hook());
    SetLinkHeld(rx_->Hook());
}

void Main::mousePressEvent(QMouseEvent* event) {
    LastButton = event->button();
    LastShift = event->modifiers();
    if (event->button() != Qt::RightButton) BackgroundClick();
    QWidget::mousePressEvent(event);
}

void Main::BackgroundClick() {
    if (Connected) {
        TuneTo(rx_->Fr(), false, true, true);
        FocusDummy();
    }
    emit backgroundClicked();
}
