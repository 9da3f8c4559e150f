#include "workbench/Main.hpp"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QScreen>
#include <QSettings>
#include <QShortcut>
#include <QStyle>
#include <QStyleOptionComboBox>
#include <QStyledItemDelegate>
#include <QThread>
#include <QTimer>
#include <QToolButton>
#include <QTreeView>
#include <QWindow>
#include <atomic>
#include <chrono>
#include <exception>
#include <thread>
#include <utility>

#include "sources/LiveAddress.hpp"
#include "support/AppPaths.hpp"
#include "support/TablorError.hpp"
#include "ui/Pictures.hpp"
#include "ui/ShownText.hpp"
#include "ui/Twips.hpp"
#include "viewer/ViewerLaunch.hpp"
#include "workbench/DefinitionPane.hpp"
#include "workbench/DifferencesModel.hpp"
#include "workbench/OptionsDialog.hpp"
#include "workbench/SaveFileDialog.hpp"
#include "workbench/ServerMemory.hpp"

namespace tablor::gui {
namespace {

constexpr int kClientWidth = 10035;
constexpr int kClientHeight = 8130;
// The result of the last comparison over the list: a line, and one for what it may lack.
constexpr QRect kResult(90, 4890, 9555, 225);
constexpr QRect kWarnings(90, 5130, 9555, 225);
constexpr QRect kDifferences(90, 5400, 9555, 2385);
constexpr int kDifferencesRightMargin = kClientWidth - kDifferences.left() - kDifferences.width();
constexpr int kDifferencesBottomMargin = kClientHeight - kDifferences.top() - kDifferences.height();
// The least of the list a window made small still shows: a few rows.
constexpr int kLeastDifferencesHeight = 1700;
constexpr int kSubItemRole = Qt::UserRole;
// What the server box is made wide enough for.
constexpr const char* kLongServer = "postgresql://db-server-01.example.com:5432";

QFont NearestFont(const QString& family, double points) {
    QFont font(family);
    font.setStyleHint(QFont::SansSerif);
    font.setPointSizeF(points);
    return font;
}

// Labels keep the edge they line up on; a font wider than the design's grows them away from it.
void PlaceLabel(QLabel* label, const QRect& rect, bool alignRight) {
    QRect placed = rect;
    const int wanted = label->sizeHint().width();
    if (wanted > placed.width()) {
        if (alignRight)
            placed.setLeft(placed.right() + 1 - wanted);
        else
            placed.setWidth(wanted);
    }
    const int tall = label->sizeHint().height();
    if (tall > placed.height())
        placed.setTop(placed.top() - (tall - placed.height()) / 2), placed.setHeight(tall);
    label->setAlignment((alignRight ? Qt::AlignRight : Qt::AlignLeft) | Qt::AlignVCenter);
    label->setGeometry(placed);
}

QLabel* MakeLabel(QWidget* parent, const QString& text, const QRect& rect, bool alignRight = false) {
    auto* label = new QLabel(text, parent);
    PlaceLabel(label, rect, alignRight);
    return label;
}

QLabel* MakePicture(QWidget* parent, LargePicture picture, const QPoint& at) {
    auto* label = new QLabel(parent);
    label->setPixmap(Pixmap32(picture, *label));
    label->setGeometry(QRect(at, QSize(32, 32)));
    return label;
}

QToolButton* PictureButton(QWidget* parent, LargePicture picture, const QString& tip, const QRect& rect) {
    auto* button = new QToolButton(parent);
    button->setIcon(Picture(picture));
    button->setIconSize(QSize(28, 28));
    button->setToolTip(tip);
    button->setToolButtonStyle(Qt::ToolButtonIconOnly);
    button->setFocusPolicy(Qt::StrongFocus);
    button->setGeometry(rect);
    return button;
}

QToolButton* CaptionButton(QWidget* parent, LargePicture picture, const QString& caption, const QRect& rect) {
    auto* button = PictureButton(parent, picture, QString(), rect);
    button->setText(caption);
    button->setIconSize(QSize(24, 24));
    button->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    return button;
}

// The design puts pictures where most styles draw a frame's caption line; they start where the
// frame's contents do.
void KeepBelowCaption(QGroupBox* frame) {
    const int top = frame->contentsRect().top();
    for (QWidget* child : frame->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
        if (child->y() < top) child->move(child->x(), top);
}

// Wraps comparison entries inside a name too: after the characters that part its words, and
// anywhere in a part too wide for a line. The entry's own text stays as it is.
class WrappingDelegate : public QStyledItemDelegate {
  public:
    using QStyledItemDelegate::QStyledItemDelegate;

  protected:
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override {
        QStyledItemDelegate::initStyleOption(option, index);
        const QStyle* style = option->widget != nullptr ? option->widget->style() : QApplication::style();
        const int margin = style->pixelMetric(QStyle::PM_FocusFrameHMargin, option, option->widget) + 1;
        const int room = option->rect.width() - 2 * margin;
        if (room <= 0 || option->fontMetrics.horizontalAdvance(option->text) <= room) return;
        static const QString kSeparators = QStringLiteral(".-_\\/:,@");
        constexpr QChar kBreak(0x200B);
        QStringList parts;
        QString part;
        for (const QChar c : std::as_const(option->text)) {
            part += c;
            if (kSeparators.contains(c)) parts.append(std::exchange(part, QString()));
        }
        if (!part.isEmpty()) parts.append(part);
        for (QString& each : parts)
            if (option->fontMetrics.horizontalAdvance(each) > room) {
                QString spread;
                for (const QChar c : std::as_const(each)) spread += QString(c) + kBreak;
                each = spread;
            }
        option->text = parts.join(kBreak);
    }
};

// True when `widget` is `owner` or lies inside it, popups included.
bool IsInside(const QWidget* widget, const QWidget* owner) {
    for (const QWidget* w = widget; w != nullptr; w = w->parentWidget())
        if (w == owner) return true;
    return false;
}

}  // namespace

template <class Command>
void Main::Guarded(Command&& command) {
    // Exceptions must not cross Qt's event loop: show the failure and carry on.
    try {
        command();
    } catch (const OperationCancelled&) {
        // The user stopped it: there is nothing to tell.
    } catch (const ReportedFailure&) {
        // The user has been shown why already.
    } catch (const TablorError& error) {
        Tell(QString::fromStdString(error.PromptText()), PromptIcon::Warning);
    } catch (const std::exception& error) {
        Tell(QString::fromUtf8(error.what()), PromptIcon::Warning);
    }
}

Main::Main(UserPrompt& prompt, SaveFileDialog& saveDialog, std::shared_ptr<LiveReader> reader,
           CommandHooks hooks, QWidget* parent)
    : QMainWindow(parent),
      Dialog(saveDialog),
      prompt_(prompt),
      sourcePrompt_(*this),
      service_(std::move(reader), sourcePrompt_),
      hooks_(std::move(hooks)) {
    setObjectName("Main");
    setWindowTitle("Quennet Tablor");
    setWindowIcon(Picture(LargePicture::Application));
    setFont(NearestFont("MS Sans Serif", 8.25));

    BuildMenus();
    BuildControls();
    NameParts();
    SetFocusOrder();
    ConnectCommands();

    const Twips twips = Twips::For(this);
    // Every control stays in sight however small the window is made.
    client_->setMinimumSize(twips.X(kClientWidth) + widen_,
                            twips.Y(kDifferences.top() + kLeastDifferencesHeight));
    resize(twips.X(kClientWidth) + widen_, twips.Y(kClientHeight) + menuBar()->sizeHint().height());

    // The snapshot folder is created here and before a save; a file of that name is left alone.
    PrepareSnapShotFolder(PathSettings::ThisProcess());
    RefreshSnapShotList();

    ServerMemory::AdoptEarlierSettings();
    const ServerMemory::Loaded servers = ServerMemory::Load();
    txtServer->addItems(servers.servers);
    txtServer->setCurrentIndex(-1);
    txtServer->setEditText(QString());
    if (!servers.problem.isEmpty()) Tell(servers.problem, PromptIcon::Warning);
    options_ = OptionsMemory::Load();
    if (servers.problem.isEmpty()) restored_ = restoreGeometry(ServerMemory::LoadGeometry());
}

Main::~Main() {
    // Focus moves while the children go; this window must no longer hear of it.
    if (qApp != nullptr) disconnect(qApp, nullptr, this, nullptr);
}

void Main::BuildMenus() {
    mnuFile = menuBar()->addMenu("&File");
    mnuSnapShots = mnuFile->addMenu("SnapShots");
    mnuRefreshList = mnuSnapShots->addAction("&Refresh List");
    mnuScript = mnuFile->addAction("Migration &Script...");
    mnuScript->setEnabled(false);
    mnuOptions = mnuFile->addAction("&Options...");
    mnuSep1 = mnuFile->addSeparator();
    mnuExit = mnuFile->addAction("E&xit");
    mnuExit->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));
    // The Help button takes Alt+H, so that the key opens help; the menu takes the next letter.
    mnuHelp = menuBar()->addMenu("H&elp");
    mnuHelpContents = mnuHelp->addAction("Contents");
    mnuHelpContents->setShortcut(QKeySequence(Qt::Key_F1));
    Separator2 = mnuHelp->addSeparator();
    mnuAbout = mnuHelp->addAction("&About");
}

