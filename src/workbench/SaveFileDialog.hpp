#pragma once
#include <QString>
#include <optional>

namespace tablor::gui {

// The save dialog of the HTML export, behind an interface so tests can answer it.
class SaveFileDialog {
  public:
    virtual ~SaveFileDialog() = default;
    // Asks for a file to write; nothing when the user cancels. `filter` is one entry,
    // "Description (*.ext)". No default extension is added and no overwrite question asked:
    // the caller asks itself.
    virtual std::optional<QString> AskSaveFileName(const QString& title, const QString& filter,
                                                   const QString& initialName) = 0;
};

}  // namespace tablor::gui
