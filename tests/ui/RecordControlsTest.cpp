// The window's part in run records: the Serial Number edit a barcode scanner
// types into, and the report of the last run opened in the browser.

#include <QAction>
#include <QDesktopServices>
#include <QLineEdit>
#include <QTest>
#include <QUrl>
#include <fstream>

#include "ui/MainWindowControls.h"
#include "ui/UiTests.h"
#include "ui/WindowRig.h"

namespace orvalt::testing {

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
        QVERIFY(!rig.window->Runs().Running());
        QCOMPARE(rig.session.UnitSerial(), std::string("SN-4711"));

        serial->clear();
        QTest::keyClicks(serial, QString(130, QLatin1Char('9')));
        QCOMPARE(serial->text().size(), 127);
        QCOMPARE(rig.session.UnitSerial(), std::string(127, '9'));
    }

    void TheLastRunsReportOpensInTheBrowser() {
        QTemporaryDir records;
        RecordingOptions recording;
        recording.on = true;
        recording.database = records.filePath(QStringLiteral("results.sqlite")).toStdString();
        recording.spool = records.filePath(QStringLiteral("spool.sqlite")).toStdString();
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
};

int RunRecordControlsTests(int argc, char** argv) {
    RecordControlsTest test;
    return QTest::qExec(&test, argc, argv);
}

}  // namespace orvalt::testing

#include "RecordControlsTest.moc"
