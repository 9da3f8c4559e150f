#include "ui/Twips.hpp"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>
#include <cmath>

namespace tablor::gui {
namespace {
constexpr double kTwipsPerPixelAt96 = 15.0;
}

Twips Twips::For(const QWidget* widget) {
    const QScreen* screen = widget != nullptr ? widget->screen() : nullptr;
    if (screen == nullptr) screen = QGuiApplication::primaryScreen();
    if (screen == nullptr) return Twips(96.0, 96.0);
    return Twips(screen->logicalDotsPerInchX(), screen->logicalDotsPerInchY());
}

int Twips::X(int twips) const {
    return static_cast<int>(std::lround(twips / kTwipsPerPixelAt96 * dpiX_ / 96.0));
}
int Twips::Y(int twips) const {
    return static_cast<int>(std::lround(twips / kTwipsPerPixelAt96 * dpiY_ / 96.0));
}

QRect Twips::Rect(int left, int top, int width, int height) const {
    return QRect(X(left), Y(top), X(width), Y(height));
}

int Twips::ToTwipsX(int pixels) const {
    return static_cast<int>(std::lround(pixels * kTwipsPerPixelAt96 * 96.0 / dpiX_));
}
int Twips::ToTwipsY(int pixels) const {
    return static_cast<int>(std::lround(pixels * kTwipsPerPixelAt96 * 96.0 / dpiY_));
}

}  // namespace tablor::gui
