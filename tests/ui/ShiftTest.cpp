// A shift of units through the window as the line works it: a barcode scanner
// types each unit's number and Enter wherever the keyboard focus happens to
// be, the operator clicks Start, and the run is recorded under that number.

#include <QApplication>
#include <QComboBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QRegularExpression>
#include <QTableView>
#include <QTest>
#include <array>
#include <fstream>

#include "config/ShiftSetting.h"
#include "reading/History.h"
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

// Keys as the window system hands them over, each stamped with the time it
// was pressed; Shift goes down before a capital and up after it, as a
// scanner's keyboard emulation and a person's hand both do it.
class StampedKeys {
  public:
    StampedKeys(QWidget& target, std::uint64_t startMs) : target_(target), nowMs_(startMs) {}

    void Type(const QString& text, std::uint64_t msApart) {
        for (const QChar c : text) {
            nowMs_ += msApart;
            const bool shifted = c.isUpper();
            if (shifted) {
                Send(QEvent::KeyPress, Qt::Key_Shift, Qt::ShiftModifier, {});
            }
            const auto key = static_cast<Qt::Key>(c.toUpper().unicode());
            const Qt::KeyboardModifiers held = shifted ? Qt::ShiftModifier : Qt::NoModifier;
            Send(QEvent::KeyPress, key, held, QString(c));
            Send(QEvent::KeyRelease, key, held, QString(c));
            if (shifted) {
                Send(QEvent::KeyRelease, Qt::Key_Shift, Qt::NoModifier, {});
            }
        }
    }
    void Enter(std::uint64_t msAfter) {
        nowMs_ += msAfter;
        Send(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier, QStringLiteral("\r"));
        Send(QEvent::KeyRelease, Qt::Key_Return, Qt::NoModifier, QStringLiteral("\r"));
    }
    void Pause(std::uint64_t ms) { nowMs_ += ms; }
    std::uint64_t NowMs() const { return nowMs_; }

  private:
    void Send(QEvent::Type type, int key, Qt::KeyboardModifiers held, const QString& text) {
        QKeyEvent event(type, key, held, text);
        event.setTimestamp(nowMs_);
        QWidget* to = target_.window()->focusWidget() ? target_.window()->focusWidget() : &target_;
        QApplication::sendEvent(to, &event);
    }

