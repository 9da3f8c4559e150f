#pragma once
#include <QDialog>
#include <QString>
#include <functional>
#include <string>

#include "migrate/MigrationScript.hpp"
#include "support/UserPrompt.hpp"

class QCheckBox;
class QLabel;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;

namespace tablor::gui {

class SaveFileDialog;

// The migration script of the last comparison: what makes one compared object's structure like
// the other's, either way round, shown as the file holds it and saved through the save dialog.
// Statements held back (they lose data, or are made by hand) are marked.
class ScriptDialog : public QDialog {
    Q_OBJECT
  public:
    // Makes a script: `firstLikeSecond` turns the direction round; `allowDrop` lets statements
    // that lose data run.
    using Build = std::function<MigrationScript(bool firstLikeSecond, bool allowDrop)>;

    // `script` is the first shown: the second made like the first, losing no data. The caller
    // makes it, so that a script that cannot be made opens no dialog.
    ScriptDialog(const QString& first, const QString& second, const MigrationScript& script, Build build,
                 UserPrompt& prompt, SaveFileDialog& saveDialog, QWidget* parent = nullptr);

  private:
    void Rebuild();
    void Show(const MigrationScript& script);
    void SaveCommand();
    void Tell(const QString& text, PromptIcon icon, const QString& title = {});

    Build build_;
    UserPrompt& prompt_;
    SaveFileDialog& saveDialog_;
    // The script as a file holds it, and as the view shows it.
    std::string text_;
    QRadioButton* optSecondLikeFirst = nullptr;
    QRadioButton* optFirstLikeSecond = nullptr;
    QCheckBox* chkAllowDrop = nullptr;
    QLabel* lblSummary = nullptr;
    QPlainTextEdit* txtScript = nullptr;
    QPushButton* btnSaveScript = nullptr;
};

}  // namespace tablor::gui
