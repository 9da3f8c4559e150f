// The window's message and input boxes show exactly what the caller gives them.
#include <QAbstractButton>
#include <QApplication>
#include <QInputDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <functional>

#include "GuiTestSupport.hpp"
#include "shell/QtPrompt.hpp"

namespace tablor::testing {
namespace {

using gui::QtPrompt;

// Runs `act` on the modal dialog once it is up.
template <class Dialog>
void WhenShown(std::function<void(Dialog&)> act) {
    QTimer::singleShot(0, [act] {
        auto* dialog = qobject_cast<Dialog*>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        act(*dialog);
    });
}

PromptMessage Message(std::string text, std::string title, PromptIcon icon, PromptButtons buttons,
                      PromptAnswer defaultAnswer = PromptAnswer::Ok) {
    PromptMessage message;
    message.text = std::move(text);
    message.title = std::move(title);
    message.icon = icon;
    message.buttons = buttons;
    message.defaultAnswer = defaultAnswer;
    return message;
}

class QtPromptTest : public GuiTest {};

TEST_F(QtPromptTest, AMessageBoxShowsTextTitleIconAndButtons) {
    QtPrompt prompt;
    QString title, text;
    QMessageBox::Icon icon{};
    QMessageBox::StandardButtons buttons;
    WhenShown<QMessageBox>([&](QMessageBox& box) {
        title = box.windowTitle();
        text = box.text();
        icon = box.icon();
        buttons = box.standardButtons();
        EXPECT_EQ(box.textFormat(), Qt::PlainText);
        box.button(QMessageBox::Ok)->click();
    });
    EXPECT_EQ(prompt.Ask(Message("<b>5</b> difference(s)", "", PromptIcon::Information, PromptButtons::Ok)),
              PromptAnswer::Ok);
    EXPECT_EQ(title, "Tablor");
    EXPECT_EQ(text, "<b>5</b> difference(s)");
    EXPECT_EQ(icon, QMessageBox::Information);
    EXPECT_EQ(buttons, QMessageBox::Ok);

    WhenShown<QMessageBox>([&](QMessageBox& box) {
        title = box.windowTitle();
        icon = box.icon();
        box.button(QMessageBox::Ok)->click();
    });
    prompt.Ask(Message("x", "Nothing to save", PromptIcon::Warning, PromptButtons::Ok));
    EXPECT_EQ(title, "Nothing to save");
    EXPECT_EQ(icon, QMessageBox::Warning);
}

TEST_F(QtPromptTest, QuestionsAnswerByTheButtonClickedAndKeepTheirDefault) {
    QtPrompt prompt;
    QMessageBox::StandardButton defaultButton{};
    WhenShown<QMessageBox>([&](QMessageBox& box) {
        defaultButton = box.standardButton(box.defaultButton());
        EXPECT_EQ(box.icon(), QMessageBox::Question);
        box.button(QMessageBox::No)->click();
    });
    EXPECT_EQ(prompt.Ask(Message("Replace?", "", PromptIcon::Question, PromptButtons::YesNo)), PromptAnswer::No);
    EXPECT_EQ(defaultButton, QMessageBox::Yes);

    WhenShown<QMessageBox>([&](QMessageBox& box) {
        defaultButton = box.standardButton(box.defaultButton());
        box.button(QMessageBox::Yes)->click();
    });
    EXPECT_EQ(prompt.Ask(Message("Delete?", "", PromptIcon::Warning, PromptButtons::YesNo, PromptAnswer::No)),
              PromptAnswer::Yes);
    EXPECT_EQ(defaultButton, QMessageBox::No);

    // Escape on a Yes/No question is No.
    WhenShown<QMessageBox>([](QMessageBox& box) { QTest::keyClick(&box, Qt::Key_Escape); });
    EXPECT_EQ(prompt.Ask(Message("Delete?", "", PromptIcon::Warning, PromptButtons::YesNo, PromptAnswer::No)),
              PromptAnswer::No);

    for (const auto& [button, answer] : {std::pair{QMessageBox::Abort, PromptAnswer::Abort},
                                         std::pair{QMessageBox::Retry, PromptAnswer::Retry},
                                         std::pair{QMessageBox::Ignore, PromptAnswer::Ignore}}) {
        WhenShown<QMessageBox>([button = button](QMessageBox& box) {
            EXPECT_EQ(box.standardButtons(), QMessageBox::Abort | QMessageBox::Retry | QMessageBox::Ignore);
            box.button(button)->click();
        });
        EXPECT_EQ(prompt.Ask(FailurePrompt("Disk full", 61)), answer);
    }
}

TEST_F(QtPromptTest, TheInputBoxProposesAnAnswerAndCancelGivesNothing) {
    QtPrompt prompt;
    WhenShown<QInputDialog>([](QInputDialog& dialog) {
        EXPECT_EQ(dialog.windowTitle(), "Save Snapshot");
        EXPECT_EQ(dialog.labelText(), "Please enter a name for this snapshot");
        EXPECT_EQ(dialog.textValue(), "SRV01");
        dialog.setTextValue("Sales\\2024");
        dialog.accept();
    });
    EXPECT_EQ(prompt.Input("Please enter a name for this snapshot", "Save Snapshot", "SRV01"),
              std::optional<std::string>("Sales\\2024"));

    WhenShown<QInputDialog>([](QInputDialog& dialog) { dialog.reject(); });
    EXPECT_EQ(prompt.Input("Please enter a name for this snapshot", "Save Snapshot", "SRV01"), std::nullopt);
}

}  // namespace
}  // namespace tablor::testing
