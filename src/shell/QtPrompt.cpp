#include "shell/QtPrompt.hpp"

#include <QDialogButtonBox>
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
        case PromptIcon::Information:
            return QMessageBox::Information;
        case PromptIcon::Warning:
            return QMessageBox::Warning;
        case PromptIcon::Question:
            return QMessageBox::Question;
        case PromptIcon::Critical:
            return QMessageBox::Critical;
        case PromptIcon::None:
            break;
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
        case PromptButtons::YesNo:
            return PromptAnswer::No;
        case PromptButtons::AbortRetryIgnore:
            return PromptAnswer::Abort;
        case PromptButtons::Ok:
            break;
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
    std::vector<QAbstractButton*> shown;
    if (message.buttons == PromptButtons::AbortRetryIgnore) {
        // The platform's own captions, in the order Abort, Retry, Ignore: standard buttons would
        // be sorted by role, and every platform keeps action buttons in the order added.
        QDialogButtonBox captions;
        for (const auto& pair : buttons) {
            const auto standard = static_cast<QDialogButtonBox::StandardButton>(pair.button);
            shown.push_back(box.addButton(captions.addButton(standard)->text(), QMessageBox::ActionRole));
        }
        box.setEscapeButton(shown.front());
    } else {
        for (const auto& pair : buttons) shown.push_back(box.addButton(pair.button));
        if (message.buttons == PromptButtons::YesNo) box.setEscapeButton(QMessageBox::No);
    }
    box.setDefaultButton(qobject_cast<QPushButton*>(shown.front()));
    for (std::size_t i = 0; i < buttons.size(); ++i)
        if (buttons[i].answer == message.defaultAnswer)
            box.setDefaultButton(qobject_cast<QPushButton*>(shown[i]));
    box.exec();
    for (std::size_t i = 0; i < buttons.size(); ++i)
        if (shown[i] == box.clickedButton()) return buttons[i].answer;
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
    const QString chosen = QFileDialog::getSaveFileName(parent_, title, initialName, filter, nullptr,
                                                        QFileDialog::DontConfirmOverwrite);
    if (chosen.isEmpty()) return std::nullopt;
    return chosen;
}

}  // namespace tablor::gui
