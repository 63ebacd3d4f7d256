#pragma once
// The window's part in run records: the "Serial Number", "Operator" and "Lot"
// edits in a band below the other controls (none of them moves; the window
// grows), the results database's health beside them, and "Open Report of Last
// Run" for the context menu. The operator and the lot stay from unit to unit
// and are never kept across a restart: the next shift names itself.

#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QTimer>
#include <functional>
#include <memory>
#include <string>

#include "station/StationSession.h"
#include "ui/DialogUnits.h"

namespace orvalt {

// The band's height in dialog units, added below the drawn window.
constexpr int kRecordBandDu = 18;

// When the desktop has no browser to show the report it was written for.
inline std::string ReportNotShownText(const std::string& file) {
    return "The report of the last run was written to " + file +
           ", but no browser could be opened to show it. Open the file with a browser.";
}

class RecordControls {
  public:
    // `bandTopDu`: where the band begins, in dialog units from the top.
    RecordControls(QWidget& window, StationSession& session, int bandTopDu);

    // Places the band for a window grown by `growth` from its drawn size.
    void Place(DialogBaseUnits base, const QSize& growth);
    QAction& ReportAction() { return reportAction_; }
    QLineEdit& SerialEdit() { return serialEdit_; }
    QLineEdit& OperatorEdit() { return operatorEdit_; }
    QLineEdit& LotEdit() { return lotEdit_; }
    // The keyboard to the Serial Number, its number selected: the next scan
    // replaces it.
    void FocusSerial();
    // Shows why a report could not be written or shown; the window's message box.
    std::function<void(const std::string&)> showProblem;
    // The desktop's browser; false when none could be started. Replaceable by tests.
    std::function<bool(const QString& file)> openInBrowser;
    QString HealthText() const { return health_.text(); }

  private:
    // The three edits as the session's unit on test.
    void TellUnitOnTest();
    void OpenReportOfLastRun();
    void ShowProblem(const std::string& text);
    void ShowHealth();

    StationSession& session_;
    int bandTopDu_;
    std::unique_ptr<QObject> selectAllOnFocus_;
    // Made in the tab order: the serial number, then who, then the lot.
    QLabel serialLabel_;
    QLineEdit serialEdit_;
    QLabel operatorLabel_;
    QLineEdit operatorEdit_;
    QLabel lotLabel_;
    QLineEdit lotEdit_;
    QLabel health_;
    QAction reportAction_;
    QTimer healthTimer_;
};

}  // namespace orvalt
