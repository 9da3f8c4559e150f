#include "viewer/StructureViewerFrm.hpp"

#include <QFile>
#include <QFrame>
#include <QGuiApplication>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QResizeEvent>
#include <QScreen>
#include <QTreeView>
#include <QWindow>
#include <algorithm>

#include "sources/cConnection.hpp"
#include "sources/cSnapShot.hpp"
#include "ui/Pictures.hpp"
#include "ui/ShownText.hpp"
#include "ui/Twips.hpp"
#include "viewer/FieldListModel.hpp"
#include "viewer/StructureTreeModel.hpp"

namespace tablor::gui {
namespace {

constexpr int kClientWidth = 9435;
constexpr int kClientHeight = 7065;
constexpr int kBandHeight = 855;

// Names come from databases and files: shown as they are, never read as markup.
QLabel* PlainLabel(QWidget* parent, const QString& text = {}) {
    auto* label = new QLabel(text, parent);
    label->setTextFormat(Qt::PlainText);
    return label;
}

QLabel* CaptionLabel(QWidget* parent, const QString& text, QPoint at) {
    QLabel* label = PlainLabel(parent, text);
    label->move(at);
    label->resize(label->sizeHint());
    return label;
}

QFrame* EtchedLine(QWidget* parent, const QColor& colour) {
    auto* line = new QFrame(parent);
    line->setFrameShape(QFrame::NoFrame);
    line->setAutoFillBackground(true);
    QPalette palette = line->palette();
    palette.setColor(QPalette::Window, colour);
    line->setPalette(palette);
    return line;
}

QString Text(const std::string& text) {
    return QString::fromStdString(text);
}

}  // namespace

StructureViewerFrm::StructureViewerFrm(QWidget* parent) : QWidget(parent, Qt::Window) {
    setAttribute(Qt::WA_DeleteOnClose);
    setObjectName("StructureViewerFrm");
    setWindowTitle("Database Structure");
    setWindowIcon(Picture(LargePicture::ViewStructure));
    QFont font("MS Sans Serif");
    font.setStyleHint(QFont::SansSerif);
    font.setPointSizeF(8.25);
    setFont(font);

    const Twips t = Twips::For(this);
    MainImage = new QLabel(this);
    MainImage->setGeometry(t.Rect(165, 210, 360, 360));
    MainImage->setAlignment(Qt::AlignCenter);

    QFont bold = font;
    bold.setBold(true);
    CaptionLabel(this, "Server", QPoint(t.X(795), t.Y(135)));
    lblServer = PlainLabel(this);
    lblServer->setFont(bold);
    lblServer->setGeometry(t.Rect(1530, 105, 1755, 285));
    CaptionLabel(this, "Database", QPoint(t.X(3405), t.Y(135)));
    lblDatabase = PlainLabel(this);
    lblDatabase->setFont(bold);
    lblDatabase->setGeometry(t.Rect(4260, 90, 2550, 285));
    CaptionLabel(this, "Source", QPoint(t.X(810), t.Y(525)));
    lblSource = PlainLabel(this);
    lblSource->setFont(bold);
    lblSource->setGeometry(t.Rect(1530, 480, 7800, 285));

    Tree = new QTreeView(this);
    Tree->setHeaderHidden(true);
    Tree->setUniformRowHeights(true);
    Tree->setEditTriggers(QAbstractItemView::NoEditTriggers);
    Tree->setSelectionMode(QAbstractItemView::SingleSelection);
    Tree->setIconSize(QSize(16, 16));
    Tree->setGeometry(t.Rect(105, 855, 4905, 3840));

    fieldsModel_ = new FieldListModel(this);
    lvFields = new QTreeView(this);
    lvFields->setModel(fieldsModel_);
    lvFields->setRootIsDecorated(false);
    lvFields->setItemsExpandable(false);
    lvFields->setUniformRowHeights(true);
    lvFields->setAllColumnsShowFocus(true);
    lvFields->setSelectionBehavior(QAbstractItemView::SelectRows);
    lvFields->setSelectionMode(QAbstractItemView::SingleSelection);
    lvFields->setEditTriggers(QAbstractItemView::NoEditTriggers);
    lvFields->setIconSize(QSize(16, 16));
    lvFields->header()->setStretchLastSection(false);
    lvFields->header()->setSectionsMovable(false);
    const int widths[] = {1640, 1301, 500};
    for (int column = 0; column < 3; ++column) lvFields->setColumnWidth(column, t.X(widths[column]));
    lvFields->setGeometry(t.Rect(5295, 855, 4230, 3885));

    Picture1 = new QFrame(this);
    Picture1->setGeometry(0, t.Y(kClientHeight - kBandHeight), t.X(kClientWidth), t.Y(kBandHeight));
    Line1 = EtchedLine(Picture1, QColor(128, 128, 128));
    Line1->setGeometry(t.X(120), t.Y(165), t.X(5610 - 120), 1);
    Line2 = EtchedLine(Picture1, Qt::white);
    Line2->setGeometry(t.X(135), t.Y(180), t.X(5625 - 135), 1);
    btnClose = new QPushButton("&Close", Picture1);
    btnClose->setGeometry(t.Rect(kClientWidth - 2205, 330, 1950, 420));
    connect(btnClose, &QPushButton::clicked, this, &QWidget::close);

    resize(t.X(kClientWidth), t.Y(kClientHeight));
}

StructureViewerFrm::~StructureViewerFrm() = default;

void StructureViewerFrm::SetSourcePicture(LargePicture picture) {
    sourcePicture_ = picture;
    RenderSourcePicture();
}

// Drawn from the picture itself at the pixel ratio of the screen the window is on: a smaller
// rendering scaled up would blur.
void StructureViewerFrm::RenderSourcePicture() {
    MainImage->setPixmap(Picture(sourcePicture_).pixmap(QSize(24, 24), devicePixelRatio()));
}

void StructureViewerFrm::LoadConnection(cConnection& objConnection) {
    lblServer->setText(Text(objConnection.ServerName));
    lblDatabase->setText(Text(objConnection.DatabaseName));
    lblServer->setToolTip(TipText(lblServer->text()));
    lblDatabase->setToolTip(TipText(lblDatabase->text()));
    // The connection text carries the password; the window shows it masked.
    lblSource->setText(Text(objConnection.DisplayConnectionString()));
    lblSource->setToolTip(TipText(lblSource->text()));
    FillTree(objConnection.MetaData());
}

void StructureViewerFrm::LoadSnapShot(cSnapShot& objSnapShot) {
    lblServer->setText(Text(objSnapShot.SourceServer));
    lblDatabase->setText(Text(objSnapShot.SourceDatabase));
    lblServer->setToolTip(TipText(lblServer->text()));
    lblDatabase->setToolTip(TipText(lblDatabase->text()));
    lblSource->setText(QFile::decodeName(QByteArray::fromStdString(objSnapShot.FileName())));
    lblSource->setToolTip(TipText(lblSource->text()));
    FillTree(objSnapShot.MetaData());
}

void StructureViewerFrm::FillTree(std::shared_ptr<cMetaData> schema) {
    StructureTreeModel* previous = treeModel_;
    treeModel_ = new StructureTreeModel(std::move(schema), lblDatabase->text(), this);
    Tree->setModel(treeModel_);
    delete previous;
    fieldsModel_->ShowTable(nullptr);
    Tree->expand(treeModel_->RootIndex());
    connect(Tree, &QTreeView::clicked, this, &StructureViewerFrm::OnNodeClick, Qt::UniqueConnection);
    connect(Tree->selectionModel(), &QItemSelectionModel::currentChanged, this,
            [this](const QModelIndex& current) { OnNodeClick(current); });
}

// Only a table changes the list; it lists the table the node stands for, even when
// another table bears the same name.
void StructureViewerFrm::OnNodeClick(const QModelIndex& index) {
    if (treeModel_ == nullptr || index.model() != treeModel_) return;
    if (StructureTreeModel::KindOf(index) != StructureTreeModel::Kind::Table) return;
    auto table = treeModel_->TableAt(index);
    if (!table || table == fieldsModel_->ShownTable()) return;
    fieldsModel_->ShowTable(std::move(table));
}

void StructureViewerFrm::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    ApplyResizeRule();
}

