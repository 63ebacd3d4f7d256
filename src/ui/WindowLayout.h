#pragma once
// Where the main window's parts go at a given size, so that it fits the
// line PC's screen: the verdict panel across the top; below it the drawn
// controls (their places and sizes as drawn, the three lists sharing whatever
// height there is, down to a third of their drawn height, and scrolling only
// on a screen smaller still); the status strip and the serial number band
// along the bottom; the light-level plot at the right when there is room for
// it beside the controls, else folded away.

#include <QRect>
#include <QSize>
#include <cstddef>
#include <functional>
#include <vector>

namespace orvalt {

// The plot is folded away rather than made narrower than this.
constexpr int kNarrowestPanel = 240;
// The share of their drawn height the test list and the log keep at least.
constexpr double kListsKeepAtLeast = 0.35;

struct LayoutInputs {
    QSize canvasDrawn;    // the drawn controls, in pixels
    int bottomBands = 0;  // the status strip and the serial band below them
    int listsDrawn = 0;   // the drawn heights of the lists that give up height
    int panelWidth = 0;   // the width the plot is given when there is room
    int scrollBar = 0;    // a scroll bar's thickness
    // The verdict panel's height at a width, with its type set for a window
    // of the given height.
    std::function<int(int width, int windowHeight)> bannerHeight;
};

struct WindowPlaces {
    QRect banner;
    QRect controls;      // the scrolling area that shows the drawn controls
    QSize canvas;        // the drawn controls' area inside it
    QSize bottomGrowth;  // how far the bottom bands follow the window's growth
    bool plotShown = false;
    QRect plot;
};

// The verdict panel's large type for a window of this height: an eighth of it.
int TypePixelsFor(int windowHeight);

WindowPlaces PlanWindow(const LayoutInputs& inputs, QSize window);

// The size the window opens at: everything as drawn with the plot beside,
// made smaller (the lists first) to fit `available`.
QSize DefaultWindowSize(const LayoutInputs& inputs, QSize available);

// The smallest canvas at which nothing scrolls.
QSize LeastCanvas(const LayoutInputs& inputs);

// Where the window of a fixture opens beside the others running on the PC,
// frame included: the tiles of the screen's `available` area are its left and
// right halves, then the lower halves of those (below the top halves' verdict
// panels). It takes the first tile, counted on from its own `slot`, that
// overlaps none of the other windows' `verdicts`; when every tile does, its
// slot's own.
QRect FixtureTile(std::size_t slot, const QRect& available, const std::vector<QRect>& verdicts);

// `place` overlaps one of the `verdicts`.
bool CoversAnyVerdict(const QRect& place, const std::vector<QRect>& verdicts);

// How a control drawn at `drawn` follows a canvas lower than drawn: the share
// of the lost height by which it moves up and shrinks, when only the test list
// and the log (drawn at `testList` and `log`) give up height, each in
// proportion to its drawn height, and what lies below them moves up whole.
struct Shrink {
    double moveY = 0.0;
    double growY = 0.0;
};
Shrink ShrinkOf(const QRect& drawn, const QRect& testList, const QRect& log);

}  // namespace orvalt
