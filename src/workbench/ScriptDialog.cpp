#include "workbench/ScriptDialog.hpp"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFile>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QTextBlock>
#include <QTextCursor>
#include <QVBoxLayout>
#include <utility>

#include "support/AppPaths.hpp"
#include "support/FileIO.hpp"
#include "support/TablorError.hpp"
#include "ui/ShownText.hpp"
#include "workbench/SaveFileDialog.hpp"

namespace tablor::gui {
namespace {

// A held-back statement stands out from the ones that run.
const QColor kHeldBack(0xfd, 0xec, 0xc8);

QString Caption(const QString& name) {
    return QString(name).replace(QLatin1Char('&'), QStringLiteral("&&"));
}

// Why each statement is held back, as its comment line ends: the script writes a control
// character as a blank there.
QStringList HeldBackReasons(const MigrationScript& script) {
    QStringList reasons;
    for (const MigrationStatement& statement : script.statements) {
        if (statement.heldBack.empty()) continue;
        QString reason = QString::fromStdString(statement.heldBack);
        for (QChar& ch : reason)
            if (ch.unicode() < 0x20 || ch.unicode() == 0x7F) ch = QLatin1Char(' ');
        reasons.append(reason);
    }
    return reasons;
}

// Marks each held-back statement: the comment line that says why, and the commented statement
// under it, up to the blank line that ends it.
void MarkHeldBack(QPlainTextEdit& view, const QStringList& reasons) {
    if (reasons.isEmpty()) return;
    QTextBlockFormat marked;
    marked.setBackground(kHeldBack);
    QTextCursor cursor(view.document());
    cursor.beginEditBlock();
    // The held-back statements come in the script's order: each is looked for after the last.
    qsizetype next = 0;
    bool inside = false;
    for (QTextBlock block = view.document()->begin(); block.isValid(); block = block.next()) {
        const QString line = block.text();
        if (!line.startsWith(QLatin1String("--"))) {
            inside = false;
            continue;
        }
        if (!inside && next < reasons.size() && line.endsWith(reasons[next])) {
            inside = true;
            ++next;
        }
        if (!inside) continue;
        cursor.setPosition(block.position());
        cursor.setBlockFormat(marked);
    }
    cursor.endEditBlock();
}

}  // namespace

ScriptDialog::ScriptDialog(const QString& first, const QString& second, const MigrationScript& script,
                           Build build, UserPrompt& prompt, SaveFileDialog& saveDialog, QWidget* parent)
    : QDialog(parent), build_(std::move(build)), prompt_(prompt), saveDialog_(saveDialog) {
    setObjectName("ScriptDialog");
    setWindowTitle("Migration Script");

    optSecondLikeFirst = new QRadioButton("Make " + Caption(second) + " like " + Caption(first), this);
    optSecondLikeFirst->setObjectName("optSecondLikeFirst");
    optSecondLikeFirst->setChecked(true);
    optFirstLikeSecond = new QRadioButton("Make " + Caption(first) + " like " + Caption(second), this);
    optFirstLikeSecond->setObjectName("optFirstLikeSecond");
    chkAllowDrop =
        new QCheckBox("&Allow statements that lose data (drop tables and columns, narrow types)", this);
    chkAllowDrop->setObjectName("chkAllowDrop");
    lblSummary = new QLabel(this);
    lblSummary->setObjectName("lblScriptSummary");
    lblSummary->setTextFormat(Qt::PlainText);
    lblSummary->setWordWrap(true);

    txtScript = new QPlainTextEdit(this);
    txtScript->setObjectName("txtScript");
    txtScript->setReadOnly(true);
    txtScript->setUndoRedoEnabled(false);
    txtScript->setLineWrapMode(QPlainTextEdit::NoWrap);
    txtScript->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    // Read-only text still takes Tab; the keys go on to the buttons.
    txtScript->setTabChangesFocus(true);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    btnSaveScript = buttons->addButton("&Save...", QDialogButtonBox::ActionRole);
    btnSaveScript->setObjectName("btnSaveScript");
    buttons->button(QDialogButtonBox::Close)->setObjectName("btnClose");

    auto* directions = new QHBoxLayout;
    directions->addWidget(optSecondLikeFirst);
    directions->addWidget(optFirstLikeSecond);
    directions->addStretch(1);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(directions);
    layout->addWidget(chkAllowDrop);
    layout->addWidget(lblSummary);
    layout->addWidget(txtScript, 1);
    layout->addWidget(buttons);

    connect(optFirstLikeSecond, &QRadioButton::toggled, this, &ScriptDialog::Rebuild);
    connect(chkAllowDrop, &QCheckBox::toggled, this, &ScriptDialog::Rebuild);
    connect(btnSaveScript, &QPushButton::clicked, this, &ScriptDialog::SaveCommand);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    Show(script);
    // Room for a long statement, never more than the screen has.
    const QFontMetrics metrics(txtScript->font());
    QSize wanted(metrics.averageCharWidth() * 100, metrics.lineSpacing() * 30);
    if (const QScreen* screen = parent != nullptr ? parent->screen() : nullptr)
        wanted = wanted.boundedTo(screen->availableGeometry().size() * 9 / 10);
    resize(wanted);
}

void ScriptDialog::Rebuild() {
    try {
        Show(build_(optFirstLikeSecond->isChecked(), chkAllowDrop->isChecked()));
    } catch (const TablorError& error) {
        text_.clear();
        txtScript->clear();
        lblSummary->setText("No script can be made: " + QString::fromStdString(error.Description()) + ".");
        btnSaveScript->setEnabled(false);
    }
}

void ScriptDialog::Show(const MigrationScript& script) {
    text_ = script.Text();
    txtScript->setPlainText(QString::fromStdString(text_));
    MarkHeldBack(*txtScript, HeldBackReasons(script));
    const long long held = static_cast<long long>(script.HeldBackCount());
    const long long run = static_cast<long long>(script.statements.size()) - held;
    QString summary;
    if (script.Empty()) {
        summary = "Nothing to do: " + QString::fromStdString(script.currentName) + " is like " +
                  QString::fromStdString(script.desiredName) + ".";
    } else {
        summary = CountText(run) + (run == 1 ? " statement" : " statements") + " to run, " + CountText(held) +
                  " held back";
        if (held != 0) summary += " (marked: run as it is, the script leaves them undone)";
        summary += ".";
    }
    lblSummary->setText(summary);
    btnSaveScript->setEnabled(true);
}

void ScriptDialog::SaveCommand() {
    const auto chosen =
        saveDialog_.AskSaveFileName("Save Migration Script", "SQL Script (*.sql)", "Migration Script.sql");
    if (!chosen || chosen->isEmpty()) return;
    const std::string target = QFile::encodeName(*chosen).toStdString();
    if (FileExist(target)) {
        PromptMessage question;
        question.text = "Do you want to overwrite the existing file?";
        question.icon = PromptIcon::Question;
        question.buttons = PromptButtons::YesNo;
        question.defaultAnswer = PromptAnswer::Yes;
        if (prompt_.Ask(question) != PromptAnswer::Yes) return;
    }
    try {
        WriteFileAtomically(target, text_);
        Tell("The script was saved as " + *chosen + ".", PromptIcon::Information, "Script saved");
    } catch (const TablorError& error) {
        Tell(QString::fromStdString(error.PromptText()), PromptIcon::Warning);
    }
}

void ScriptDialog::Tell(const QString& text, PromptIcon icon, const QString& title) {
    PromptMessage message;
    message.text = text.toStdString();
    message.title = title.toStdString();
    message.icon = icon;
    prompt_.Ask(message);
}

}  // namespace tablor::gui
