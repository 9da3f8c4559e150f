#include "workbench/DefinitionPane.hpp"

#include <QFontDatabase>
#include <QGridLayout>
#include <QLabel>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextEdit>
#include <algorithm>
#include <vector>

#include "report/DifferenceRow.hpp"
#include "report/LineDiff.hpp"

namespace tablor::gui {
namespace {

enum class Mark { Same, Removed, Added, Filler };

QColor Background(Mark mark) {
    switch (mark) {
        case Mark::Removed:
            return {0xfd, 0xe2, 0xe2};
        case Mark::Added:
            return {0xdc, 0xf5, 0xe3};
        case Mark::Filler:
            return {0xee, 0xf0, 0xf3};
        default:
            return {};
    }
}

struct ShownLine {
    Mark mark;
    QString text;
};

// Inserted as plain text, block by block: nothing of a definition is read as markup.
void Fill(QTextEdit& box, const std::vector<ShownLine>& lines) {
    box.clear();
    QTextCursor cursor(box.document());
    bool first = true;
    for (const ShownLine& line : lines) {
        QTextBlockFormat block;
        if (line.mark != Mark::Same) block.setBackground(Background(line.mark));
        if (first)
            cursor.setBlockFormat(block);
        else
            cursor.insertBlock(block);
        first = false;
        // Control characters other than tabs would show as nothing or break the line.
        QString text = line.text;
        for (QChar& ch : text)
            if (ch.category() == QChar::Other_Control && ch != QLatin1Char('\t')) ch = QChar(0xFFFD);
        cursor.insertText(text);
    }
    box.moveCursor(QTextCursor::Start);
}

QTextEdit* Box(QWidget* parent, const char* name) {
    auto* box = new QTextEdit(parent);
    box->setObjectName(QString::fromLatin1(name));
    box->setReadOnly(true);
    box->setAcceptRichText(false);
    box->setLineWrapMode(QTextEdit::NoWrap);
    box->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    box->document()->setDocumentMargin(2);
    return box;
}

}  // namespace

DefinitionPane::DefinitionPane(QWidget* parent) : QWidget(parent) {
    for (auto [label, name] :
         {std::pair{&lblDefinition1, "lblDefinition1"}, std::pair{&lblDefinition2, "lblDefinition2"}}) {
        *label = new QLabel(this);
        (*label)->setObjectName(QString::fromLatin1(name));
        (*label)->setTextFormat(Qt::PlainText);
        // A long name is cut by the pane's width, never widening it.
        (*label)->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    }
    txtDefinition1 = Box(this, "txtDefinition1");
    txtDefinition2 = Box(this, "txtDefinition2");
    // The sides stand line for line abreast, so they scroll together.
    for (auto [from, to] :
         {std::pair{txtDefinition1, txtDefinition2}, std::pair{txtDefinition2, txtDefinition1}}) {
        connect(from->verticalScrollBar(), &QScrollBar::valueChanged, to->verticalScrollBar(),
                &QScrollBar::setValue);
        connect(from->horizontalScrollBar(), &QScrollBar::valueChanged, to->horizontalScrollBar(),
                &QScrollBar::setValue);
    }
    auto* layout = new QGridLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setVerticalSpacing(2);
    layout->addWidget(lblDefinition1, 0, 0);
    layout->addWidget(lblDefinition2, 0, 1);
    layout->addWidget(txtDefinition1, 1, 0);
    layout->addWidget(txtDefinition2, 1, 1);
    layout->setRowStretch(1, 1);
}

bool DefinitionPane::Show(const DifferenceRow& row, const QString& side1, const QString& side2) {
    if (!row.hasValues) {
        Clear();
        return false;
    }
    std::vector<ShownLine> lines[2];
    // A run of changed lines: each side's, then blank lines on the shorter side.
    const auto evenUp = [&lines] {
        const std::size_t longer = std::max(lines[0].size(), lines[1].size());
        for (auto& side : lines) side.resize(longer, ShownLine{Mark::Filler, QString()});
    };
    for (const DiffLine& line : DiffLines(row.value1, row.value2)) {
        const QString text = QString::fromUtf8(line.text.data(), static_cast<qsizetype>(line.text.size()));
        switch (line.side) {
            case DiffLine::Side::Both:
                evenUp();
                lines[0].push_back({Mark::Same, text});
                lines[1].push_back({Mark::Same, text});
                break;
            case DiffLine::Side::First:
                lines[0].push_back({Mark::Removed, text});
                break;
            case DiffLine::Side::Second:
                lines[1].push_back({Mark::Added, text});
                break;
        }
    }
    evenUp();
    const QString property = QString::fromStdString(row.property);
    lblDefinition1->setText(side1 + ": " + property);
    lblDefinition2->setText(side2 + ": " + property);
    Fill(*txtDefinition1, lines[0]);
    Fill(*txtDefinition2, lines[1]);
    return true;
}

void DefinitionPane::Clear() {
    lblDefinition1->clear();
    lblDefinition2->clear();
    txtDefinition1->clear();
    txtDefinition2->clear();
}

}  // namespace tablor::gui