    QWidget& target_;
    std::uint64_t nowMs_;
};

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
            QVERIFY(rig.RunGoing());
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

    // A person types into a description edit, pauses, and then scans: the
    // scan is taken out whole from its first key, whatever was typed before,
    // and the edit keeps exactly what the person typed. Scanners type at 5 to
    // 20 ms a key; people pause between 0.3 and 2 s before they reach for one.
    void AScanAfterTypingLeavesTheTypedTextAndTakesItsFirstKey() {
        WindowRig rig(Described());
        QLineEdit* serial = SerialOf(rig);
        std::uint64_t startMs = 1'000'000;
        int scans = 0;
        for (int id : kDescriptionEdits) {
            auto* edit = rig.Control<QLineEdit>(id);
            for (std::uint64_t keyMs : {5, 8, 20}) {
                for (std::uint64_t pauseMs : {300, 1000, 2000}) {
                    const QString before = edit->text();
                    edit->setFocus(Qt::MouseFocusReason);
                    edit->end(false);
                    const QString scanned = QStringLiteral("SN-%1").arg(1001 + scans++);
                    StampedKeys keys(*edit, startMs);
                    keys.Type(QStringLiteral("X1a"), 180);
                    keys.Pause(pauseMs);
                    keys.Type(scanned, keyMs);
                    keys.Enter(keyMs);
                    startMs = keys.NowMs() + 10'000;
                    const QString context = QStringLiteral("%1 at %2 ms a key after %3 ms")
                                                .arg(edit->objectName())
                                                .arg(keyMs)
                                                .arg(pauseMs);
                    QVERIFY2(edit->text() == before + QStringLiteral("X1a"),
                             qPrintable(context + ": " + edit->text()));
                    QVERIFY2(serial->text() == scanned,
                             qPrintable(context + ": " + serial->text()));
                    QCOMPARE(rig.window->focusWidget(), serial);
                    edit->setText(before);
                }
            }
        }
    }

    // The records remember a unit across a restart of the window: its
    // attempts and the last verdict are asked about from them, and a unit that
    // already passed is asked about too.
    void ARetestIsAskedFromTheRecordsAfterARestart() {
        QTemporaryDir records;
        const RecordingOptions recording = RecordInto(records);
        const auto limits = [&](const char* name, const char* text) {
            const std::filesystem::path file = records.filePath(name).toStdString();
            std::ofstream(file, std::ios::binary) << text;
            return file;
        };
        const auto failing = limits("fail.csv", "measurement,min,max\nRepetitionsFailed,,0\n");
        const auto passing = limits("pass.csv", "measurement,min,max\nRepetitionsFailed,,2\n");
        {
            WindowRig first({}, {}, {}, true, {}, recording);
            first.LoadPlan(kQuickPlan);
            for (const auto& judgedBy : {failing, passing}) {
                QVERIFY(first.window->LoadLimitsFrom(judgedBy));
                first.replies.push_back(Answer::Yes);
                Scan(first, QStringLiteral("SN-1001"));
                first.Press(IDC_START_STOP);
                QTRY_VERIFY_WITH_TIMEOUT(first.RunOver() && first.session.Verdicts().runOver,
                                         kPatienceMs);
            }
            QCOMPARE(first.questions.size(), std::size_t{1});
            QVERIFY(first.session.StoreRecords().empty());
        }
        WindowRig again({}, {}, {}, true, {}, recording);
        again.LoadPlan(kQuickPlan);
        Scan(again, QStringLiteral("SN-1001"));
        again.replies.push_back(Answer::No);
        again.Press(IDC_START_STOP);
        QVERIFY(!again.RunGoing());
        QCOMPARE(again.questions.size(), std::size_t{1});
        const QString asked = QString::fromStdString(again.questions[0].text);
        const QRegularExpression expected(QStringLiteral(
            "^SN-1001: tested twice, last PASS at \\d\\d:\\d\\d UTC([+-]\\d+(:\\d\\d)?)? "
            "on \\S+\\. Test it again as attempt 3\\?$"));
        QVERIFY2(expected.match(asked).hasMatch(), qPrintable(asked));
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
        QVERIFY(!rig.RunGoing());
        rig.replies.push_back(Answer::Yes);
        rig.Press(IDC_START_STOP);
        QVERIFY(rig.RunGoing());
        QTRY_VERIFY_WITH_TIMEOUT(rig.RunOver(), kPatienceMs);
        rig.replies.push_back(Answer::No);
        rig.Press(IDC_START_STOP);  // both runs counted
        QVERIFY(!rig.RunGoing());
        QCOMPARE(rig.questions.size(), std::size_t{3});
        QCOMPARE(rig.questions[2].text,
                 std::string("SN-77 has already been tested at this station (2 runs). "
                             "Test it again as attempt 3?"));
        QVERIFY(rig.messages.empty());

        QTemporaryDir dir;
        const std::filesystem::path strictLine = dir.filePath("Orvalt.reg").toStdString();
        {
            RegistryStore store(strictLine);
            QVERIFY(SaveSerialRequired(store, true).Ok());
        }
        WindowRig strict(SessionOptions{StationOptions{true, false, {}}, strictLine});
        strict.LoadPlan(kQuickPlan);
        SerialOf(strict)->clear();
        strict.Press(IDC_START_STOP);
        QVERIFY(!strict.RunGoing());
        QCOMPARE(strict.messages, std::vector<std::string>{kSerialRequired});
        QCOMPARE(strict.window->focusWidget(), SerialOf(strict));
    }
};

int RunShiftTests(int argc, char** argv) {
    ShiftTest test;
    return QTest::qExec(&test, argc, argv);
}

}  // namespace orvalt::testing

#include "ShiftTest.moc"
