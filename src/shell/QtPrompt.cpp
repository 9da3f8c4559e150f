#include "shell/QtPrompt.hpp"

#include <QFileDialog>
#include <QInputDialog>
#include <QMessageBox>
#include <QPushButton>

namespace tablor::gui {
namespace {

QString TitleOr(std::string_view title) {
    return title.empty() ? QStringLiteral("Tablor")
                         : QString::fromUtf8(title.data(), static_cast<qsizetype>(title.size()));
}

QMessageBox::Icon BoxIcon(PromptIcon icon) {
    switch (icon) {
        case PromptIcon::Information: return QMessageBox::Information;
        case PromptIcon::Warning: return QMessageBox::Warning;
        case PromptIcon::Question: return QMessageBox::Question;
        case PromptIcon::Critical: return QMessageBox::Critical;
        case PromptIcon::None: break;
    }
    return QMessageBox::NoIcon;
}

struct ButtonAnswer {
    QMessageBox::StandardButton button;
    PromptAnswer answer;
};

std::vector<ButtonAnswer> ButtonsOf(PromptButtons buttons) {
    switch (buttons) {
        case PromptButtons::YesNo:
            return {{QMessageBox::Yes, PromptAnswer::Yes}, {QMessageBox::No, PromptAnswer::No}};
        case PromptButtons::AbortRetryIgnore:
            return {{QMessageBox::Abort, PromptAnswer::Abort},
                    {QMessageBox::Retry, PromptAnswer::Retry},
                    {QMessageBox::Ignore, PromptAnswer::Ignore}};
        case PromptButtons::Ok:
            break;
    }
    return {{QMessageBox::Ok, PromptAnswer::Ok}};
}

// What a box closed without a button click means: the safe way out of each kind.
PromptAnswer Dismissed(PromptButtons buttons) {
    switch (buttons) {
        case PromptButtons::YesNo: return PromptAnswer::No;
        case PromptButtons::AbortRetryIgnore: return PromptAnswer::Abort;
        case PromptButtons::Ok: break;
    }
    return PromptAnswer::Ok;
}

}  // namespace

PromptAnswer QtPrompt::Ask(const PromptMessage& message) {
    QMessageBox box(parent_);
    box.setWindowTitle(TitleOr(message.title));
    // Names of database objects are data, never markup.
    box.setTextFormat(Qt::PlainText);
    box.setText(QString::fromStdString(message.text));
    box.setIcon(BoxIcon(message.icon));
    const auto buttons = ButtonsOf(message.buttons);
    QMessageBox::StandardButtons set;
    for (const auto& pair : buttons) set |= pair.button;
    box.setStandardButtons(set);
    box.setDefaultButton(buttons.front().button);
    for (const auto& pair : buttons)
        if (pair.answer == message.defaultAnswer) box.setDefaultButton(pair.button);
    if (message.buttons == PromptButtons::YesNo) box.setEscapeButton(QMessageBox::No);
    box.exec();
    const auto clicked = box.standardButton(box.clickedButton());
    for (const auto& pair : buttons)
        if (pair.button == clicked) return pair.answer;
    return Dismissed(message.buttons);
}

std::optional<std::string> QtPrompt::Input(std::string_view prompt, std::string_view title,
                                           std::string_view proposed) {
    QInputDialog dialog(parent_);
    dialog.setInputMode(QInputDialog::TextInput);
    dialog.setWindowTitle(TitleOr(title));
    dialog.setLabelText(QString::fromUtf8(prompt.data(), static_cast<qsizetype>(prompt.size())));
    dialog.setTextValue(QString::fromUtf8(proposed.data(), static_cast<qsizetype>(proposed.size())));
    if (dialog.exec() != QDialog::Accepted) return std::nullopt;
    return dialog.textValue().toStdString();
}

std::optional<QString> QtSaveFileDialog::AskSaveFileName(const QString& title, const QString& filter,
                                                         const QString& initialName) {
    const QString chosen =
        QFileDialog::getSaveFileName(parent_, title, initialName, filter, nullptr, QFileDialog::DontConfirmOverwrite);
    if (chosen.isEmpty()) return std::nullopt;
    return chosen;
}

}  // namespace tablor::gui