void Main::BuildControls() {
    const Twips t = Twips::For(this);
    client_ = new QWidget(this);
    setCentralWidget(client_);

    {
        // Measured on a box in the window's font and style.
        QComboBox measure(client_);
        measure.setEditable(true);
        QStyleOptionComboBox option;
        option.initFrom(&measure);
        option.editable = true;
        const QFontMetrics metrics = measure.fontMetrics();
        const QSize text(metrics.horizontalAdvance(QLatin1String(kLongServer)), metrics.height());
        widen_ = std::max(
            0, measure.style()->sizeFromContents(QStyle::CT_ComboBox, &option, text, &measure).width() -
                   t.X(1995));
    }
    // Whatever lies right of the fields moves over by as much as they widen.
    const auto right = [this](QRect rect) { return rect.translated(widen_, 0); };
    const auto wider = [this](QRect rect) { return rect.adjusted(0, 0, widen_, 0); };

    connectionFrame_ = new QGroupBox("SQL Connection", client_);
    connectionFrame_->setGeometry(wider(t.Rect(75, 90, 4950, 2295)));
    MakeLabel(connectionFrame_, "Server", t.Rect(930, 435, 465, 195), true);
    txtServer = new QComboBox(connectionFrame_);
    txtServer->setEditable(true);
    txtServer->setInsertPolicy(QComboBox::NoInsert);
    txtServer->setCompleter(nullptr);
    txtServer->setToolTip("Delete removes the highlighted server from the list it opens");
    txtServer->setGeometry(wider(t.Rect(1695, 390, 1995, 315)));
    MakeLabel(connectionFrame_, "Database", t.Rect(705, 825, 690, 195), true);
    txtDatabase = new QLineEdit(connectionFrame_);
    txtDatabase->setGeometry(wider(t.Rect(1695, 780, 1995, 285)));
    MakeLabel(connectionFrame_, "User", t.Rect(1065, 1230, 330, 195), true);
    txtUser = new QLineEdit("sa", connectionFrame_);
    txtUser->setGeometry(wider(t.Rect(1695, 1185, 1995, 285)));
    MakeLabel(connectionFrame_, "Password", t.Rect(705, 1620, 690, 195), true);
    txtPassword = new QLineEdit(connectionFrame_);
    txtPassword->setEchoMode(QLineEdit::Password);
    txtPassword->setStyleSheet("lineedit-password-character: 42");
    txtPassword->setGeometry(wider(t.Rect(1695, 1575, 1995, 285)));
    chkIntegrated = new QCheckBox("Integrated Security", connectionFrame_);
    QRect checkRect = t.Rect(1695, 1950, 1665, 225);
    checkRect.setWidth(std::max(checkRect.width(), chkIntegrated->sizeHint().width()));
    checkRect.setHeight(std::max(checkRect.height(), chkIntegrated->sizeHint().height()));
    chkIntegrated->setGeometry(checkRect);
    btnSaveSnapShot = PictureButton(connectionFrame_, LargePicture::SaveSnapshot, "Save snapshot",
                                    right(t.Rect(3975, 210, 705, 540)));
    btnViewConnectionStructure = PictureButton(connectionFrame_, LargePicture::ViewStructure,
                                               "View structure", right(t.Rect(3975, 915, 705, 540)));
    btnAddConnection = PictureButton(connectionFrame_, LargePicture::Add,
                                     "Add to current comparison (an entry of the same server, database and "
                                     "user takes the new password instead)",
                                     right(t.Rect(3990, 1620, 705, 540)));
    Image2 = MakePicture(connectionFrame_, LargePicture::LiveDatabase, QPoint(t.X(165), t.Y(300)));
    pictures_.emplace_back(Image2, LargePicture::LiveDatabase);

    snapShotFrame_ = new QGroupBox("Snapshot Files", client_);
    snapShotFrame_->setGeometry(wider(t.Rect(75, 2460, 4950, 2385)));
    FLSnapShots = new QListWidget(snapShotFrame_);
    FLSnapShots->setSelectionMode(QAbstractItemView::SingleSelection);
    FLSnapShots->setGeometry(wider(t.Rect(735, 330, 3045, 1785)));
    FLSnapShots->setToolTip("Double-click or Enter adds the snapshot to the comparison");
    btnDelete = PictureButton(snapShotFrame_, LargePicture::Delete, "Delete this snapshot file",
                              right(t.Rect(3990, 255, 705, 540)));
    btnViewSnapStructure = PictureButton(snapShotFrame_, LargePicture::ViewStructure, "View Structure",
                                         right(t.Rect(3990, 930, 705, 540)));
    btnAddSnapShot = PictureButton(snapShotFrame_, LargePicture::Add, "Add to current comparison",
                                   right(t.Rect(3990, 1605, 705, 540)));
    Image1 = MakePicture(snapShotFrame_, LargePicture::Snapshot, QPoint(t.X(105), t.Y(300)));
    pictures_.emplace_back(Image1, LargePicture::Snapshot);

    comparisonFrame_ = new QGroupBox("Comparison type", client_);
    comparisonFrame_->setGeometry(right(t.Rect(5175, 150, 4425, 3240)));
    MakeLabel(comparisonFrame_, "The following objects will be compared:", t.Rect(945, 345, 2775, 195));
    lvCompare = new QListWidget(comparisonFrame_);
    lvCompare->setViewMode(QListView::IconMode);
    lvCompare->setIconSize(QSize(32, 32));
    lvCompare->setMovement(QListView::Static);
    lvCompare->setResizeMode(QListView::Adjust);
    lvCompare->setWordWrap(true);
    lvCompare->setItemDelegate(new WrappingDelegate(lvCompare));
    lvCompare->setSelectionMode(QAbstractItemView::SingleSelection);
    lvCompare->setGeometry(t.Rect(840, 645, 3420, 1500));
    // The two entries side by side, each as tall as the list: long names wrap instead of being cut.
    // Nothing is left to scroll to, and the room kept for a scroll bar, or a row filled to its
    // last pixel, would push the second entry down.
    lvCompare->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    lvCompare->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    const QRect compareArea = lvCompare->contentsRect();
    lvCompare->setGridSize(QSize((compareArea.width() - 1) / 2, compareArea.height()));
    mnuRemoveEntry = new QAction("&Remove", lvCompare);
    mnuRemoveEntry->setShortcut(QKeySequence::Delete);
    mnuRemoveEntry->setShortcutContext(Qt::WidgetShortcut);
    lvCompare->addAction(mnuRemoveEntry);
    lvCompare->setContextMenuPolicy(Qt::ActionsContextMenu);
    btnClear = CaptionButton(comparisonFrame_, LargePicture::Clear, "C&lear", t.Rect(1080, 2235, 1350, 840));
    btnCompare =
        CaptionButton(comparisonFrame_, LargePicture::Compare, "&Compare", t.Rect(2670, 2235, 1350, 840));
    pictures_.emplace_back(
        MakePicture(comparisonFrame_, LargePicture::CompareType, QPoint(t.X(165), t.Y(255))),
        LargePicture::CompareType);

    btnScript = CaptionButton(client_, LargePicture::ToHtml, "&Script", right(t.Rect(5190, 3795, 990, 825)));
    btnScript->setIcon(QIcon(QStringLiteral(":/pictures/large/script.svg")));
    btnScript->setToolTip("Shows the migration script that makes one compared object like the other");
    // Only a comparison has sides to make a script from.
    btnScript->setEnabled(false);
    btnHelp = CaptionButton(client_, LargePicture::Help, "&Help", right(t.Rect(6370, 3795, 990, 825)));
    btnHelp->setToolTip("Help (F1)");
    btnSave = CaptionButton(client_, LargePicture::ToHtml, "&To HTML", right(t.Rect(7550, 3795, 990, 825)));
    btnSave->setToolTip("Saves the comparison list to an html page");
    btnExit = CaptionButton(client_, LargePicture::Exit, "E&xit", right(t.Rect(8730, 3795, 990, 825)));
    btnExit->setToolTip("Exit (Ctrl+Q)");

    lblResult = new QLabel(client_);
    lblResult->setTextFormat(Qt::PlainText);
    lblResult->setGeometry(t.Rect(kResult.left(), kResult.top(), kResult.width(), kResult.height()));
    lblWarnings = new QLabel(client_);
    lblWarnings->setTextFormat(Qt::PlainText);
    lblWarnings->setGeometry(
        t.Rect(kWarnings.left(), kWarnings.top(), kWarnings.width(), kWarnings.height()));
    QPalette warning = lblWarnings->palette();
    warning.setColor(QPalette::WindowText, QColor(0xa0, 0x10, 0x10));
    lblWarnings->setPalette(warning);

    differences = new DifferencesModel(this);
    lvDifferences = new QTreeView(client_);
    lvDifferences->setModel(differences);
    lvDifferences->setRootIsDecorated(false);
    lvDifferences->setItemsExpandable(false);
    lvDifferences->setUniformRowHeights(true);
    lvDifferences->setAllColumnsShowFocus(true);
    lvDifferences->setSelectionBehavior(QAbstractItemView::SelectRows);
    lvDifferences->setSelectionMode(QAbstractItemView::SingleSelection);
    lvDifferences->setEditTriggers(QAbstractItemView::NoEditTriggers);
    lvDifferences->setIconSize(QSize(16, 16));
    // Two long names that start alike still differ where they end.
    lvDifferences->setTextElideMode(Qt::ElideMiddle);
    // The message takes what is left; the other columns keep the widths the user gives them.
    lvDifferences->header()->setStretchLastSection(true);
    lvDifferences->header()->setSectionsClickable(true);
    lvDifferences->header()->setSectionsMovable(false);
    const int widths[DifferencesModel::kColumns - 1] = {2200, 1440, 2000, 1440};
    for (int column = 0; column < DifferencesModel::kColumns - 1; ++column)
        lvDifferences->setColumnWidth(column, t.X(widths[column]));
    lvDifferences->setGeometry(
        t.Rect(kDifferences.left(), kDifferences.top(), kDifferences.width(), kDifferences.height()));
    pnlDefinition = new DefinitionPane(client_);
    pnlDefinition->hide();

    WorkingPanel = new QFrame(client_);
    WorkingPanel->setFrameStyle(QFrame::Panel | QFrame::Raised);
    WorkingPanel->setAutoFillBackground(true);
    WorkingPanel->setGeometry(wider(t.Rect(30, 90, 9795, 4755)));
    pictures_.emplace_back(
        MakePicture(WorkingPanel, LargePicture::Busy, QPoint(t.X(3540) + widen_ / 2, t.Y(1455))),
        LargePicture::Busy);
    auto* working = new QLabel("Working...", WorkingPanel);
    working->setFont(NearestFont("Arial", 15.75));
    PlaceLabel(working, t.Rect(4170, 1530, 1425, 360).translated(widen_ / 2, 0), false);
    lblStatus = new QLabel(WorkingPanel);
    lblStatus->setTextFormat(Qt::PlainText);
    lblStatus->setFont(NearestFont("MS Sans Serif", 12));
    lblStatus->setAlignment(Qt::AlignCenter);
    lblStatus->setGeometry(wider(t.Rect(60, 2250, 9690, 465)));
    progressLine_ = new QLabel(WorkingPanel);
    progressLine_->setTextFormat(Qt::PlainText);
    progressLine_->setObjectName("lblProgress");
    progressLine_->setAlignment(Qt::AlignCenter);
    progressLine_->setGeometry(wider(t.Rect(60, 2760, 9690, 285)));
    cancelButton_ = new QPushButton("Cancel", WorkingPanel);
    cancelButton_->setObjectName("btnCancelRead");
    cancelButton_->setEnabled(false);
    // Esc cancels at once; as the button's own shortcut it would first show the button pressed for
    // a tenth of a second.
    cancelShortcut_ = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    cancelShortcut_->setEnabled(false);
    connect(cancelShortcut_, &QShortcut::activated, this, &Main::CancelRead);
    QRect cancelRect = t.Rect(4290, 3180, 1215, 375);
    cancelRect.setWidth(std::max(cancelRect.width(), cancelButton_->sizeHint().width()));
    cancelRect.setHeight(std::max(cancelRect.height(), cancelButton_->sizeHint().height()));
    cancelRect.moveLeft((WorkingPanel->width() - cancelRect.width()) / 2);
    cancelButton_->setGeometry(cancelRect);
    connect(cancelButton_, &QPushButton::clicked, this, &Main::CancelRead);
    WorkingPanel->hide();

    for (QGroupBox* frame : {connectionFrame_, snapShotFrame_, comparisonFrame_}) KeepBelowCaption(frame);
}

