#pragma once
#include <QIcon>
#include <QPixmap>

class QWidget;

namespace tablor::gui {

// The small pictures shared by the differences list and the structure viewer, numbered as
// their image lists number them (1-based).
enum class SmallPicture {
    Database = 1,
    TableGroup = 2,
    Table = 3,
    Column = 4,
    ViewGroup = 5,
    View = 6,
    ProcedureGroup = 7,
    Procedure = 8,
    FunctionGroup = 9,
    Function = 10,
    Constraint = 11,
    FieldChanged = 12,
};
inline constexpr int kSmallPictureCount = 12;

enum class LargePicture {
    Snapshot,
    LiveDatabase,
    Busy,
    CompareType,
    SaveSnapshot,
    ViewStructure,
    Add,
    Delete,
    Clear,
    Compare,
    Help,
    ToHtml,
    Exit,
    Application,
};

// Icons are built once and shared; rendering an SVG per paint would slow long lists.
const QIcon& Picture(SmallPicture picture);
// By image-list number; an empty icon outside 1..kSmallPictureCount.
const QIcon& SmallPictureAt(int number);
const QIcon& Picture(LargePicture picture);
// A 32 x 32 rendering for the fixed pictures of a window, in the device pixels of the screen
// `shownOn` is on: an SVG scaled up from a smaller rendering would blur.
QPixmap Pixmap32(LargePicture picture, const QWidget& shownOn);

}  // namespace tablor::gui
