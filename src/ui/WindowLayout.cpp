#include "ui/WindowLayout.h"

#include <algorithm>
#include <cmath>

namespace orvalt {

namespace {

// The verdict panel's height grows with the window's height (its type is an
// eighth of it) far slower than the window, so growing the window to what it
// needs settles within a few rounds.
constexpr int kSettlingRounds = 32;

int DrawnWindowHeight(const LayoutInputs& inputs, int width, int bannerFor) {
    return inputs.bannerHeight(width, bannerFor) + inputs.canvasDrawn.height() + inputs.bottomBands;
}

// The share of the lost height taken above the drawn line `y`.
double TakenAbove(int y, const QRect& testList, const QRect& log) {
    const double total = testList.height() + log.height();
    const auto within = [y](const QRect& list) {
        return std::clamp(y - list.top(), 0, list.height());
    };
    return (within(testList) + within(log)) / total;
}

constexpr std::size_t kTiles = 4;

QRect Tile(std::size_t tile, const QRect& available) {
    const int half = available.width() / 2;
    const int x = available.x() + (tile % 2 == 0 ? 0 : half);
    const int width = tile % 2 == 0 ? half : available.width() - half;
    if (tile < 2) {
        return QRect(x, available.y(), width, available.height());
    }
    const int top = available.height() / 2;
    return QRect(x, available.y() + top, width, available.height() - top);
}

}  // namespace

bool CoversAnyVerdict(const QRect& place, const std::vector<QRect>& verdicts) {
    return std::any_of(verdicts.begin(), verdicts.end(),
                       [&place](const QRect& verdict) { return place.intersects(verdict); });
}

QRect FixtureTile(std::size_t slot, const QRect& available, const std::vector<QRect>& verdicts) {
    for (std::size_t step = 0; step < kTiles; ++step) {
        const QRect tile = Tile((slot + step) % kTiles, available);
        if (!CoversAnyVerdict(tile, verdicts)) {
            return tile;
        }
    }
    return Tile(slot % kTiles, available);
}

Shrink ShrinkOf(const QRect& drawn, const QRect& testList, const QRect& log) {
    const double top = TakenAbove(drawn.top(), testList, log);
    const double bottom = TakenAbove(drawn.top() + drawn.height(), testList, log);
    return Shrink{top, bottom - top};
}

int TypePixelsFor(int windowHeight) {
    return (std::max(windowHeight, 8) + 7) / 8;
}

QSize LeastCanvas(const LayoutInputs& inputs) {
    const int shrink = static_cast<int>(std::floor(inputs.listsDrawn * (1.0 - kListsKeepAtLeast)));
    return QSize(inputs.canvasDrawn.width(), inputs.canvasDrawn.height() - shrink);
}

WindowPlaces PlanWindow(const LayoutInputs& inputs, QSize window) {
    WindowPlaces places;
    const int bannerHeight = inputs.bannerHeight(window.width(), window.height());
    places.banner = QRect(0, 0, window.width(), bannerHeight);
    const int room = window.width() - inputs.canvasDrawn.width();
    places.plotShown = room >= kNarrowestPanel;
    const int controlsWidth =
        places.plotShown
            ? window.width() - std::min(room, std::max(inputs.panelWidth, kNarrowestPanel))
            : window.width();
    const int controlsHeight = std::max(window.height() - bannerHeight - inputs.bottomBands, 1);
    places.controls = QRect(0, bannerHeight, controlsWidth, controlsHeight);
    if (places.plotShown) {
        places.plot = QRect(controlsWidth, bannerHeight, window.width() - controlsWidth,
                            window.height() - bannerHeight);
    }
    // A scroll bar one way takes room from the other.
    const QSize least = LeastCanvas(inputs);
    const bool across = controlsWidth < least.width();
    const bool down = controlsHeight - (across ? inputs.scrollBar : 0) < least.height();
    const int viewWidth = controlsWidth - (down ? inputs.scrollBar : 0);
    const int viewHeight = controlsHeight - (across ? inputs.scrollBar : 0);
    places.canvas = QSize(std::max(viewWidth, least.width()), std::max(viewHeight, least.height()));
    const int drawnTotal = inputs.canvasDrawn.height() + inputs.bottomBands;
    places.bottomGrowth =
        QSize(controlsWidth - inputs.canvasDrawn.width(), window.height() - drawnTotal);
    return places;
}

QSize DefaultWindowSize(const LayoutInputs& inputs, QSize available) {
    const int width =
        std::min(inputs.canvasDrawn.width() + std::max(inputs.panelWidth, kNarrowestPanel),
                 available.width());
    int height = inputs.canvasDrawn.height() + inputs.bottomBands;
    for (int round = 0; round < kSettlingRounds && height < available.height(); ++round) {
        const int needed = DrawnWindowHeight(inputs, width, height);
        if (needed <= height) {
            break;
        }
        height = needed;
    }
    return QSize(width, std::min(height, available.height()));
}

}  // namespace orvalt
