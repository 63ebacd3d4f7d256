#pragma once
// The window's part in run records: the "Serial Number" edit in a band below
// the other controls (none of them moves; the window grows), the results
// database's health beside it, and "Open Report of Last Run" for the context
// menu.

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

class RecordControls {
  public:
    // `bandTopDu`: where the band begins, in dialog units from the top.
    RecordControls(QWidget& window, StationSession& session, int bandTopDu);

    // Places the band for a window grown by `growth` from its drawn size.
    void Place(DialogBaseUnits base, const QSize& growth);
    QAction& ReportAction() { return reportAction_; }
    // Shows why a report could not be written; the window's message box.
    std::function<void(const std::string&)> showProblem;

  private:
    void OpenReportOfLastRun();
    void ShowHealth();

    StationSession& session_;
    int bandTopDu_;
    std::unique_ptr<QObject> selectAllOnFocus_;
    QLabel serialLabel_;
    QLineEdit serialEdit_;
    QLabel health_;
    QAction reportAction_;
    QTimer healthTimer_;
};

}  // namespace orvalt