// Tests find the parts by these names, the ones they were always known by.
void Main::NameParts() {
    const std::pair<QObject*, const char*> parts[] = {
        {mnuFile, "mnuFile"},
        {mnuSnapShots, "mnuSnapShots"},
        {mnuRefreshList, "mnuRefreshList"},
        {mnuScript, "mnuScript"},
        {mnuOptions, "mnuOptions"},
        {mnuSep1, "mnuSep1"},
        {mnuExit, "mnuExit"},
        {mnuHelp, "mnuHelp"},
        {mnuHelpContents, "mnuHelpContents"},
        {Separator2, "Separator2"},
        {mnuAbout, "mnuAbout"},
        {txtServer, "txtServer"},
        {txtDatabase, "txtDatabase"},
        {txtUser, "txtUser"},
        {txtPassword, "txtPassword"},
        {chkIntegrated, "chkIntegrated"},
        {btnSaveSnapShot, "btnSaveSnapShot"},
        {btnViewConnectionStructure, "btnViewConnectionStructure"},
        {btnAddConnection, "btnAddConnection"},
        {Image2, "Image2"},
        {FLSnapShots, "FLSnapShots"},
        {btnDelete, "btnDelete"},
        {btnViewSnapStructure, "btnViewSnapStructure"},
        {btnAddSnapShot, "btnAddSnapShot"},
        {Image1, "Image1"},
        {lvCompare, "lvCompare"},
        {btnClear, "btnClear"},
        {btnCompare, "btnCompare"},
        {btnScript, "btnScript"},
        {btnHelp, "btnHelp"},
        {btnSave, "btnSave"},
        {btnExit, "btnExit"},
        {mnuRemoveEntry, "mnuRemoveEntry"},
        {lblResult, "lblResult"},
        {lblWarnings, "lblWarnings"},
        {lvDifferences, "lvDifferences"},
        {differences, "differences"},
        {pnlDefinition, "pnlDefinition"},
        {WorkingPanel, "WorkingPanel"},
        {lblStatus, "lblStatus"},
        {client_, "client"},
        {connectionFrame_, "connectionFrame"},
        {snapShotFrame_, "snapShotFrame"},
        {comparisonFrame_, "comparisonFrame"},
    };
    for (const auto& [part, name] : parts) part->setObjectName(QString::fromLatin1(name));
}

