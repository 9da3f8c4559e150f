#include "ui/ShownText.hpp"

#include <QLabel>
#include <QLocale>
#include <QTextDocument>

namespace tablor::gui {

QString CountText(long long number) {
    return QLocale(QLocale::English).toString(number);
}

QString SnapshotTablesText(long tablesRead) {
    return CountText(tablesRead) + (tablesRead == 1 ? " table read" : " tables read");
}

QString TipText(const QString& text) {
    if (!Qt::mightBeRichText(text)) return text;
    return "<p style=\"white-space: pre-wrap\">" + text.toHtmlEscaped() + "</p>";
}

void SetElidedText(QLabel* label, const QString& text) {
    label->setProperty("wholeText", text);
    label->setToolTip(TipText(text));
    label->setText(label->fontMetrics().elidedText(text, Qt::ElideMiddle, label->width()));
}

QString WholeText(const QLabel* label) {
    return label->property("wholeText").toString();
}

}  // namespace tablor::gui
