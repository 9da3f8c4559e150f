#pragma once
#include <QString>

class QLabel;

namespace tablor::gui {

// A count as people write it: 3,373,899.
QString CountText(long long number);

// How far a snapshot's read has come, in the tables its loader has read.
QString SnapshotTablesText(long tablesRead);

// A tip that shows `text` as it is: Qt takes a tip that looks like markup (a name such as
// "<b>x</b>" read from a database) for markup, so such a text is escaped, its line breaks and
// blanks kept.
QString TipText(const QString& text);

// Shows `text` in a label of fixed width, cut in the middle where it is too long (two long
// names differ at their ends more often than at their starts); the label's tip holds it whole.
void SetElidedText(QLabel* label, const QString& text);
// The whole text SetElidedText was last given, to cut it again for a new width.
QString WholeText(const QLabel* label);

}  // namespace tablor::gui
