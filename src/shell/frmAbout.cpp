#include "shell/frmAbout.hpp"

#include <QFrame>
#include <QGridLayout>
#include <QGuiApplication>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QVersionNumber>

#include "ui/Pictures.hpp"

namespace tablor::gui {
namespace {

QLabel* WrappedLabel(QWidget* parent, const QString& text) {
    auto* label = new QLabel(text, parent);
    label->setTextFormat(Qt::PlainText);
    label->setWordWrap(true);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    return label;
}

}  // namespace

QString VersionCaption(const QString& version) {
    const QVersionNumber number = QVersionNumber::fromString(version);
    return QString("Version %1.%2.%3")
        .arg(number.majorVersion())
        .arg(number.minorVersion())
        .arg(number.microVersion());
}

frmAbout::frmAbout(UserPrompt& prompt, QWidget* parent, SystemInfoReader readSystemInfo)
    : QDialog(parent), prompt_(prompt), readSystemInfo_(std::move(readSystemInfo)) {
    setObjectName("frmAbout");
    setWindowTitle("About Quennet Tablor");
    QFont font("MS Sans Serif");
    font.setStyleHint(QFont::SansSerif);
    font.setPointSizeF(8.25);
    setFont(font);

    picIcon = new QLabel(this);
    picIcon->setPixmap(Pixmap32(LargePicture::Application, *picIcon));
    picIcon->setFixedSize(36, 36);
    picIcon->setAlignment(Qt::AlignCenter);

    lblTitle = WrappedLabel(this, "Tablor");
    QFont titleFont = font;
    titleFont.setPointSizeF(18);
    titleFont.setBold(true);
    lblTitle->setFont(titleFont);
    lblVersion = WrappedLabel(this, VersionCaption(QStringLiteral(TABLOR_VERSION)));
    lblDescription = WrappedLabel(
        this,
        "The Quennet Tablor application will allow you to compare the structure of two SQL server databases "
        "and display all the differences between them.");
    lblDisclaimer = WrappedLabel(
        this,
        "Warning: this program is provided as it is, without warranty of any kind. Check the differences it "
        "reports before you change a database on the strength of them; the authors accept no liability for "
        "lost data or any other damage that its use may cause.");
    QFont small = font;
    small.setPointSizeF(7.5);
    lblDisclaimer->setFont(small);

    Line1 = new QFrame(this);
    Line1->setFrameShape(QFrame::HLine);
    Line1->setFrameShadow(QFrame::Sunken);

    cmdOK = new QPushButton("OK", this);
    cmdOK->setDefault(true);
    cmdSysInfo = new QPushButton("&System Info...", this);
    connect(cmdOK, &QPushButton::clicked, this, &QDialog::accept);
    connect(cmdSysInfo, &QPushButton::clicked, this, [this] { StartSysInfo(); });

    auto* layout = new QGridLayout(this);
    layout->setContentsMargins(16, 16, 16, 12);
    layout->setHorizontalSpacing(16);
    layout->addWidget(picIcon, 0, 0, 3, 1, Qt::AlignTop);
    layout->addWidget(lblTitle, 0, 1, 1, 2);
    layout->addWidget(lblVersion, 1, 1, 1, 2);
    layout->addWidget(lblDescription, 2, 1, 1, 2);
    layout->addWidget(Line1, 3, 0, 1, 3);
    layout->addWidget(lblDisclaimer, 4, 0, 2, 2);
    layout->addWidget(cmdOK, 4, 2, Qt::AlignTop);
    layout->addWidget(cmdSysInfo, 5, 2, Qt::AlignTop);
    layout->setColumnStretch(1, 1);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    lblDescription->setMinimumWidth(260);
    lblDisclaimer->setMinimumWidth(250);
}

SystemInfoWindow* frmAbout::StartSysInfo() {
    const std::optional<SystemInfo> info = readSystemInfo_ ? readSystemInfo_() : std::nullopt;
    if (!info) {
        PromptMessage message;
        message.text = "System Information Is Unavailable At This Time";
        prompt_.Ask(message);
        return nullptr;
    }
    auto* window = new SystemInfoWindow(*info, this);
    window->show();
    return window;
}

void frmAbout::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (!centred_) {
        centred_ = true;
        CenterForm();
    }
}

void frmAbout::CenterForm() {
    const QScreen* screen = this->screen() != nullptr ? this->screen() : QGuiApplication::primaryScreen();
    if (screen == nullptr) return;
    const QRect area = screen->geometry();
    const QSize outer = frameGeometry().size();
    move(area.x() + area.width() / 2 - outer.width() / 2, area.y() + area.height() / 2 - outer.height() / 2);
}

void ShowAbout(QWidget* owner, UserPrompt& prompt) {
    frmAbout box(prompt, owner);
    box.setWindowModality(Qt::ApplicationModal);
    box.exec();
}

}  // namespace tablor::gui
