// The live plot and the verdict banner, offscreen: every reading reaches the
// plot, frames keep to 25 a second, the picture can be zoomed, panned and
// saved after a run, and the banner shows each verdict in its colour.

#include <QApplication>
#include <QElapsedTimer>
#include <QImage>
#include <QTemporaryDir>
#include <QTest>
#include <QWheelEvent>
#include <chrono>
#include <thread>

#include "ui/LightPlotWidget.h"
#include "ui/UiTests.h"
#include "ui/VerdictBanner.h"

namespace orvalt::testing {

namespace {

void Wheel(QWidget& widget, QPoint at, int notches) {
    QWheelEvent event(at, widget.mapToGlobal(at), QPoint(), QPoint(0, 120 * notches), Qt::NoButton,
                      Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(&widget, &event);
}

int PixelsOf(const QImage& image, QColor colour) {
    int count = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            count += image.pixelColor(x, y).rgb() == colour.rgb();
        }
    }
    return count;
}

void ShowPlot(LightPlotWidget& plot) {
    plot.resize(600, 320);
    plot.show();
    QVERIFY(QTest::qWaitForWindowExposed(&plot));
}

}  // namespace

class PlotAndBannerTest : public QObject {
    Q_OBJECT

  private slots:
    // Readings come far faster than 25 a second; the frames drawn stay within
    // what 25 a second allows in the time the burst took, and the last frame
    // shows the last reading.
    void EveryReadingArrivesAndFramesKeepTo25ASecond() {
        LightPlotWidget plot;
        ShowPlot(plot);
        plot.StartRun();
        plot.BeginTest(1);
        plot.AddSwitch(0, true);
        QTest::qWait(60);
        const int framesBefore = plot.FramesDrawn();
        QElapsedTimer burst;
        burst.start();
        // Readings in batches, each a millisecond's worth at far more than a
        // run's rate, with the loop running between them, until the plot has
        // drawn a few frames (or the time is up, however busy the machine).
        constexpr int kEnoughFrames = 6;
        std::size_t fed = 0;
        while (plot.FramesDrawn() - framesBefore < kEnoughFrames && burst.elapsed() < 10'000) {
            for (int i = 0; i < 100; ++i, ++fed) {
                plot.AddReading(static_cast<double>(fed) * 0.01, 2.0 + (fed % 400) / 100.0);
            }
            QCoreApplication::processEvents();
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        const qint64 elapsedMs = burst.elapsed();
        const int frames = plot.FramesDrawn() - framesBefore;
        qInfo("%zu readings, %d frames in %lld ms", fed, frames, elapsedMs);
        QCOMPARE(plot.Model().Current().readings.size(), fed);
        QVERIFY2(frames >= kEnoughFrames, "the burst was drawn as it came");
        QVERIFY2(frames <= elapsedMs / 40 + 1,
                 qPrintable(QString("%1 frames in %2 ms").arg(frames).arg(elapsedMs)));
        QTest::qWait(100);
        QCOMPARE(plot.DrawnRevision(), plot.Model().Revision());
    }

    void DrawsTheTraceTheLevelsAndThePreviousTestBehind() {
        LightPlotWidget plot;
        ShowPlot(plot);
        plot.SetLevels({2.0, 1.5, 1.0});
        plot.StartRun();
        plot.BeginTest(1);
        plot.AddSwitch(0, true);
        for (int i = 0; i < 100; ++i) {
            plot.AddReading(i * 0.1, 3.0);
        }
        plot.BeginTest(2);
        plot.AddSwitch(0, true);
        for (int i = 0; i < 50; ++i) {
            plot.AddReading(i * 0.1, 4.0);
        }
        QTest::qWait(60);
        const QImage picture = plot.grab().toImage();
        QVERIFY(PixelsOf(picture, QColor(0x15, 0x65, 0xc0)) > 100);  // current trace
        QVERIFY(PixelsOf(picture, QColor(0x2e, 0x7d, 0x32)) > 50);   // VoltageOn line
        // The previous trace, faint: a light blue-grey somewhere on white.
        int faint = 0;
        for (int x = 0; x < picture.width(); ++x) {
            for (int y = 0; y < picture.height(); ++y) {
                const QColor c = picture.pixelColor(x, y);
                faint += c.red() > 0xb0 && c.red() < 0xf8 && c.blue() > c.red();
            }
        }
        QVERIFY(faint > 100);
    }

    void ZoomAndPanOnlyAfterTheRunAndBackToTheWholeTrace() {
        LightPlotWidget plot;
        ShowPlot(plot);
        plot.StartRun();
        plot.BeginTest(1);
        plot.AddSwitch(0, true);
        plot.AddReading(60.0, 5.0);
        Wheel(plot, QPoint(300, 150), 2);
        QVERIFY2(plot.View().Following(), "no zoom while the run goes on");
        plot.EndRun();
        Wheel(plot, QPoint(300, 150), 2);
        QVERIFY(!plot.View().Following());
        const PlotRange zoomed = plot.View().Visible(plot.Model().DataRange());
        QVERIFY(zoomed.Width() < plot.Model().DataRange().Width());
        QTest::mousePress(&plot, Qt::LeftButton, {}, QPoint(300, 150));
        QTest::mouseMove(&plot, QPoint(200, 150));
        QTest::mouseRelease(&plot, Qt::LeftButton, {}, QPoint(200, 150));
        QVERIFY(plot.View().Visible(plot.Model().DataRange()).xMin > zoomed.xMin);
        QTest::mouseDClick(&plot, Qt::LeftButton, {}, QPoint(300, 150));
        QVERIFY(plot.View().Following());
        plot.StartRun();
        QVERIFY(plot.View().Following());
    }

    void SavesThePictureAsPng() {
        LightPlotWidget plot;
        ShowPlot(plot);
        plot.BeginTest(1);
        plot.AddSwitch(0, true);
        plot.AddReading(1.0, 3.0);
        QTemporaryDir dir;
        const QString file = dir.filePath("plot.png");
        QVERIFY(plot.SaveAsPng(file));
        const QImage saved(file);
        QCOMPARE(saved.size(), plot.size() * plot.devicePixelRatio());
        QVERIFY(!plot.SaveAsPng(dir.filePath("missing/plot.png")));
    }

    // Each word on its colour, NOT JUDGED in amber; a long list of reasons is
    // counted rather than cut off unseen.
    void BannerShowsEachVerdictInItsColour() {
        QWidget window;
        window.resize(900, 300);
        VerdictBanner banner(&window);
        banner.SetTypePixels(40);
        banner.setGeometry(0, 0, 900, banner.HeightFor(900));
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QCOMPARE(banner.Headline(), QString("READY"));
        QCOMPARE(banner.LimitsText(), QString("No limits loaded"));

        const std::vector<std::string> three{"Test 1: a", "Test 2: b", "Test 3: c"};
        const struct {
            VerdictFace face;
            QColor colour;
            QString shown;
        } cases[] = {
            {{"PASS", VerdictTone::Pass, {}, "Limits: l.csv"}, QColor(0x2e, 0x7d, 0x32), ""},
            {{"FAIL", VerdictTone::Fail, three, "Limits: l.csv"},
             QColor(0xc6, 0x28, 0x28),
             "Test 1: a\nTest 2: b (and 1 more)"},
            {{"ERROR", VerdictTone::Error, {"Test 4 was stopped"}, "Limits: l.csv"},
             QColor(0xff, 0xa0, 0x00),
             "Test 4 was stopped"},
            {{"NOT JUDGED", VerdictTone::NotJudged, {kNotJudgedReason}, "No limits loaded"},
             QColor(0xff, 0xc1, 0x07),
             kNotJudgedReason},
            {{"TESTING...", VerdictTone::Testing, {}, "No limits loaded"},
             QColor(0x15, 0x65, 0xc0),
             ""},
        };
        for (const auto& c : cases) {
            banner.ShowFace(c.face);
            QCOMPARE(banner.Headline(), QString::fromStdString(c.face.word));
            QCOMPARE(banner.ReasonsText(), c.shown);
            QCOMPARE(banner.LimitsText(), QString::fromStdString(c.face.limits));
            QCOMPARE(banner.grab().toImage().pixelColor(2, 2).rgb(), c.colour.rgb());
        }
        // A serial number too long for its place is made smaller, never cut.
        banner.SetSerial(QString(60, QLatin1Char('9')));
        const QLabel& serial = banner.SerialLabel();
        QVERIFY(QFontMetrics(serial.font()).horizontalAdvance(serial.text()) <= serial.width());
        QVERIFY(!serial.geometry().intersects(banner.HeadlineLabel().geometry()));
    }
};

int RunPlotAndBannerTests(int argc, char** argv) {
    PlotAndBannerTest test;
    return QTest::qExec(&test, argc, argv);
}

}  // namespace orvalt::testing

#include "PlotAndBannerTest.moc"
