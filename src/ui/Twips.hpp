#pragma once
#include <QRect>

class QWidget;

namespace tablor::gui {

// Layout sizes are given in twips: 15 to the pixel at 96 dots per inch, scaled by the
// screen's logical resolution so the window keeps its proportions on dense screens.
class Twips {
  public:
    // Scale for the screen `widget` is on (the primary screen when it has none yet).
    static Twips For(const QWidget* widget);
    static Twips At(double logicalDpiX, double logicalDpiY) { return Twips(logicalDpiX, logicalDpiY); }

    int X(int twips) const;
    int Y(int twips) const;
    QRect Rect(int left, int top, int width, int height) const;
    int ToTwipsX(int pixels) const;
    int ToTwipsY(int pixels) const;

  private:
    Twips(double dpiX, double dpiY) : dpiX_(dpiX), dpiY_(dpiY) {}
    double dpiX_;
    double dpiY_;
};

}  // namespace tablor::gui
