// The window's part in run records: the Serial Number edit a barcode scanner
// types into, and the report of the last run opened in the browser.

#include <QAction>
#include <QDesktopServices>
#include <QLabel>
#include <QLineEdit>
#include <QTest>
#include <QUrl>
#include <fstream>

#include "platform/HostIdentity.h"
#include "reading/RunLoad.h"
#include "recording/RecordStore.h"
#include "records/SqlConnection.h"
#include "support/RecordsKit.h"
#include "ui/MainWindowControls.h"
#include "ui/UiTests.h"
#include "ui/WindowRig.h"

namespace orvalt::testing {

namespace {

// Where Tab goes from `widget`: labels and the like are in the chain too.
QWidget* NextTabStop(QWidget* widget) {
    QWidget* next = widget->nextInFocusChain();
    while (next != widget && !(next->focusPolicy() & Qt::TabFocus)) {
        next = next->nextInFocusChain();
    }
    return next;
}

// The run that ended last in the records, once the session stored its own.
LoadedRun LastRecordedRun(StationSession& session, const RecordingOptions& recording) {
    session.StoreRecords();
    auto opened = OpenSqlConnection(recording.database);
    if (!opened) {
        return {};
    }
    const auto uuid = LastRunUuid(**opened);
    if (!uuid) {
        return {};
    }
    const auto loaded = LoadRun(**opened, *uuid);
    return loaded && loaded->has_value() ? **loaded : LoadedRun{};
}

}  // namespace

// Takes the place of the desktop's browser.
class BrowserStandIn : public QObject {
    Q_OBJECT

  public:
    std::vector<QUrl> opened;

  public slots:
    void Open(const QUrl& url) { opened.push_back(url); }
};

class RecordControlsTest : public QObject {
    Q_OBJECT

  private slots:
    // A scanner types the number and sends Enter: the number is the unit's,
    // nothing starts or closes, and no drawn control has moved for it.
    void AScannedSerialIsTakenAndEnterDoesNothing() {
        WindowRig rig;
        auto* serial = rig.window->findChild<QLineEdit*>(QStringLiteral("serialNumber"));
        QVERIFY(serial != nullptr);
        for (const ControlSpec& drawn : MainWindowControls()) {
            if (drawn.id != kNoControlId) {
                QVERIFY(rig.Control(drawn.id)->geometry().bottom() < serial->geometry().top());
            }
        }
        rig.LoadPlan(kQuickPlan);
        serial->setFocus();
        QTest::keyClicks(serial, QStringLiteral("SN-4711"));
        QTest::keyClick(serial, Qt::Key_Return);
        QTest::keyClick(serial, Qt::Key_Enter);
        QVERIFY(rig.window->isVisible());
        QVERIFY(!rig.RunGoing());
        QCOMPARE(rig.session.Status().unitSerial, std::string("SN-4711"));

        serial->clear();
        QTest::keyClicks(serial, QString(130, QLatin1Char('9')));
        QCOMPARE(serial->text().size(), 127);
        QCOMPARE(rig.session.Status().unitSerial, std::string(127, '9'));
    }

