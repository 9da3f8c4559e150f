#include "shell/Program.hpp"

#include <QApplication>
#include <cstdlib>
#include <iostream>

#include "shell/HelpWindow.hpp"
#include "shell/LiveReading.hpp"
#include "shell/QtPrompt.hpp"
#include "shell/frmAbout.hpp"
#include "ui/Pictures.hpp"
#include "workbench/Main.hpp"

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
    // The visual-style manifest is not written here: only Windows reads application manifests
    // (see support/ManifestWriter.hpp).
    CommandHooks hooks;
    // The window gathers what a viewer launch needs and reads the source off its own thread.
    hooks.viewConnectionStructure = [](Main& window) { window.ViewConnectionStructure(); };
    hooks.viewSnapStructure = [](Main& window) { window.ViewSnapStructure(); };
    hooks.showHelp = [](Main& window) { ShowHelp(&window); };
    hooks.showAbout = [](Main& window) { ShowAbout(&window, window.SourcePrompt()); };
    Main window(prompt, saveDialog, MakeLiveReader(), std::move(hooks));
    prompt.SetParent(&window);
    saveDialog.SetParent(&window);
    window.show();
    return QApplication::exec();
}

}  // namespace tablor::gui
