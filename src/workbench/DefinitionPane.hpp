#pragma once
#include <QString>
#include <QWidget>

class QLabel;
class QTextEdit;

namespace tablor {
struct DifferenceRow;
}

namespace tablor::gui {

// Under the differences list: the selected row's changed property, each side's value whole,
// side by side, the lines that differ marked (removed on the first side, added on the second)
// and the sides kept line for line abreast. Rows without values show nothing; the window hides
// the pane for them.
class DefinitionPane : public QWidget {
    Q_OBJECT
  public:
    explicit DefinitionPane(QWidget* parent = nullptr);

    // Shows the row's values under the sides' names; false, showing nothing, for a row without.
    bool Show(const DifferenceRow& row, const QString& side1, const QString& side2);
    void Clear();

  private:
    QLabel* lblDefinition1 = nullptr;
    QLabel* lblDefinition2 = nullptr;
    QTextEdit* txtDefinition1 = nullptr;
    QTextEdit* txtDefinition2 = nullptr;
};

}  // namespace tablor::gui