    // The operator and the lot, typed or scanned, reach every run's record
    // and stay for the next unit; a scan into either stays there. Tab goes
    // Serial Number, Operator, Lot. Nothing of them outlives the window's
    // session: a restart on the same settings begins with both empty.
    void TheOperatorAndTheLotReachTheRecordAndStayForTheNextUnit() {
        QTemporaryDir records;
        const RecordingOptions recording = RecordInto(records);
        const std::filesystem::path settingsFile =
            records.filePath(QStringLiteral("settings.reg")).toStdString();
        SessionOptions options{StationOptions{true, false, {}, {}, {}}, settingsFile, recording};
        std::vector<LoadedRun> runs;
        {
            WindowRig rig(options);
            auto* serial = rig.window->findChild<QLineEdit*>(QStringLiteral("serialNumber"));
            auto* who = rig.window->findChild<QLineEdit*>(QStringLiteral("operatorName"));
            auto* lot = rig.window->findChild<QLineEdit*>(QStringLiteral("lot"));
            QVERIFY(serial && who && lot);
            QCOMPARE(NextTabStop(serial), static_cast<QWidget*>(who));
            QCOMPARE(NextTabStop(who), static_cast<QWidget*>(lot));
            QVERIFY(who->geometry().top() >= serial->geometry().top());
            QVERIFY(!who->geometry().intersects(serial->geometry()));
            QVERIFY(!lot->geometry().intersects(who->geometry()));
            for (QLabel* label : rig.window->findChildren<QLabel*>()) {
                if (label->text() == "Operator:" || label->text() == "Lot:") {
                    QVERIFY2(label->sizeHint().width() <= label->width(),
                             qPrintable(label->text()));  // not cut off
                    QVERIFY(label->geometry().right() <
                            (label->text() == "Lot:" ? lot : who)->geometry().left());
                }
            }

            rig.LoadPlan(kQuickPlan);
            who->setFocus();
            QTest::keyClicks(who, QStringLiteral("Mia Ortiz"));
            lot->setFocus();
            QTest::keyClicks(lot, QStringLiteral("LOT-7"));  // a scanner's burst
            QTest::keyClick(lot, Qt::Key_Return);
            QCOMPARE(lot->text(), QStringLiteral("LOT-7"));
            QCOMPARE(serial->text(), QString());
            for (const char* unit : {"SN-1", "SN-2"}) {
                serial->setText(QString::fromLatin1(unit));
                rig.Press(IDC_START_STOP);
                QTRY_VERIFY_WITH_TIMEOUT(rig.RunOver(), kPatienceMs);
                QCOMPARE(who->text(), QStringLiteral("Mia Ortiz"));
                QCOMPARE(lot->text(), QStringLiteral("LOT-7"));
                runs.push_back(LastRecordedRun(rig.session, recording));
            }
            QVERIFY(rig.session.SaveSettings().Ok());
        }
        QCOMPARE(runs.size(), std::size_t{2});
        QCOMPARE(runs[0].start.unit.serial, std::string("SN-1"));
        QCOMPARE(runs[1].start.unit.serial, std::string("SN-2"));
        for (const LoadedRun& run : runs) {
            QCOMPARE(run.start.operatorName, std::string("Mia Ortiz"));
            QCOMPARE(run.start.login, OperatorLoginName());
            QCOMPARE(run.start.lot, std::string("LOT-7"));
        }
        std::ifstream saved(settingsFile, std::ios::binary);
        const std::string savedText((std::istreambuf_iterator<char>(saved)), {});
        QVERIFY(!savedText.empty());
        QVERIFY(savedText.find("Mia") == std::string::npos);
        QVERIFY(savedText.find("LOT-7") == std::string::npos);
        WindowRig restarted(options);
        QCOMPARE(restarted.window->findChild<QLineEdit*>(QStringLiteral("operatorName"))->text(),
                 QString());
        QCOMPARE(restarted.window->findChild<QLineEdit*>(QStringLiteral("lot"))->text(), QString());
        // The next unit's record: nobody typed, so the login name tests it.
        restarted.LoadPlan(kQuickPlan);
        restarted.window->findChild<QLineEdit*>(QStringLiteral("serialNumber"))
            ->setText(QStringLiteral("SN-3"));
        restarted.Press(IDC_START_STOP);
        QTRY_VERIFY_WITH_TIMEOUT(restarted.RunOver(), kPatienceMs);
        const LoadedRun next = LastRecordedRun(restarted.session, recording);
        QCOMPARE(next.start.unit.serial, std::string("SN-3"));
        QCOMPARE(next.start.operatorName, OperatorLoginName());
        QCOMPARE(next.start.lot, std::string());
    }

