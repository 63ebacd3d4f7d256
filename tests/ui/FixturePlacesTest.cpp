// Where the windows of several fixtures of one PC open: beside each other,
// none over another's verdict panel.

#include <QGuiApplication>
#include <QRandomGenerator>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>

#include "ui/UiTests.h"
#include "ui/WindowLayout.h"
#include "ui/WindowRig.h"

namespace orvalt::testing {

namespace {

QRect VerdictOnScreen(const COrvaltDlg& window) {
    const VerdictBanner& banner = const_cast<COrvaltDlg&>(window).Verdict();
    return QRect(banner.mapToGlobal(QPoint(0, 0)), banner.size());
}

SessionOptions FixtureOptions(const QTemporaryDir& folder, const std::string& fixture) {
    return SessionOptions{StationOptions{true, false, {}, {}, fixture},
                          folder.filePath(QStringLiteral("Orvalt.reg")).toStdString()};
}

}  // namespace

class FixturePlacesTest : public QObject {
    Q_OBJECT

  private slots:
    // However the earlier windows lie (in their tiles or moved anywhere), a
    // new one takes a tile inside the screen that covers none of their
    // verdicts whenever such a tile is there; windows that opened in their
    // tiles always leave one for the next, up to four.
    void ANewFixturesTileCoversNoVerdictWhenAnyTileIsFree() {
        QRandomGenerator random(39);
        for (int round = 0; round < 2000; ++round) {
            const QRect screen(random.bounded(-2000, 2000), random.bounded(0, 100),
                               random.bounded(800, 4000), random.bounded(600, 2400));
            const int bannerShare = random.bounded(10, 50);  // % of a tile's height
            std::vector<QRect> verdicts;
            const int earlier = random.bounded(0, 4);
            for (int slot = 0; slot < earlier; ++slot) {
                const QRect tile = FixtureTile(static_cast<std::size_t>(slot), screen, verdicts);
                QVERIFY(!CoversAnyVerdict(tile, verdicts));
                verdicts.emplace_back(tile.topLeft(),
                                      QSize(tile.width(), tile.height() * bannerShare / 100));
            }
            for (int moved = random.bounded(0, 3); moved > 0; --moved) {
                verdicts.emplace_back(screen.x() + random.bounded(0, screen.width()),
                                      screen.y() + random.bounded(0, screen.height()),
                                      random.bounded(50, 1000), random.bounded(20, 300));
            }
            const auto slot = static_cast<std::size_t>(random.bounded(0, 8));
            const QRect chosen = FixtureTile(slot, screen, verdicts);
            QVERIFY(screen.contains(chosen));
            QVERIFY(chosen.width() >= screen.width() / 2 && chosen.height() >= screen.height() / 2);
            if (CoversAnyVerdict(chosen, verdicts)) {
                for (std::size_t other = 0; other < 4; ++other) {
                    QVERIFY(CoversAnyVerdict(FixtureTile(other, screen, {}), verdicts));
                }
            }
        }
    }

    // Two fixtures' real windows over one settings file, as two processes
    // would open them: the second beside the first, each verdict in the open.
    void TheSecondFixturesWindowOpensBesideTheFirst() {
        QTemporaryDir folder;
        WindowRig bay1(FixtureOptions(folder, "Bay 1"));
        QTest::qWait(600);  // the first has told where its verdict is
        WindowRig bay2(FixtureOptions(folder, "Bay 2"));
        QTest::qWait(600);
        const QRect available = QGuiApplication::primaryScreen()->availableGeometry();
        const QRect first = bay1.window->frameGeometry();
        const QRect second = bay2.window->frameGeometry();
        QVERIFY2(!second.intersects(VerdictOnScreen(*bay1.window)),
                 qPrintable(QStringLiteral("%1,%2 %3x%4")
                                .arg(second.x())
                                .arg(second.y())
                                .arg(second.width())
                                .arg(second.height())));
        QVERIFY(!first.intersects(VerdictOnScreen(*bay2.window)));
        QVERIFY(available.contains(first.topLeft()) && available.contains(second.topLeft()));
    }
};

int RunFixturePlacesTests(int argc, char** argv) {
    FixturePlacesTest test;
    return QTest::qExec(&test, argc, argv);
}

}  // namespace orvalt::testing

#include "FixturePlacesTest.moc"