void Main::SetFocusOrder() {
    QWidget* const order[] = {txtServer,
                              txtDatabase,
                              txtUser,
                              txtPassword,
                              chkIntegrated,
                              btnSaveSnapShot,
                              btnViewConnectionStructure,
                              btnAddConnection,
                              FLSnapShots,
                              btnDelete,
                              btnViewSnapStructure,
                              btnAddSnapShot,
                              lvCompare,
                              btnClear,
                              btnCompare,
                              btnScript,
                              btnHelp,
                              btnSave,
                              btnExit,
                              lvDifferences};
    for (std::size_t i = 1; i < std::size(order); ++i) setTabOrder(order[i - 1], order[i]);
}

void Main::ConnectCommands() {
    connect(mnuRefreshList, &QAction::triggered, this, &Main::RefreshSnapShotList);
    connect(mnuOptions, &QAction::triggered, this, [this] { Guarded([this] { OptionsCommand(); }); });
    connect(mnuExit, &QAction::triggered, this, &QWidget::close);
    connect(btnExit, &QToolButton::clicked, this, &QWidget::close);
    connect(mnuHelpContents, &QAction::triggered, this, [this] { RunHook(hooks_.showHelp, false); });
    connect(btnHelp, &QToolButton::clicked, this, [this] { RunHook(hooks_.showHelp, false); });
    connect(mnuAbout, &QAction::triggered, this, [this] { RunHook(hooks_.showAbout, false); });
    connect(btnViewConnectionStructure, &QToolButton::clicked, this,
            [this] { RunHook(hooks_.viewConnectionStructure, true); });
    connect(btnViewSnapStructure, &QToolButton::clicked, this,
            [this] { RunHook(hooks_.viewSnapStructure, true); });

    connect(btnSaveSnapShot, &QToolButton::clicked, this,
            [this] { Guarded([this] { SaveSnapShotCommand(); }); });
    connect(btnDelete, &QToolButton::clicked, this, [this] { Guarded([this] { DeleteSnapShotCommand(); }); });
    connect(btnAddConnection, &QToolButton::clicked, this,
            [this] { Guarded([this] { AddConnectionCommand(); }); });
    connect(btnAddSnapShot, &QToolButton::clicked, this,
            [this] { Guarded([this] { AddSnapShotCommand(); }); });
    connect(btnClear, &QToolButton::clicked, this, [this] { Guarded([this] { ClearCommand(); }); });
    connect(mnuRemoveEntry, &QAction::triggered, this, [this] { Guarded([this] { RemoveEntryCommand(); }); });
    connect(FLSnapShots, &QListWidget::itemDoubleClicked, this,
            [this] { Guarded([this] { AddSnapShotCommand(); }); });
    // Enter adds the chosen snapshot as a double-click does.
    auto* addChosen = new QAction(FLSnapShots);
    addChosen->setShortcuts({QKeySequence(Qt::Key_Return), QKeySequence(Qt::Key_Enter)});
    addChosen->setShortcutContext(Qt::WidgetShortcut);
    FLSnapShots->addAction(addChosen);
    connect(addChosen, &QAction::triggered, this, [this] { Guarded([this] { AddSnapShotCommand(); }); });
    txtServer->view()->installEventFilter(this);
    connect(btnCompare, &QToolButton::clicked, this, [this] { Guarded([this] { CompareCommand(); }); });
    connect(btnSave, &QToolButton::clicked, this, [this] { Guarded([this] { SaveHtmlCommand(); }); });
    connect(btnScript, &QToolButton::clicked, this, [this] { Guarded([this] { ScriptCommand(); }); });
    connect(mnuScript, &QAction::triggered, this, [this] { Guarded([this] { ScriptCommand(); }); });

    connect(lvDifferences->header(), &QHeaderView::sectionClicked, this, [this](int column) {
        differences->SortBy(column);
        // The order is never reversed, whatever the header's own indicator would do.
        lvDifferences->header()->setSortIndicatorShown(true);
        lvDifferences->header()->setSortIndicator(column, Qt::AscendingOrder);
    });
    connect(lvDifferences->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            &Main::ShowDefinition);
    connect(differences, &QAbstractItemModel::modelReset, this, &Main::ShowDefinition);
    connect(qApp, &QApplication::focusChanged, this, &Main::OnFocusChanged);
}

