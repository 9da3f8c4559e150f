#pragma once
#include <QWidget>
#include <string>

class QTextBrowser;

namespace tablor::gui {

// The help page's name beside the program.
inline constexpr const char* kHelpFileName = "help.html";

// The help page in the data folder (AddAppPath).
std::string HelpFilePath();

// The program's help window: the help page in a browser that follows its links.
class HelpWindow : public QWidget {
    Q_OBJECT
  public:
    explicit HelpWindow(QWidget* owner);
    QTextBrowser* Browser = nullptr;
};

// Shows the page at `path` in `owner`'s help window, opening it or bringing it forward.
// A page that is missing or cannot be read shows nothing and tells nothing. Returns the
// window, or null.
HelpWindow* ShowHelpFile(QWidget* owner, const std::string& path);

// The help page beside the program, for the Help button and menu.
HelpWindow* ShowHelp(QWidget* owner);

}  // namespace tablor::gui