void StructureViewerFrm::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (!centred_) {
        centred_ = true;
        CenterForm();
    }
    // Only a shown window knows its screen, and it may be moved to one of another pixel ratio.
    if (!followsScreen_ && windowHandle() != nullptr) {
        followsScreen_ = true;
        connect(windowHandle(), &QWindow::screenChanged, this, &StructureViewerFrm::RenderSourcePicture);
    }
    RenderSourcePicture();
}

// Centred in the screen's free area, its title bar never above it.
void StructureViewerFrm::CenterForm() {
    const QScreen* screen = this->screen() != nullptr ? this->screen() : QGuiApplication::primaryScreen();
    if (screen == nullptr) return;
    const QRect area = screen->availableGeometry();
    const QSize outer = frameGeometry().size();
    move(area.x() + std::max(0, (area.width() - outer.width()) / 2),
         area.y() + std::max(0, (area.height() - outer.height()) / 2));
}

// The tree takes up every change of the window's size; the column list keeps its width and
// moves along. Sizes come from the window's outer size, kept inside the client area, and a
// size that would come out negative is zero.
void StructureViewerFrm::ApplyResizeRule() {
    const Twips t = Twips::For(this);
    const QSize outer = frameGeometry().size();
    const int bandHeight = t.Y(kBandHeight);
    Picture1->setGeometry(0, height() - bandHeight, width(), bandHeight);
    btnClose->move(outer.width() - t.X(2205), btnClose->y());
    const int lineEnd = outer.width() - t.X(250);
    Line1->setGeometry(Line1->x(), Line1->y(), std::max(0, lineEnd - Line1->x()), 1);
    Line2->setGeometry(Line2->x(), Line2->y(), std::max(0, lineEnd - Line2->x()), 1);

    const int treeWidth = std::max(0, outer.width() - t.X(450) - lvFields->width());
    int treeHeight = outer.height() - bandHeight - t.Y(1350);
    treeHeight = std::max(0, std::min(treeHeight, Picture1->y() - Tree->y()));
    Tree->setGeometry(Tree->x(), Tree->y(), treeWidth, treeHeight);
    lvFields->setGeometry(Tree->x() + treeWidth + t.X(100), lvFields->y(), lvFields->width(), treeHeight);
}

}  // namespace tablor::gui
