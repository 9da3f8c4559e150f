#include "ui/ShownText.hpp"

#include <QLabel>
#include <QLocale>

namespace tablor::gui {

QString CountText(long long number) {
    return QLocale(QLocale::English).toString(number);
}

QString SnapshotLinesText(long linesRead) {
    return CountText(linesRead) + (linesRead == 1 ? " line read" : " lines read");
}

void SetElidedText(QLabel* label, const QString& text) {
    label->setToolTip(text);
    label->setText(label->fontMetrics().elidedText(text, Qt::ElideMiddle, label->width()));
}

}  // namespace tablor::gui
