#include "ui/minihelp.h"

#include "core/units.h"

#include "input/keys_table.h"

#include <QKeyEvent>
#include <QTextEdit>
#include <QVBoxLayout>

namespace {

QString Esc(const char* text) {
    return QString::fromUtf8(text).toHtmlEscaped();
}

QString Key(const QString& keys) {
    return QStringLiteral("<b><font color=\"#c00000\">%1</font></b>").arg(keys);
}

QString Row(const QString& keys, const QString& help) {
    return QStringLiteral("<tr><td>%1</td><td>&nbsp;%2</td></tr>").arg(Key(keys), help);
}

QString Section(const QString& title) {
    return QStringLiteral("<tr><td colspan=\"2\"><br><u>%1</u></td></tr>").arg(title);
}

const char* CommandSection(char prefix) {
    switch (prefix) {
    case 'M':
        return "Receiver mode";
    case 'F':
        return "Receiver filter";
    case 'A':
        return "Receiver AGC";
    case 'N':
        return "Noise";
    case 'S':
        return "Scans (the scan button repeats the last one)";
    default:
        return "Other commands";
    }
}

} // namespace

MiniHelp::MiniHelp(QWidget* parent) : QWidget(parent, Qt::Window), text_(new QTextEdit(this)) {
    setObjectName(QStringLiteral("MiniHelp"));
    // It opens beside the panel for reading: the keys stay with the main window.
    setAttribute(Qt::WA_ShowWithoutActivating);
    text_->setReadOnly(true);
    text_->setToolTip(
        QStringLiteral("Select, Cut & Paste into RTF complient editor to save information"));
    text_->setHtml(Html());
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(text_);
    resize(560, 520);
}

void MiniHelp::SetTitle(const QString& programTitle) {
    setWindowTitle(programTitle + QStringLiteral(" Keys      "));
}

void MiniHelp::ShowAt(int leftTwips, int topTwips, bool onTop) {
    setWindowFlag(Qt::WindowStaysOnTopHint, onTop);
    move(TwipsToPixels(leftTwips), TwipsToPixels(topTwips));
    show();
    raise();
}

int MiniHelp::LeftTwips() const {
    return PixelsToTwips(pos().x());
}

int MiniHelp::TopTwips() const {
    return PixelsToTwips(pos().y());
}

QString MiniHelp::Html() {
    QString html = QStringLiteral(
        "<html><body style=\"font-family:'Courier New',monospace;\">"
        "<h3>Kelvane keys &mdash; NRD-535 / NRD-535D receiver</h3>"
        "<p>Letters may be typed in either case. A two-letter command is its first letter "
        "followed by the second; Esc cancels a pending letter.</p><table>");
    const char* section = nullptr;
    for (const KeyHelpRow& row : SingleKeys()) {
        if (!section || qstrcmp(section, row.section) != 0) {
            section = row.section;
            html += Section(Esc(section));
        }
        html += Row(Esc(row.keys), Esc(row.help));
    }
    char prefix = 0;
    for (const CommandRow& row : Commands()) {
        if (!row.built) continue;
        if (row.prefix != prefix) {
            prefix = row.prefix;
            html += Section(Esc(CommandSection(prefix)));
        }
        const char keys[3] = {row.prefix, row.second, 0};
        html += Row(Esc(keys), Esc(row.help));
    }
    html += QStringLiteral("</table></body></html>");
    return html;
}

void MiniHelp::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape) {
        event->accept();
        close();
        return;
    }
    QWidget::keyPressEvent(event);
}

void MiniHelp::moveEvent(QMoveEvent* event) {
    QWidget::moveEvent(event);
    emit positionChanged(LeftTwips(), TopTwips());
}
