// SPDX-License-Identifier: MIT
#include "about_dialog.h"

#include <QApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QVBoxLayout>

#include "gui/twips_layout.h"

using namespace Qt::StringLiterals;

namespace {

// The program has no icon file: a crescent moon (三日月), drawn once.
QPixmap crescentIcon(int size)
{
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(0xF2, 0xC0, 0x2E));
    const QRectF moon(size * 0.06, size * 0.06, size * 0.88, size * 0.88);
    painter.drawEllipse(moon);
    painter.setCompositionMode(QPainter::CompositionMode_Clear);
    painter.drawEllipse(moon.translated(size * 0.28, -size * 0.12));
    return pixmap;
}

// Keeps the wait cursor exactly as long as it lives, whatever happens meanwhile.
class WaitCursor final
{
    Q_DISABLE_COPY_MOVE(WaitCursor)

public:
    WaitCursor() { QGuiApplication::setOverrideCursor(Qt::WaitCursor); }
    ~WaitCursor() { QGuiApplication::restoreOverrideCursor(); }
};

QLabel* addressLabel(const QString& name, const QString& text, QWidget* parent)
{
    auto* label = new QLabel(parent);
    label->setObjectName(name);
    label->setToolTip(text);
    label->setCursor(Qt::PointingHandCursor);
    QFont font = label->font();
    font.setUnderline(true);
    label->setFont(font);
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, QColor(0, 0, 0xCC));
    label->setPalette(palette);
    // A long address (a README deep in a folder tree) is cut in the middle, not at the edge.
    constexpr int kMaxWidth = 300;
    label->setText(QFontMetrics(font).elidedText(text, Qt::ElideMiddle, kMaxWidth));
    return label;
}

} // namespace

AboutAddresses AboutAddresses::fromBuild()
{
    AboutAddresses addresses;
    const QString homePage = QStringLiteral(MIKAZUKI_HOMEPAGE);
    // The README beside the program in a build; where an installation keeps it otherwise.
    const QDir program(QCoreApplication::applicationDirPath());
    QString readme = program.filePath(u"README.md"_s);
    const QString installed = program.filePath(u"../share/doc/mikazuki/README.md"_s);
    if (!QFileInfo::exists(readme) && QFileInfo::exists(installed)) {
        readme = QDir::cleanPath(installed);
    }
    addresses.homePage = homePage.isEmpty() ? QUrl::fromLocalFile(readme) : QUrl(homePage);
    addresses.email = QStringLiteral(MIKAZUKI_EMAIL);
    return addresses;
}

AboutDialog::AboutDialog(QWidget* parent, const AboutAddresses& addresses)
    : QDialog(parent)
    , m_addresses(addresses)
    , m_openUrl([](const QUrl& url) { return QDesktopServices::openUrl(url); })
{
    setObjectName(u"frmAbout"_s);
    setWindowTitle(u"ﾊﾞｰｼﾞｮﾝ情報 Mikazuki＋"_s);
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint
                   | Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
    const QFont font = TwipsLayout::windowFont();
    setFont(font);

    const auto label = [this](const QString& name, const QString& text) {
        auto* l = new QLabel(text, this);
        l->setObjectName(name);
        return l;
    };
    QLabel* icon = label(u"picIcon"_s, QString());
    const QIcon appIcon = QApplication::windowIcon();
    icon->setPixmap(appIcon.isNull() ? crescentIcon(32) : appIcon.pixmap(32, 32));
    icon->setAlignment(Qt::AlignTop | Qt::AlignHCenter);
    QLabel* title = label(u"lblTitle"_s, u"Mikazuki＋"_s);
    QFont titleFont = font;
    titleFont.setPointSize(14);
    titleFont.setBold(true);
    title->setFont(titleFont);
    QLabel* version = label(u"lblVersion"_s, u"Version "_s + QStringLiteral(MIKAZUKI_VERSION));
    QLabel* line0 = label(u"lblDescription_0"_s,
                          u"馬連とワイドのオッズの歪みから、買うべき馬券を探します。"_s);
    QLabel* line1 = label(u"lblDescription_1"_s, u"ワイド買いの方が回収率は良いみたいです。"_s);
    QLabel* rights = label(u"Label1"_s, u"© Mikazuki＋ developers"_s);
    QLabel* homeCaption = label(u"Text3"_s, u"HomePage  :"_s);
    m_homePage = addressLabel(u"Label3"_s, m_addresses.homePage.toString(), this);
    QLabel* mailCaption = label(u"Text1"_s, u"E-Mail  :"_s);
    m_mail = addressLabel(u"txtMail"_s, m_addresses.email, this);
    m_homePage->installEventFilter(this);
    m_mail->installEventFilter(this);
    auto* ok = new QPushButton(u"OK"_s, this);
    ok->setObjectName(u"cmdOK"_s);
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);

    auto* text = new QVBoxLayout;
    text->addWidget(title);
    text->addWidget(version);
    text->addSpacing(8);
    text->addWidget(line0);
    text->addWidget(line1);
    text->addSpacing(8);
    text->addWidget(rights);
    auto* addressRows = new QGridLayout;
    addressRows->addWidget(homeCaption, 0, 0);
    addressRows->addWidget(m_homePage, 0, 1);
    addressRows->addWidget(mailCaption, 1, 0);
    addressRows->addWidget(m_mail, 1, 1);
    addressRows->setColumnStretch(1, 1);
    text->addLayout(addressRows);
    auto* top = new QHBoxLayout;
    top->addWidget(icon, 0, Qt::AlignTop);
    top->addSpacing(12);
    top->addLayout(text, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(ok);
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(16, 16, 16, 12);
    outer->addLayout(top);
    outer->addSpacing(8);
    outer->addLayout(buttons);

    // Without an address the row would offer nothing to click.
    const bool hasMail = !m_addresses.email.isEmpty();
    mailCaption->setVisible(hasMail);
    m_mail->setVisible(hasMail);
    outer->setSizeConstraint(QLayout::SetFixedSize);
}

bool AboutDialog::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::MouseButtonRelease
        && static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
        if (watched == m_homePage) {
            openHomePage();
            return true;
        }
        if (watched == m_mail) {
            openMail();
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

void AboutDialog::openHomePage()
{
    openAddress(m_addresses.homePage);
}

void AboutDialog::openMail()
{
    openAddress(QUrl(u"mailto:"_s + m_addresses.email));
}

void AboutDialog::openAddress(const QUrl& url)
{
    const WaitCursor wait;
    // No browser or mail program: nothing to tell the user, the window stays as it is.
    static_cast<void>(m_openUrl(url));
}
