// The window's message and input boxes show exactly what the caller gives them.
#include <QAbstractButton>
#include <QApplication>
#include <QCursor>
#include <QGuiApplication>
#include <QInputDialog>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <algorithm>
#include <functional>

#include "GuiTestSupport.hpp"
#include "shell/QtPrompt.hpp"

namespace tablor::testing {
namespace {

using gui::QtPrompt;

// Runs `act` on each of the next `count` modal dialogs once it is up (a command may let events
// through before).
template <class Dialog>
void WhenShown(std::function<void(Dialog&)> act, int count = 1) {
    auto* poll = new QTimer;
    QObject::connect(poll, &QTimer::timeout, [poll, act, count, last = QPointer<Dialog>()]() mutable {
        auto* dialog = qobject_cast<Dialog*>(QApplication::activeModalWidget());
        if (dialog == nullptr || dialog == last) return;
        last = dialog;
        if (--count == 0) {
            poll->stop();
            poll->deleteLater();
        }
        act(*dialog);
    });
    poll->start(5);
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
    EXPECT_EQ(prompt.Ask(Message("Replace?", "", PromptIcon::Question, PromptButtons::YesNo)),
              PromptAnswer::No);
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
}

// The buttons' captions from left to right, as shown.
std::string CaptionsShown(const QMessageBox& box) {
    QList<QAbstractButton*> buttons = box.buttons();
    std::sort(buttons.begin(), buttons.end(), [&](const QAbstractButton* a, const QAbstractButton* b) {
        return a->mapTo(&box, QPoint()).x() < b->mapTo(&box, QPoint()).x();
    });
    QStringList captions;
    for (const QAbstractButton* button : buttons) captions.append(QString(button->text()).remove('&'));
    return captions.join(',').toStdString();
}

TEST_F(QtPromptTest, AbortRetryIgnoreAreShownInThatOrderAndAnswerByTheButtonClicked) {
    QtPrompt prompt;
    for (const auto& [caption, answer] :
         {std::pair{"Abort", PromptAnswer::Abort}, std::pair{"Retry", PromptAnswer::Retry},
          std::pair{"Ignore", PromptAnswer::Ignore}}) {
        WhenShown<QMessageBox>([caption = QString(caption)](QMessageBox& box) {
            EXPECT_EQ(CaptionsShown(box), "Abort,Retry,Ignore");
            EXPECT_EQ(QString(box.defaultButton()->text()).remove('&'), "Abort");
            for (QAbstractButton* button : box.buttons())
                if (QString(button->text()).remove('&') == caption) button->click();
        });
        EXPECT_EQ(prompt.Ask(FailurePrompt("Disk full", 61)), answer);
    }
    WhenShown<QMessageBox>([](QMessageBox& box) { QTest::keyClick(&box, Qt::Key_Escape); });
    EXPECT_EQ(prompt.Ask(FailurePrompt("Disk full", 61)), PromptAnswer::Abort);
}

// While a command reads, the busy pointer stays on the window and off the boxes it asks with;
// the boxes before and after the read find the window idle.
TEST_F(QtPromptTest, BoxesAskedDuringACommandShowTheOrdinaryPointer) {
    CopyExample("shop-v1.snp", "SnapShots/shop-v1.snp");
    WriteSnapShot("shop-v2.snp", SnapShotText({"S*D*U*", "", "", "", ":T1", "Id"}));
    QtPrompt boxes;
    gui::Main window(boxes, saveDialog, connector, hooks);
    boxes.SetParent(&window);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));

    auto pointerOf = [](const QWidget& widget) {
        const QCursor* override = QGuiApplication::overrideCursor();
        return override != nullptr ? override->shape() : widget.cursor().shape();
    };
    std::vector<Qt::CursorShape> onBoxes, onWindow;
    auto note = [&](QDialog& box) {
        onBoxes.push_back(pointerOf(box));
        onWindow.push_back(pointerOf(window));
        box.reject();
    };
    WhenShown<QInputDialog>(note);
    Widget<QToolButton>(window, "btnSaveSnapShot").click();
    auto& snapshots = Widget<QListWidget>(window, "FLSnapShots");
    for (const char* name : {"shop-v1.snp", "shop-v2.snp"}) {
        snapshots.setCurrentItem(snapshots.findItems(name, Qt::MatchExactly).front());
        Widget<QToolButton>(window, "btnAddSnapShot").click();
    }
    WhenShown<QMessageBox>(note, 2);
    Widget<QToolButton>(window, "btnCompare").click();

    EXPECT_EQ(onBoxes, std::vector<Qt::CursorShape>(3, Qt::ArrowCursor));
    EXPECT_EQ(onWindow, std::vector<Qt::CursorShape>({Qt::ArrowCursor, Qt::WaitCursor, Qt::ArrowCursor}));
    EXPECT_EQ(pointerOf(window), Qt::ArrowCursor);
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