void Main::ShowDefinition() {
    const QModelIndex current = lvDifferences->currentIndex();
    const bool shown =
        current.isValid() && pnlDefinition->Show(differences->At(static_cast<std::size_t>(current.row())),
                                                 Object1Name, Object2Name);
    if (shown == pnlDefinition->isVisibleTo(client_)) return;
    pnlDefinition->setVisible(shown);
    ApplyResizeRule();
}

QString Main::SnapShotFolder() {
    return QFile::decodeName(QByteArray::fromStdString(tablor::SnapShotFolder()));
}

std::string Main::SnapShotPath(const QString& fileName) {
    return QFile::encodeName(SnapShotFolder() + QLatin1Char('/') + fileName).toStdString();
}

QString Main::SubItemText(const QListWidgetItem& entry, int subItem) {
    return entry.data(kSubItemRole + subItem).toString();
}

QString Main::SelectedSnapShot() const {
    const auto selected = FLSnapShots->selectedItems();
    return selected.isEmpty() ? QString() : selected.front()->text();
}

QStringList Main::RememberedServers() const {
    QStringList servers;
    for (int i = 0; i < txtServer->count(); ++i) servers.append(txtServer->itemText(i));
    return servers;
}

void Main::RefreshSnapShotList() {
    FLSnapShots->clear();
    const QDir folder(SnapShotFolder());
    // A name starting with "." is an ordinary snapshot here, not one to hide.
    FLSnapShots->addItems(
        folder.entryList({"*.snp"}, QDir::Files | QDir::Hidden, QDir::Name | QDir::IgnoreCase));
}

