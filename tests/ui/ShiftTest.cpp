// A shift of units through the window as the line works it: a barcode scanner
// types each unit's number and Enter wherever the keyboard focus happens to
// be, the operator clicks Start, and the run is recorded under that number.

#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QTableView>
#include <QTest>
#include <array>

#include "lookback/History.h"
#include "ui/MainWindowControls.h"
#include "ui/UiTests.h"
#include "ui/WindowRig.h"

namespace orvalt::testing {

namespace {

constexpr std::array<int, 7> kDescriptionEdits{IDC_MANUFACTURER, IDC_MODEL, IDC_TYPE,
                                               IDC_POWER,        IDC_SIZE,  IDC_DRIVER_MANUFACTURER,
                                               IDC_DRIVER_MODEL};

SettingsRecord Described() {
    SettingsRecord settings;
    settings.Manufacturer = "Acme";
    settings.Model = "X100";
    settings.Type = "LED";
    settings.Power = "40W";
    settings.FixtureSize = "2x2";
    settings.DriverManufacturer = "Drivr";
    settings.DriverModel = "D-7";
    return settings;
}

QLineEdit* SerialOf(const WindowRig& rig) {
    return rig.window->findChild<QLineEdit*>(QStringLiteral("serialNumber"));
}

// The scanner: the keys of `serial`, then Enter, to whatever has the focus.
void Scan(const WindowRig& rig, const QString& serial) {
    QWidget* focus = rig.window->focusWidget();
    QWidget* target = focus ? focus : rig.window.get();
    QTest::keyClicks(target, serial);
    QTest::keyClick(rig.window->focusWidget() ? rig.window->focusWidget() : target, Qt::Key_Return);
}

bool InDescription(const WindowRig& rig, QWidget* widget) {
    for (int id : kDescriptionEdits) {
        if (rig.Control(id) == widget) {
            return true;
        }
    }
    return false;
}

}  // namespace

class ShiftTest : public QObject {
    Q_OBJECT

  private slots:
    // Between units the operator's hand wanders: into the test list,
    // the Manufacturer edit or the Time-to-OFF list, or nowhere at all. Every
    // scan still names the next run, and no description changes.
    void TwentyUnitsEachRecordedUnderItsOwnSerial() {
        QTemporaryDir records;
        const RecordingOptions recording = RecordInto(records);
        WindowRig rig(Described(), {}, {}, true, {}, recording);
        rig.window->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(rig.window.get()));
        QLineEdit* serial = SerialOf(rig);
        rig.LoadPlan(kQuickPlan);
        QCOMPARE(rig.window->focusWidget(), serial);  // a plan loaded: ready for the first scan

        const int tto = rig.Control<QComboBox>(IDC_TTO_OPTION)->currentIndex();
        const std::array<QWidget*, 4> wanderTo{nullptr, rig.Control(IDC_TEST_LIST),
                                               rig.Control(IDC_MANUFACTURER),
                                               rig.Control(IDC_TTO_OPTION)};
        QStringList scanned;
        for (int unit = 1; unit <= 20; ++unit) {
            if (QWidget* place = wanderTo[static_cast<std::size_t>(unit % 4)]) {
                place->setFocus(Qt::MouseFocusReason);
            }
            const QString number = QStringLiteral("SN-%1").arg(4700 + unit);
            Scan(rig, number);
            QCOMPARE(serial->text(), number);
            QTest::mouseClick(rig.Button(IDC_START_STOP), Qt::LeftButton);
            QVERIFY(rig.window->Runs().Running());
            QVERIFY2(!InDescription(rig, rig.window->focusWidget()),
                     qPrintable(rig.window->focusWidget()->objectName()));
            QTRY_VERIFY_WITH_TIMEOUT(rig.RunOver(), kPatienceMs);
            QCOMPARE(rig.window->focusWidget(), serial);
            QCOMPARE(serial->selectedText(), number);  // the next scan replaces it
            scanned.prepend(number);
        }

