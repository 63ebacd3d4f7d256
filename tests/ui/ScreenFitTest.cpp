// The window on the line PC's screen: at its default size it fits the screen,
// and on 1024x768 and larger the controls, the serial number, the operator and
// the lot, the status strip and the verdict all show without scrolling, the
// plot beside them where there is room. At twice the scale on 1920x1080 it
// still fits, and the verdict, the serial number and the status strip still
// show. Run once per screen (the screen is the offscreen platform's, named by
// the test's environment).

#include <QGuiApplication>
#include <QLineEdit>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QTest>
#include <array>

#include "ui/MainWindowControls.h"
#include "ui/UiTests.h"
#include "ui/WindowRig.h"

namespace orvalt::testing {

namespace {

// Not cut off by the window or by any area between (the scrolling one).
bool ShownWhole(const QWidget* widget, const QWidget* window) {
    if (!widget->isVisible()) {
        return false;
    }
    for (const QWidget* area = widget->parentWidget(); area; area = area->parentWidget()) {
        const QRect inArea(widget->mapTo(area, QPoint(0, 0)), widget->size());
        if (!area->rect().contains(inArea)) {
            return false;
        }
        if (area == window) {
            return true;
        }
    }
    return false;
}

// A control's identifier, or a label's text.
QString NameOf(const QWidget* control) {
    const auto* label = qobject_cast<const QLabel*>(control);
    return label && control->objectName().isEmpty() ? label->text() : control->objectName();
}

bool Roomy(const QSize& screen) {
    return screen.width() >= 1024 && screen.height() >= 768;
}

}  // namespace

class ScreenFitTest : public QObject {
    Q_OBJECT

  private slots:
    void TheDefaultSizeFitsAndTheEssentialsShow() {
        WindowRig rig;
        QVERIFY(QTest::qWaitForWindowExposed(rig.window.get()));
        const QScreen* screen = rig.window->screen();
        const QRect available = screen->availableGeometry();
        QVERIFY2(available.contains(rig.window->frameGeometry()),
                 qPrintable(QStringLiteral("window %1x%2 on %3x%4")
                                .arg(rig.window->frameGeometry().width())
                                .arg(rig.window->frameGeometry().height())
                                .arg(available.width())
                                .arg(available.height())));

        auto* serial = rig.window->findChild<QLineEdit*>(QStringLiteral("serialNumber"));
        VerdictBanner& verdict = rig.window->Verdict();
        const std::vector<const QWidget*> always{
            serial,
            rig.window->findChild<QLineEdit*>(QStringLiteral("operatorName")),
            rig.window->findChild<QLineEdit*>(QStringLiteral("lot")),
            rig.window->findChild<QLabel*>(QStringLiteral("runStatus")),
            &verdict.HeadlineLabel(),
            &verdict.SerialLabel(),
            &verdict.LoadLimitsButton()};
        for (const QWidget* widget : always) {
            QVERIFY2(ShownWhole(widget, rig.window.get()), qPrintable(widget->objectName()));
        }
        // The type reads from two metres: an eighth of the window's height.
        QVERIFY(verdict.HeadlineLabel().font().pixelSize() * 8 >= rig.window->height());
        serial->setText(QStringLiteral("SN-4711"));
        QVERIFY(verdict.SerialLabel().font().pixelSize() * 8 >= rig.window->height());

        // The controls that move or shrink never come to lie on one another.
        auto* area = rig.window->findChild<QScrollArea*>(QStringLiteral("controlsArea"));
        const QList<QWidget*> placed =
            area->widget()->findChildren<QWidget*>(Qt::FindDirectChildrenOnly);
        for (qsizetype i = 0; i < placed.size(); ++i) {
            for (qsizetype j = i + 1; j < placed.size(); ++j) {
                QVERIFY2(!placed[i]->geometry().intersects(placed[j]->geometry()),
                         qPrintable(NameOf(placed[i]) + " / " + NameOf(placed[j])));
            }
        }

        if (!Roomy(available.size())) {
            return;  // the controls may scroll; everything else showed
        }
        QVERIFY(!area->horizontalScrollBar()->isVisible());
        QVERIFY(!area->verticalScrollBar()->isVisible());
        for (const ControlSpec& drawn : MainWindowControls()) {
            if (drawn.id != kNoControlId) {
                QVERIFY2(ShownWhole(rig.Control(drawn.id), rig.window.get()),
                         qPrintable(QString::number(drawn.id)));
            }
        }
        // Drawn sizes kept; only the lists gave height.
        const DialogBaseUnits base = BaseUnitsOf(rig.window->font());
        for (const int id :
             std::array<int, 4>{IDC_START_STOP, IDC_MANUFACTURER, IDCANCEL_CLOSE, IDC_DIAG_OPEN}) {
            for (const ControlSpec& drawn : MainWindowControls()) {
                if (drawn.id == id) {
                    QCOMPARE(rig.Control(id)->size(), DialogUnitsToPixels(drawn.du, base).size());
                }
            }
        }
        const bool besideFits = available.width() >= 1366;
        QCOMPARE(rig.window->Panel().isVisible(), besideFits);
        if (besideFits) {
            QVERIFY(ShownWhole(&rig.window->Panel(), rig.window.get()));
            QVERIFY(rig.window->Panel().width() >= 240);
        }
    }
};

int RunScreenFitTests(int argc, char** argv) {
    ScreenFitTest test;
    return QTest::qExec(&test, argc, argv);
}

}  // namespace orvalt::testing

#include "ScreenFitTest.moc"