// Centred, or where it was last closed, but always inside the screen's free area, title bar and
// menus included: a window taller than the area is made as short as it may be.
void Main::PlaceOnScreen(bool centre) {
    const QScreen* screen = this->screen() != nullptr ? this->screen() : QGuiApplication::primaryScreen();
    if (screen == nullptr) return;
    const QRect area = screen->availableGeometry();
    const QMargins frame = windowHandle() != nullptr ? windowHandle()->frameMargins() : QMargins();
    const QSize room(area.width() - frame.left() - frame.right(),
                     area.height() - frame.top() - frame.bottom());
    const QSize inner = size().boundedTo(room).expandedTo(minimumSize());
    if (inner != size()) resize(inner);
    const QSize outer = inner.grownBy(frame);
    QPoint at = centre ? QPoint(area.x() + (area.width() - outer.width()) / 2,
                                area.y() + (area.height() - outer.height()) / 2)
                       : frameGeometry().topLeft();
    at.setX(std::max(area.left(), std::min(at.x(), area.right() + 1 - outer.width())));
    at.setY(std::max(area.top(), std::min(at.y(), area.bottom() + 1 - outer.height())));
    if (at != frameGeometry().topLeft()) move(at);
}

void Main::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    if (!placed_) {
        placed_ = true;
        PlaceOnScreen(!restored_);
        // The window manager tells the frame's size a moment after the window is up, and sends
        // no event for it: it is looked for over the next two seconds.
        auto* frameWait = new QTimer(this);
        frameWait->start(50);
        connect(frameWait, &QTimer::timeout, this, [this, frameWait, ticks = 0]() mutable {
            PlaceOnceFramed();
            if (framed_ || ++ticks == 40) frameWait->deleteLater();
        });
    }
    // Only a shown window knows its screen, and it may be moved to one of another pixel ratio.
    if (!followsScreen_ && windowHandle() != nullptr) {
        followsScreen_ = true;
        connect(windowHandle(), &QWindow::screenChanged, this, &Main::RenderPictures);
    }
    RenderPictures();
    ApplyResizeRule();
}

void Main::RenderPictures() {
    for (const auto& [label, picture] : pictures_) label->setPixmap(Pixmap32(picture, *label));
}

void Main::resizeEvent(QResizeEvent* event) {
    QMainWindow::resizeEvent(event);
    ApplyResizeRule();
    PlaceOnceFramed();
}

void Main::moveEvent(QMoveEvent* event) {
    QMainWindow::moveEvent(event);
    PlaceOnceFramed();
}

// Once the frame's size is known, the title bar the window manager added may stand above the
// screen: the window is placed again, once.
void Main::PlaceOnceFramed() {
    if (framed_ || !placed_ || windowHandle() == nullptr || windowHandle()->frameMargins().isNull()) return;
    framed_ = true;
    PlaceOnScreen(false);
}

// Only the differences list and the result line over it follow the window, keeping the
// design's margins to the client area's right and bottom edges. The frame is left out: window
// managers add it late or never report it. A size that comes out empty leaves that dimension as
// it was.
void Main::ApplyResizeRule() {
    const Twips t = Twips::For(this);
    QRect list = lvDifferences->geometry();
    const int width = client_->width() - list.left() - t.X(kDifferencesRightMargin);
    const int height = client_->height() - list.top() - t.Y(kDifferencesBottomMargin);
    if (width > 0) list.setWidth(width);
    if (height > 0) list.setHeight(height);
    if (pnlDefinition->isVisibleTo(client_)) {
        // The pane takes the lower half of the list's room.
        const int gap = t.Y(60);
        const int listHeight = (list.height() - gap) / 2;
        pnlDefinition->setGeometry(list.left(), list.top() + listHeight + gap, list.width(),
                                   list.height() - listHeight - gap);
        list.setHeight(listHeight);
    }
    lvDifferences->setGeometry(list);
    for (QLabel* line : {lblResult, lblWarnings}) {
        line->resize(list.width(), line->height());
        SetElidedText(line, WholeText(line));
    }
}

