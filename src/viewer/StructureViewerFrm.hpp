#pragma once
#include <QPixmap>
#include <QWidget>
#include <memory>

#include "model/cMetaData.hpp"
#include "ui/Pictures.hpp"

class QFrame;
class QLabel;
class QPushButton;
class QTreeView;

namespace tablor {
class cConnection;
class cSnapShot;
}  // namespace tablor

namespace tablor::gui {

class FieldListModel;
class StructureTreeModel;

// A window that shows one source's schema as a tree, with the columns of the clicked table
// listed beside it. Modeless; every launch opens a new one. It deletes itself when closed,
// and with it its hold on the schema.
class StructureViewerFrm : public QWidget {
    Q_OBJECT
  public:
    explicit StructureViewerFrm(QWidget* parent = nullptr);
    ~StructureViewerFrm() override;

    // A filled live source: server, database and the connection text (password masked).
    void LoadConnection(cConnection& objConnection);
    // A filled snapshot source: the server and database recorded in it, and its path.
    void LoadSnapShot(cSnapShot& objSnapShot);
    // Builds the tree from `schema` under the database caption of lblDatabase and keeps the
    // schema for the column list. The load operations set the labels first.
    void FillTree(std::shared_ptr<cMetaData> schema);

    // The header's picture of the kind of source, shown at 24 x 24 in the screen's own pixels.
    void SetSourcePicture(LargePicture picture);

    StructureTreeModel* TreeModel() const noexcept { return treeModel_; }
    FieldListModel* FieldsModel() const noexcept { return fieldsModel_; }

    QLabel* MainImage = nullptr;
    QLabel* lblServer = nullptr;
    QLabel* lblDatabase = nullptr;
    QLabel* lblSource = nullptr;
    QTreeView* Tree = nullptr;
    QTreeView* lvFields = nullptr;
    QFrame* Picture1 = nullptr;
    QFrame* Line1 = nullptr;
    QFrame* Line2 = nullptr;
    QPushButton* btnClose = nullptr;

  protected:
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;

  private:
    void RenderSourcePicture();
    void OnNodeClick(const QModelIndex& index);
    void ApplyResizeRule();
    void CenterForm();

    StructureTreeModel* treeModel_ = nullptr;
    FieldListModel* fieldsModel_ = nullptr;
    bool centred_ = false;
    bool followsScreen_ = false;
    LargePicture sourcePicture_ = LargePicture::ViewStructure;
};

}  // namespace tablor::gui
