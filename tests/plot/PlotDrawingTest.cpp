// The drawing rules that do not need a window: decimation, axis ticks, zoom and
// pan, and the pace of frames.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>

#include "plot/AxisTicks.h"
#include "plot/Decimate.h"
#include "plot/FrameGate.h"
#include "plot/PlotView.h"

namespace orvalt {
namespace {

std::vector<PlotPoint> RandomTrace(std::mt19937& random, std::size_t count) {
    std::vector<PlotPoint> points;
    double t = 0.0;
    std::uniform_real_distribution<double> step(0.0, 0.05);
    std::normal_distribution<double> volts(3.0, 1.5);
    for (std::size_t i = 0; i < count; ++i) {
        t += step(random);
        points.push_back({t, volts(random)});
    }
    return points;
}

// In every pixel column the reduced trace reaches the same lowest and highest
// volts as the full one, keeps time order, and stays near two points a column.
TEST(Decimate, KeepsEveryColumnsExtremesAndTimeOrder) {
    std::mt19937 random(3);
    for (int round = 0; round < 50; ++round) {
        const auto points = RandomTrace(random, 10000);
        const double xMin = points.front().seconds + (random() % 100);
        const double xMax = xMin + 1.0 + (random() % 200);
        const int columns = 50 + static_cast<int>(random() % 700);
        const auto kept = DecimateForColumns(points, xMin, xMax, columns);
        ASSERT_TRUE(std::is_sorted(kept.begin(), kept.end(),
                                   [](auto& a, auto& b) { return a.seconds < b.seconds; }));
        EXPECT_LE(kept.size(), static_cast<std::size_t>(4 * columns + 2));
        const auto column = [&](double t) {
            return static_cast<int>(
                std::clamp((t - xMin) / (xMax - xMin) * columns, 0.0, columns - 1.0));
        };
        std::vector<double> fullLow(columns, 1e9), fullHigh(columns, -1e9);
        std::vector<double> keptLow(columns, 1e9), keptHigh(columns, -1e9);
        for (const auto& p : points) {
            if (p.seconds >= xMin && p.seconds <= xMax) {
                fullLow[column(p.seconds)] = std::min(fullLow[column(p.seconds)], p.volts);
                fullHigh[column(p.seconds)] = std::max(fullHigh[column(p.seconds)], p.volts);
            }
        }
        for (const auto& p : kept) {
            if (p.seconds >= xMin && p.seconds <= xMax) {
                keptLow[column(p.seconds)] = std::min(keptLow[column(p.seconds)], p.volts);
                keptHigh[column(p.seconds)] = std::max(keptHigh[column(p.seconds)], p.volts);
            }
        }
        EXPECT_EQ(fullLow, keptLow);
        EXPECT_EQ(fullHigh, keptHigh);
        // The line runs on to the edges.
        if (points.front().seconds < xMin) {
            EXPECT_LT(kept.front().seconds, xMin);
        }
        if (points.back().seconds > xMax) {
            EXPECT_GT(kept.back().seconds, xMax);
        }
    }
}

TEST(Decimate, FewPointsStayAsTheyAre) {
    const std::vector<PlotPoint> points{{0.0, 1.0}, {0.5, 2.0}, {1.0, 0.5}};
    const auto kept = DecimateForColumns(points, 0.0, 1.0, 400);
    ASSERT_EQ(kept.size(), 3u);
    EXPECT_DOUBLE_EQ(kept[1].volts, 2.0);
    EXPECT_TRUE(DecimateForColumns({}, 0.0, 1.0, 10).empty());
}

TEST(AxisTicks, AreRoundEvenlySpacedAndWithinTheRange) {
    std::mt19937 random(5);
    std::uniform_real_distribution<double> start(-50.0, 500.0);
    std::uniform_real_distribution<double> logSpan(-2.5, 4.0);
    for (int i = 0; i < 2000; ++i) {
        const double low = start(random);
        const double high = low + std::pow(10.0, logSpan(random));
        const int most = 4 + static_cast<int>(random() % 8);
        const auto ticks = AxisTicks(low, high, most);
        ASSERT_GE(ticks.size(), 1u) << low << ".." << high;
        ASSERT_LE(static_cast<int>(ticks.size()), most) << low << ".." << high;
        const double slack = (high - low) * 1e-9;
        EXPECT_GE(ticks.front(), low - slack);
        EXPECT_LE(ticks.back(), high + slack);
        if (ticks.size() > 1) {
            const double step = ticks[1] - ticks[0];
            const double mantissa = step / std::pow(10.0, std::floor(std::log10(step) + 1e-9));
            EXPECT_TRUE(std::fabs(mantissa - 1) < 1e-6 || std::fabs(mantissa - 2) < 1e-6 ||
                        std::fabs(mantissa - 5) < 1e-6)
                << step;
            EXPECT_GE(step, std::pow(10.0, -TickDecimals(ticks)) * (1 - 1e-9)) << step;
        }
    }
    EXPECT_EQ(AxisTicks(0.0, 10.0, 6), (std::vector<double>{0, 2, 4, 6, 8, 10}));
    EXPECT_EQ(TickDecimals(AxisTicks(0.0, 1.0, 6)), 1);
    EXPECT_TRUE(AxisTicks(1.0, 1.0, 5).empty());
    EXPECT_TRUE(AxisTicks(0.0, NAN, 5).empty());
}

TEST(PlotView, FollowsTheDataUntilZoomedOrPanned) {
    PlotView view;
    const PlotRange data{0, 100, 0, 10};
    EXPECT_EQ(view.Visible(data), data);
    view.ZoomAt(data, 0.5, 0.25, 0.5);  // the point at 25 s, 5 V stays put
    EXPECT_FALSE(view.Following());
    const PlotRange zoomed = view.Visible(PlotRange{0, 200, 0, 20});  // data grew: view stays
    EXPECT_EQ(zoomed, (PlotRange{12.5, 62.5, 2.5, 7.5}));
    view.PanBy(data, 0.1, -0.2);
    EXPECT_EQ(view.Visible(data), (PlotRange{17.5, 67.5, 1.5, 6.5}));
    view.Follow();
    EXPECT_EQ(view.Visible(data), data);
    for (int i = 0; i < 100; ++i) {
        view.ZoomAt(data, 0.01, 0.5, 0.5);
    }
    EXPECT_GT(view.Visible(data).Width(), 0.0);  // never a span of nothing
}

// A burst of changes at random times, the drawing done when each frame comes
// due: frames are never closer than the interval, and every change is on
// screen within one interval of its arrival (or at once after a quiet spell).
TEST(FrameGate, CapsFramesAndDrawsEveryChangeSoon) {
    std::mt19937 random(9);
    for (int round = 0; round < 100; ++round) {
        FrameGate gate(40);
        std::int64_t now = 0;
        constexpr std::int64_t kNone = -1;
        std::int64_t due = kNone;
        std::vector<std::int64_t> frames;
        std::int64_t oldestUndrawn = -1;
        for (int change = 0; change < 2000; ++change) {
            now += static_cast<std::int64_t>(random() % (round % 2 ? 3 : 90));
            if (due != kNone && due <= now) {
                frames.push_back(due);
                gate.Drew(due);
                EXPECT_LE(due - oldestUndrawn, 40);
                oldestUndrawn = -1;
                due = kNone;
            }
            if (const auto delay = gate.Schedule(now)) {
                ASSERT_EQ(due, kNone);
                due = now + *delay;
            }
            ASSERT_TRUE(gate.Pending());
            if (oldestUndrawn < 0) {
                oldestUndrawn = now;
            }
        }
        for (std::size_t i = 1; i < frames.size(); ++i) {
            EXPECT_GE(frames[i] - frames[i - 1], 40);
        }
    }
}

}  // namespace
}  // namespace orvalt