bool Main::eventFilter(QObject* watched, QEvent* event) {
    // Delete in the server box's open list forgets the highlighted server.
    if (watched == txtServer->view() && event->type() == QEvent::KeyPress &&
        static_cast<QKeyEvent*>(event)->key() == Qt::Key_Delete) {
        const QModelIndex chosen = txtServer->view()->currentIndex();
        if (chosen.isValid()) {
            const QString typed = txtServer->currentText();
            const QSignalBlocker quiet(txtServer);
            txtServer->removeItem(chosen.row());
            txtServer->setEditText(typed);
        }
        return true;
    }
    return QMainWindow::eventFilter(watched, event);
}

void Main::OnFocusChanged(QWidget* old, QWidget* now) {
    if (old == nullptr || now == nullptr || now->window() != this) return;
    if (IsInside(old, txtServer) && !IsInside(now, txtServer)) RememberServer();
}

void Main::RememberServer() {
    const QString text = txtServer->currentText();
    if (text.trimmed().isEmpty()) return;
    for (int i = 0; i < txtServer->count(); ++i)
        if (txtServer->itemText(i) == text) return;
    // Appending the first item would otherwise select it and rewrite the typed text.
    const QSignalBlocker quiet(txtServer);
    txtServer->addItem(text);
    txtServer->setEditText(text);
}

void Main::closeEvent(QCloseEvent* event) {
    // A command still running holds this window's controls on its stack: close once it ends.
    // A read under way is cancelled: whoever closes the window no longer wants its result.
    if (busy_) {
        closeRequested_ = true;
        CancelRead();
        event->ignore();
        return;
    }
    ServerMemory::SaveGeometry(saveGeometry());
    if (const QString problem = ServerMemory::Save(RememberedServers()); !problem.isEmpty())
        Tell(problem, PromptIcon::Warning);
    for (QWidget* window : QApplication::topLevelWidgets())
        if (window != this && window->isVisible()) window->close();
    event->accept();
}

void Main::AddConnectionCommand() {
    const QString server = txtServer->currentText();
    const QString database = txtDatabase->text();
    // The same login again corrects the entry's password (or integrated security) in its place.
    for (int i = 0; i < lvCompare->count(); ++i) {
        QListWidgetItem& entry = *lvCompare->item(i);
        if (SubItemText(entry, kSourceKind) == "CONNECTION" && SubItemText(entry, kServer) == server &&
            SubItemText(entry, kDatabase) == database && SubItemText(entry, kUser) == txtUser->text()) {
            entry.setData(kSubItemRole + kPassword, txtPassword->text());
            entry.setData(kSubItemRole + kIntegratedSecurity, chkIntegrated->isChecked() ? "1" : "0");
            lvCompare->setCurrentItem(&entry);
            return;
        }
    }
    if (lvCompare->count() >= 2) {
        Tell("You can not compare more than two objects", PromptIcon::Information);
        return;
    }
    auto* entry = new QListWidgetItem(Picture(LargePicture::LiveDatabase), server + "." + database);
    entry->setToolTip(TipText(entry->text()));
    entry->setData(kSubItemRole + kServer, server);
    entry->setData(kSubItemRole + kDatabase, database);
    entry->setData(kSubItemRole + kUser, txtUser->text());
    entry->setData(kSubItemRole + kPassword, txtPassword->text());
    entry->setData(kSubItemRole + kIntegratedSecurity, chkIntegrated->isChecked() ? "1" : "0");
    entry->setData(kSubItemRole + kFileName, QString());
    entry->setData(kSubItemRole + kSourceKind, "CONNECTION");
    lvCompare->addItem(entry);
}

void Main::AddSnapShotCommand() {
    const QString name = SelectedSnapShot();
    if (name.isEmpty()) {
        Tell("Please select a snapshot from the list!", PromptIcon::Warning);
        return;
    }
    if (lvCompare->count() >= 2) {
        Tell("You can not compare more than two objects", PromptIcon::Information);
        return;
    }
    auto* entry = new QListWidgetItem(Picture(LargePicture::Snapshot), name);
    entry->setToolTip(TipText(name));
    for (int subItem = kServer; subItem <= kIntegratedSecurity; ++subItem)
        entry->setData(kSubItemRole + subItem, QString());
    entry->setData(kSubItemRole + kFileName, name);
    entry->setData(kSubItemRole + kSourceKind, "SNAPSHOT");
    lvCompare->addItem(entry);
}

void Main::OptionsCommand() {
    OptionsDialog dialog(options_, prompt_, this);
    if (dialog.exec() != QDialog::Accepted) return;
    options_ = dialog.Options();
    if (const QString problem = OptionsMemory::Save(options_); !problem.isEmpty())
        Tell(problem, PromptIcon::Warning);
}

void Main::RemoveEntryCommand() {
    delete lvCompare->currentItem();
}

void Main::ClearCommand() {
    lvCompare->clear();
}

void Main::RunHook(const std::function<void(Main&)>& hook, bool readsSchema) {
    if (readsSchema && busy_) return;
    if (hook) Guarded([&] { hook(*this); });
}

PromptAnswer Main::Tell(const QString& text, PromptIcon icon, PromptButtons buttons, const QString& title,
                        PromptAnswer defaultAnswer) {
    const PanelAside aside(*this);
    PromptMessage message;
    message.text = text.toStdString();
    message.title = title.toStdString();
    message.icon = icon;
    message.buttons = buttons;
    message.defaultAnswer = defaultAnswer;
    return prompt_.Ask(message);
}

Main::BusyScope::BusyScope(Main& window, const QString& status, bool disableCompare)
    : window_(window), disableCompare_(disableCompare) {
    window_.busy_ = true;
    // On this window only: the boxes a command asks with keep the ordinary pointer.
    window_.setCursor(Qt::WaitCursor);
    window_.WorkingPanel->raise();
    window_.WorkingPanel->show();
    if (disableCompare_) window_.btnCompare->setEnabled(false);
    SetElidedText(window_.lblStatus, status);
}

