#include "ui/DialogUnits.h"

#include <QFontMetrics>
#include <cmath>

namespace orvalt {

namespace {

// Windows' MulDiv: a * b / c rounded half away from zero.
int MulDiv(int a, int b, int c) {
    return static_cast<int>(std::lround(static_cast<double>(a) * b / c));
}

int Scaled(int pixels, double fraction) {
    return static_cast<int>(std::lround(pixels * fraction));
}

}  // namespace

DialogBaseUnits BaseUnitsOf(const QFont& font) {
    const QFontMetrics metrics(font);
    const int letters = metrics.horizontalAdvance(
        QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
    return DialogBaseUnits{(letters / 26 + 1) / 2, metrics.height()};
}

int DialogUnitsToPixelsX(int du, DialogBaseUnits base) {
    return MulDiv(du, base.x, 4);
}

int DialogUnitsToPixelsY(int du, DialogBaseUnits base) {
    return MulDiv(du, base.y, 8);
}

QRect DialogUnitsToPixels(const QRect& du, DialogBaseUnits base) {
    return QRect(DialogUnitsToPixelsX(du.x(), base), DialogUnitsToPixelsY(du.y(), base),
                 DialogUnitsToPixelsX(du.width(), base), DialogUnitsToPixelsY(du.height(), base));
}

QSize DialogUnitsToPixels(const QSize& du, DialogBaseUnits base) {
    return QSize(DialogUnitsToPixelsX(du.width(), base), DialogUnitsToPixelsY(du.height(), base));
}

QRect FollowGrowth(const QRect& drawn, const Follow& follow, const QSize& growth) {
    return QRect(drawn.x() + Scaled(growth.width(), follow.moveX),
                 drawn.y() + Scaled(growth.height(), follow.moveY),
                 drawn.width() + Scaled(growth.width(), follow.growX),
                 drawn.height() + Scaled(growth.height(), follow.growY));
}

}  // namespace orvalt