    void TheLastRunsReportOpensInTheBrowser() {
        QTemporaryDir records;
        const RecordingOptions recording = RecordInto(records);
        WindowRig rig({}, {}, {}, true, {}, recording);
        const QByteArray dataHome = qgetenv("XDG_DATA_HOME");
        qputenv("XDG_DATA_HOME", records.path().toLocal8Bit());
        BrowserStandIn browser;
        QDesktopServices::setUrlHandler(QStringLiteral("file"), &browser, "Open");
        QAction* report = nullptr;
        for (QAction* action : rig.window->findChildren<QAction*>()) {
            report = action->text() == "Open Report of Last Run" ? action : report;
        }
        QVERIFY(report != nullptr && report->isEnabled());

        report->trigger();  // nothing recorded yet
        QCOMPARE(rig.messages, std::vector<std::string>{"No run has been recorded yet."});
        rig.LoadPlan(kQuickPlan);
        rig.Press(IDC_START_STOP);
        QTRY_VERIFY_WITH_TIMEOUT(rig.RunOver(), kPatienceMs);
        report->trigger();
        QDesktopServices::unsetUrlHandler(QStringLiteral("file"));

        QCOMPARE(browser.opened.size(), std::size_t{1});
        const std::string file = browser.opened.front().toLocalFile().toStdString();
        std::ifstream in(file, std::ios::binary);
        const std::string html((std::istreambuf_iterator<char>(in)), {});
        QVERIFY(html.find("<svg") != std::string::npos);
        QVERIFY(html.find("Quick") != std::string::npos);
        // Kept with the station's data, not in the temporary folder, and the
        // window says where.
        QCOMPARE(std::filesystem::path(file).parent_path(), StationRecording::ReportFolder());
        QVERIFY(rig.window->Records().HealthText().contains(QString::fromStdString(file)));

        // No browser: the operator is told where the report is all the same.
        rig.window->Records().openInBrowser = [](const QString&) { return false; };
        report->trigger();
        QCOMPARE(rig.messages.size(), std::size_t{2});
        QCOMPARE(rig.messages.back(), ReportNotShownText(file));
        QVERIFY(file.starts_with(records.path().toStdString()));
        dataHome.isNull() ? qunsetenv("XDG_DATA_HOME") : qputenv("XDG_DATA_HOME", dataHome);
    }

    // A unit that completes eight in a row below its model's centre: the
    // alarm follows the strip's own text once the run is over and its check
    // done, and goes at the next Start.
    void ADriftAlarmFollowsTheStatusStripUntilTheNextStart() {
        QTemporaryDir records;
        const RecordingOptions recording = RecordInto(records);
        {
            // The quick plan's unit fails 2 repetitions: a centre of 5 (the
            // last of its units above), then seven units at 4.
            std::vector<double> history;
            for (int i = 0; i < 25; ++i) {
                history.push_back(i % 2 == 0 ? 6.0 : 4.0);
            }
            history.insert(history.end(), 7, 4.0);
            auto db = OpenRecordDatabase(recording.database);
            QVERIFY(db.Ok());
            QVERIFY(test::RecordFigureHistory(**db, "X100", 0, "RepetitionsFailed", history));
        }
        WindowRig rig({}, {}, {}, true, {}, recording);
        rig.Control<QLineEdit>(IDC_MODEL)->setText(QStringLiteral("X100"));
        rig.LoadPlan(kQuickPlan);
        rig.Press(IDC_START_STOP);
        const QString alarm = QStringLiteral(
            "Drift: RepetitionsFailed on X100: 8 units in a row below the centre (rule 4)");
        QTRY_VERIFY_WITH_TIMEOUT(rig.window->RunStatusText().endsWith(
                                     QStringLiteral("Unit power switched off   ") + alarm),
                                 kPatienceMs);
        QVERIFY(rig.window->RunStatusText().startsWith(QStringLiteral("Run complete   ")));
        QCOMPARE(rig.window->findChild<QLabel*>(QStringLiteral("runStatus"))->toolTip(), alarm);
        QCOMPARE(LastRecordedRun(rig.session, recording).alarms.size(), std::size_t{1});

        rig.Press(IDC_START_STOP);
        QVERIFY(!rig.window->RunStatusText().contains(QStringLiteral("Drift")));
        QTRY_VERIFY_WITH_TIMEOUT(rig.RunOver(), kPatienceMs);
    }
};

int RunRecordControlsTests(int argc, char** argv) {
    RecordControlsTest test;
    return QTest::qExec(&test, argc, argv);
}

}  // namespace orvalt::testing

#include "RecordControlsTest.moc"