Main::BusyScope::~BusyScope() {
    window_.lblStatus->clear();
    window_.lblStatus->setToolTip(QString());
    if (disableCompare_) {
        window_.lvDifferences->hide();
        window_.lvDifferences->show();
        window_.btnCompare->setEnabled(true);
    }
    window_.WorkingPanel->hide();
    window_.unsetCursor();
    window_.busy_ = false;
    if (window_.closeRequested_) {
        window_.closeRequested_ = false;
        QTimer::singleShot(0, &window_, &QWidget::close);
    }
}

// Message boxes belong to the window's thread: a read on its own thread waits there for the
// answer.
template <class Call>
auto Main::WindowPrompt::OnWindowThread(Call&& call) {
    if (QThread::currentThread() == window_.thread()) return call();
    decltype(call()) answer{};
    std::exception_ptr failure;
    QMetaObject::invokeMethod(
        &window_,
        [&] {
            try {
                answer = call();
            } catch (...) {
                failure = std::current_exception();
            }
        },
        Qt::BlockingQueuedConnection);
    if (failure) std::rethrow_exception(failure);
    return answer;
}

PromptAnswer Main::WindowPrompt::Ask(const PromptMessage& message) {
    return OnWindowThread([&] {
        const PanelAside aside(window_);
        return window_.prompt_.Ask(message);
    });
}

std::optional<std::string> Main::WindowPrompt::Input(std::string_view prompt, std::string_view title,
                                                     std::string_view proposed) {
    return OnWindowThread([&] {
        const PanelAside aside(window_);
        return window_.prompt_.Input(prompt, title, proposed);
    });
}

Main::PanelAside::PanelAside(Main& window) : window_(window), hidden_(!window.WorkingPanel->isHidden()) {
    if (hidden_) window_.WorkingPanel->hide();
}

Main::PanelAside::~PanelAside() {
    if (hidden_ && window_.busy_ && (window_.readToken_ == nullptr || !window_.readToken_->IsCancelled()))
        window_.WorkingPanel->show();
}

void Main::ReadOffThread(const ReadWork& read) {
    CancellationToken token;
    QEventLoop loop;
    std::exception_ptr failure;
    std::atomic<bool> done{false};
    // Runs on the reading thread: the status line hears of it on the window's thread, and counts
    // no more often than the window repaints anyway. A whole line is its maker's to space out.
    const ProgressCallback progress = [this, last = std::chrono::steady_clock::time_point()](
                                          std::string_view section, long rowsRead) mutable {
        const auto now = std::chrono::steady_clock::now();
        if (rowsRead != kAllInSection && now - last < std::chrono::milliseconds(EventPump::kIntervalMs))
            return;
        last = now;
        QMetaObject::invokeMethod(
            this,
            [this, text = QString::fromUtf8(section.data(), static_cast<qsizetype>(section.size())),
             rowsRead] { ShowProgress(text, rowsRead); },
            Qt::QueuedConnection);
    };

    readToken_ = &token;
    cancelButton_->setEnabled(true);
    cancelShortcut_->setEnabled(true);
    std::thread worker([&] {
        try {
            read(progress, token);
        } catch (...) {
            failure = std::current_exception();
        }
        done = true;
        QMetaObject::invokeMethod(
            &loop, [&loop] { loop.quit(); }, Qt::QueuedConnection);
    });
    loop.exec();
    // The loop also ends when the application quits: the read must not outlive it, and a
    // question it is waiting on still needs this thread to be answered.
    if (!done) {
        token.Cancel();
        while (!done) {
            QCoreApplication::processEvents();
            QThread::msleep(5);
        }
    }
    worker.join();
    readToken_ = nullptr;
    cancelButton_->setEnabled(false);
    cancelShortcut_->setEnabled(false);
    progressLine_->clear();
    progressLine_->setToolTip(QString());
    // Once Cancel was pressed nothing the read made is shown, even if it ended meanwhile.
    if (token.IsCancelled()) throw OperationCancelled();
    if (failure) std::rethrow_exception(failure);
}

void Main::CancelRead() {
    if (readToken_ == nullptr) return;
    readToken_->Cancel();
    // The window is as it was at once; what the read leaves behind is freed in the background.
    lblStatus->setText("Cancelled");
    WorkingPanel->hide();
    unsetCursor();
}

void Main::ShowProgress(const QString& section, long rowsRead) {
    if (readToken_ == nullptr || readToken_->IsCancelled()) return;
    // A whole line (two sides read at once) says everything itself.
    SetElidedText(progressLine_,
                  rowsRead == kAllInSection ? section : section + ": " + CountText(rowsRead) + " read");
    prompt_.Progress(section.toStdString(), rowsRead);
}

StructureViewerFrm* Main::ViewConnectionStructure() {
    return gui::ViewConnectionStructure(
        Launcher(),
        // With definitions compared, the viewer lists them too.
        LiveSideOf(txtServer->currentText(), txtDatabase->text(), txtUser->text(), txtPassword->text(),
                   chkIntegrated->isChecked(), {}, options_.definitions),
        LargePicture::LiveDatabase);
}

StructureViewerFrm* Main::ViewSnapStructure() {
    const QString name = SelectedSnapShot();
    return gui::ViewSnapStructure(Launcher(), name, name.isEmpty() ? std::string() : SnapShotPath(name),
                                  LargePicture::Snapshot);
}

ViewerLaunch Main::Launcher() {
    return {service_, prompt_, *this, [this](const QString& status, const ReadWork& read) {
                BusyScope busy(*this, status);
                pump_.Now();
                ReadOffThread(read);
            }};
}

}  // namespace tablor::gui
