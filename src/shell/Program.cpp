#include "shell/Program.hpp"

#include <QApplication>
#include <cstdlib>
#include <iostream>

#include "shell/LiveConnector.hpp"
#include "shell/QtPrompt.hpp"
#include "workbench/Main.hpp"
#include "workbench/Pictures.hpp"

namespace tablor::gui {
namespace {

bool HasDisplay() {
    for (const char* name : {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY"}) {
        const char* value = std::getenv(name);
        if (value != nullptr && *value != '\0') return true;
    }
    return false;
}

}  // namespace

int RunProgram(int argc, char** argv) {
    if (!HasDisplay()) return -1;
    QApplication application(argc, argv);
    QApplication::setApplicationName("Tablor");
    QApplication::setWindowIcon(Picture(LargePicture::Application));

    QtPrompt prompt;
    QtSaveFileDialog saveDialog;
    // Filled in by the structure viewer, the help page and the About box.
    CommandHooks hooks;
    Main window(prompt, saveDialog, MakeLiveConnector(), std::move(hooks));
    prompt.SetParent(&window);
    saveDialog.SetParent(&window);
    window.show();
    return QApplication::exec();
}

}  // namespace tablor::gui
