#pragma once
#include <QDialog>
#include <QString>
#include <array>

#include "compare/CompareOptions.hpp"
#include "support/UserPrompt.hpp"

class QCheckBox;
class QLineEdit;
class QPlainTextEdit;

namespace tablor::gui {

// File > Options...: how the window's comparisons are made. The dialog edits a copy; the
// caller takes Options() only when it was accepted.
class OptionsDialog : public QDialog {
    Q_OBJECT
  public:
    // `prompt` tells why OK is refused.
    OptionsDialog(const CompareOptions& options, UserPrompt& prompt, QWidget* parent = nullptr);

    // The choices as the boxes hold them; blank pattern lines are dropped.
    CompareOptions Options() const;

    // Refuses a choice that shows no kind at all: every comparison would come out empty.
    void accept() override;

  private:
    UserPrompt& prompt_;
    QCheckBox* chkIgnoreCase = nullptr;
    QCheckBox* chkIgnoreGeneratedNames = nullptr;
    QCheckBox* chkDefinitions = nullptr;
    QLineEdit* txtIgnoreProperties = nullptr;
    QPlainTextEdit* txtInclude = nullptr;
    QPlainTextEdit* txtExclude = nullptr;
    // By CompareKind bit.
    std::array<QCheckBox*, 11> chkOnly{};
};

// The window's comparison options, kept in the settings store beside the remembered servers
// (group "ComparisonOptions").
namespace OptionsMemory {
// The stored options; anything missing or unreadable is taken as off, so a damaged store
// compares as the program always did.
CompareOptions Load();
// Stores the options; what went wrong, for the user, or empty.
QString Save(const CompareOptions& options);
}  // namespace OptionsMemory

}  // namespace tablor::gui
