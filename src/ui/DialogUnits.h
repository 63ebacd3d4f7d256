#pragma once
// Dialog units: the windows are drawn in units of a quarter of the dialog
// font's average character width across and an eighth of its height down, so
// that they keep their proportions with whatever font the desktop gives. A
// control also says how it follows a resized window.

#include <QFont>
#include <QRect>
#include <QSize>

namespace orvalt {

struct DialogBaseUnits {
    int x = 0;  // average character width, pixels
    int y = 0;  // character height, pixels
};

// The base units of `font`: the average width of the 52 Latin letters,
// rounded, and the font's line height.
DialogBaseUnits BaseUnitsOf(const QFont& font);

int DialogUnitsToPixelsX(int du, DialogBaseUnits base);
int DialogUnitsToPixelsY(int du, DialogBaseUnits base);
QRect DialogUnitsToPixels(const QRect& du, DialogBaseUnits base);
QSize DialogUnitsToPixels(const QSize& du, DialogBaseUnits base);

// How a control follows the window's growth beyond its drawn size: it moves
// by a fraction of the growth and grows by another fraction, each way.
struct Follow {
    double moveX = 0.0;
    double growX = 0.0;
    double moveY = 0.0;
    double growY = 0.0;
};

QRect FollowGrowth(const QRect& drawn, const Follow& follow, const QSize& growth);

}  // namespace orvalt
