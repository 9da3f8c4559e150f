#pragma once
#include <functional>

namespace tablor::gui {

class Main;

// Commands of the main window that other parts of the program carry out: the structure
// viewer's two launchers, the help page and the About box. One left empty does nothing.
// The window refuses the launchers while a schema-reading command runs.
struct CommandHooks {
    std::function<void(Main&)> viewConnectionStructure;
    std::function<void(Main&)> viewSnapStructure;
    std::function<void(Main&)> showHelp;
    std::function<void(Main&)> showAbout;
};

}  // namespace tablor::gui
