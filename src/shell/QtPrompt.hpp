#pragma once
#include <QPointer>
#include <QWidget>

#include "support/UserPrompt.hpp"
#include "workbench/SaveFileDialog.hpp"

namespace tablor::gui {

// The window's way of asking the user: message boxes and the input box, with the texts,
// titles, icons and buttons exactly as the caller gives them. An empty title is "Tablor".
class QtPrompt : public UserPrompt {
  public:
    explicit QtPrompt(QWidget* parent = nullptr) : parent_(parent) {}
    void SetParent(QWidget* parent) { parent_ = parent; }

    PromptAnswer Ask(const PromptMessage& message) override;
    std::optional<std::string> Input(std::string_view prompt, std::string_view title,
                                     std::string_view proposed) override;

  private:
    QPointer<QWidget> parent_;
};

// The save dialog of the HTML export.
class QtSaveFileDialog : public SaveFileDialog {
  public:
    explicit QtSaveFileDialog(QWidget* parent = nullptr) : parent_(parent) {}
    void SetParent(QWidget* parent) { parent_ = parent; }

    std::optional<QString> AskSaveFileName(const QString& title, const QString& filter,
                                           const QString& initialName) override;

  private:
    QPointer<QWidget> parent_;
};

}  // namespace tablor::gui