        const SettingsRecord described = Described();
        const std::array<std::string, 7> texts{described.Manufacturer, described.Model,
                                               described.Type,         described.Power,
                                               described.FixtureSize,  described.DriverManufacturer,
                                               described.DriverModel};
        for (std::size_t i = 0; i < kDescriptionEdits.size(); ++i) {
            QCOMPARE(rig.Control<QLineEdit>(kDescriptionEdits[i])->text().toStdString(), texts[i]);
        }
        QCOMPARE(rig.Control<QComboBox>(IDC_TTO_OPTION)->currentIndex(), tto);
        QVERIFY(rig.messages.empty());
        QVERIFY(rig.questions.empty());

        auto db = OpenSqlConnection(recording.database);
        QVERIFY(db);
        QStringList recorded;
        QTRY_VERIFY_WITH_TIMEOUT(
            [&] {
                const auto rows = QueryHistory(**db, {});
                recorded.clear();
                for (const HistoryRow& row : rows ? *rows : std::vector<HistoryRow>{}) {
                    recorded << QString::fromStdString(row.serial);
                }
                return recorded.size() == 20;
            }(),
            kPatienceMs);
        QCOMPARE(recorded, scanned);  // newest first
    }

    // A person who types into the description and presses Enter keeps what
    // was typed: only a scanner's burst is taken out again.
    void TypingByHandStaysWhereItWasTyped() {
        WindowRig rig(Described());
        auto* manufacturer = rig.Control<QLineEdit>(IDC_MANUFACTURER);
        manufacturer->setFocus();
        manufacturer->setCursorPosition(4);
        QTest::keyClicks(manufacturer, QStringLiteral(" Ltd"), Qt::NoModifier, 120);
        QTest::keyClick(manufacturer, Qt::Key_Return, Qt::NoModifier, 120);
        QCOMPARE(manufacturer->text(), QStringLiteral("Acme Ltd"));
        QCOMPARE(SerialOf(rig)->text(), QString());
        // A space on a focused check box still ticks it.
        auto* extraLog = rig.Control<QAbstractButton>(IDC_EXTRA_LOG);
        extraLog->setFocus();
        QTest::keyClick(extraLog, Qt::Key_Space);
        QVERIFY(extraLog->isChecked());
    }

    // The same number again asks first; No starts nothing. A line that
    // requires a number refuses Start without one.
    void ARetestIsAskedAndAMissingNumberRefused() {
        WindowRig rig;
        rig.LoadPlan(kQuickPlan);
        Scan(rig, QStringLiteral("SN-77"));
        rig.Press(IDC_START_STOP);
        QTRY_VERIFY_WITH_TIMEOUT(rig.RunOver(), kPatienceMs);
        QVERIFY(rig.questions.empty());

        rig.replies.push_back(Answer::No);
        rig.Press(IDC_START_STOP);
        QCOMPARE(rig.questions.size(), std::size_t{1});
        QCOMPARE(rig.questions[0].text,
                 std::string("SN-77 has already been tested at this station (1 run). "
                             "Test it again as attempt 2?"));
        QVERIFY(!rig.window->Runs().Running());
        rig.replies.push_back(Answer::Yes);
        rig.Press(IDC_START_STOP);
        QVERIFY(rig.window->Runs().Running());
        QTRY_VERIFY_WITH_TIMEOUT(rig.RunOver(), kPatienceMs);
        QCOMPARE(rig.session.Shift().RunsOf("SN-77"), 2);

        rig.session.Shift().RequireSerial(true);
        SerialOf(rig)->clear();
        rig.Press(IDC_START_STOP);
        QVERIFY(!rig.window->Runs().Running());
        QCOMPARE(rig.messages, std::vector<std::string>{kSerialRequired});
        QCOMPARE(rig.window->focusWidget(), SerialOf(rig));
    }
};

int RunShiftTests(int argc, char** argv) {
    ShiftTest test;
    return QTest::qExec(&test, argc, argv);
}

}  // namespace orvalt::testing

#include "ShiftTest.moc"
