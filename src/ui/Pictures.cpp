#include "ui/Pictures.hpp"

#include <QWidget>
#include <array>

// Resources of a static library are not registered by the linker on their own.
static void RegisterPictures() {
    Q_INIT_RESOURCE(workbench);
}

namespace tablor::gui {
namespace {

void EnsureRegistered() {
    static const bool registered = (RegisterPictures(), true);
    (void)registered;
}

constexpr std::array<const char*, kSmallPictureCount> kSmallFiles = {
    "01-database",       "02-table-group", "03-table",           "04-column",
    "05-view-group",     "06-view",        "07-procedure-group", "08-procedure",
    "09-function-group", "10-function",    "11-constraint",      "12-field-changed",
};

const char* LargeFile(LargePicture picture) {
    switch (picture) {
        case LargePicture::Snapshot:
            return "snapshot";
        case LargePicture::LiveDatabase:
            return "live-database";
        case LargePicture::Busy:
            return "busy";
        case LargePicture::CompareType:
            return "compare-type";
        case LargePicture::SaveSnapshot:
            return "save-snapshot";
        case LargePicture::ViewStructure:
            return "view-structure";
        case LargePicture::Add:
            return "add";
        case LargePicture::Delete:
            return "delete";
        case LargePicture::Clear:
            return "clear";
        case LargePicture::Compare:
            return "compare";
        case LargePicture::Help:
            return "help";
        case LargePicture::ToHtml:
            return "to-html";
        case LargePicture::Exit:
            return "exit";
        case LargePicture::Application:
            return "tablor";
    }
    return "tablor";
}

}  // namespace

const QIcon& SmallPictureAt(int number) {
    EnsureRegistered();
    // Kept for the whole run: icons must not outlive the application object's teardown order.
    static const auto* icons = [] {
        auto* made = new std::array<QIcon, kSmallPictureCount + 1>;
        for (std::size_t i = 0; i < kSmallFiles.size(); ++i)
            (*made)[i + 1] =
                QIcon(QStringLiteral(":/pictures/small/%1.svg").arg(QLatin1String(kSmallFiles[i])));
        return made;
    }();
    if (number < 1 || number > kSmallPictureCount) return (*icons)[0];
    return (*icons)[static_cast<std::size_t>(number)];
}

const QIcon& Picture(SmallPicture picture) {
    return SmallPictureAt(static_cast<int>(picture));
}

const QIcon& Picture(LargePicture picture) {
    EnsureRegistered();
    static auto* icons = new std::array<QIcon, static_cast<std::size_t>(LargePicture::Application) + 1>;
    QIcon& icon = (*icons)[static_cast<std::size_t>(picture)];
    if (icon.isNull())
        icon = QIcon(QStringLiteral(":/pictures/large/%1.svg").arg(QLatin1String(LargeFile(picture))));
    return icon;
}

QPixmap Pixmap32(LargePicture picture, const QWidget& shownOn) {
    return Picture(picture).pixmap(QSize(32, 32), shownOn.devicePixelRatio());
}

}  // namespace tablor::gui
