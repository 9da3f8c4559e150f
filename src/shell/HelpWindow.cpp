#include "shell/HelpWindow.hpp"

#include <QFile>
#include <QFileInfo>
#include <QTextBrowser>
#include <QUrl>
#include <QVBoxLayout>

#include "support/AppPaths.hpp"
#include "ui/Pictures.hpp"

namespace tablor::gui {

std::string HelpFilePath() {
    return AddAppPath(kHelpFileName);
}

HelpWindow::HelpWindow(QWidget* owner) : QWidget(owner, Qt::Window) {
    setAttribute(Qt::WA_DeleteOnClose);
    setObjectName("HelpWindow");
    setWindowTitle("Tablor Help");
    setWindowIcon(Picture(LargePicture::Help));
    Browser = new QTextBrowser(this);
    Browser->setOpenExternalLinks(true);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(Browser);
    resize(760, 620);
}

HelpWindow* ShowHelpFile(QWidget* owner, const std::string& path) {
    const QString file = QFile::decodeName(QByteArray::fromStdString(path));
    const QFileInfo info(file);
    if (!info.isFile() || !info.isReadable()) return nullptr;

    auto* window =
        owner != nullptr ? owner->findChild<HelpWindow*>(QString(), Qt::FindDirectChildrenOnly) : nullptr;
    if (window == nullptr) window = new HelpWindow(owner);
    window->Browser->setSource(QUrl::fromLocalFile(info.absoluteFilePath()));
    window->show();
    window->raise();
    window->activateWindow();
    return window;
}

HelpWindow* ShowHelp(QWidget* owner) {
    return ShowHelpFile(owner, HelpFilePath());
}

}  // namespace tablor::gui
