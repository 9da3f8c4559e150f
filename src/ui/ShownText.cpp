#include "ui/ShownText.hpp"

#include <QLabel>
#include <QLocale>

namespace tablor::gui {

QString CountText(long long number) {
    return QLocale(QLocale::English).toString(number);
}

QString SnapshotTablesText(long tablesRead) {
    return CountText(tablesRead) + (tablesRead == 1 ? " table read" : " tables read");
}

void SetElidedText(QLabel* label, const QString& text) {
    label->setToolTip(text);
    label->setText(label->fontMetrics().elidedText(text, Qt::ElideMiddle, label->width()));
}

}  // namespace tablor::gui
