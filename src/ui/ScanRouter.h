#pragma once
// Keeps a shift's barcode scans on the Serial Number edit, wherever the focus
// happens to be: text typed onto a control that takes none (a button, a list,
// a check box, a drop-down list) goes to the edit instead, which first selects
// its old number so that the scan replaces it; a scan that landed in another
// edit is taken back out of it once its Enter shows it was one, and put in the
// Serial Number. A person's typing in an edit stays where it was typed, and so
// does a scan into an edit that takes scans of its own (the operator's badge,
// the lot's label).

#include <QElapsedTimer>
#include <QObject>
#include <QPointer>
#include <QString>
#include <vector>

#include "station/ScanRecognizer.h"

class QKeyEvent;
class QLineEdit;
class QWidget;

namespace orvalt {

class ScanRouter final : public QObject {
  public:
    // Watches every key aimed at `window` or a control on it; the window and
    // the edits outlive it. `ownScans`: the edits whose scans stay in them.
    ScanRouter(QWidget& window, QLineEdit& serial, std::vector<QLineEdit*> ownScans = {});
    ~ScanRouter() override;
    ScanRouter(const ScanRouter&) = delete;
    ScanRouter& operator=(const ScanRouter&) = delete;

    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    bool Route(QWidget& target, QKeyEvent& key);
    bool TakesScans(const QWidget& target) const;
    void IntoOtherEdit(QLineEdit& edit, const QString& text);
    void EnterInOtherEdit(QLineEdit& edit);
    bool IntoSerial(QKeyEvent& key);
    std::uint64_t KeyMs(const QKeyEvent& key) const;

    QWidget& window_;
    QLineEdit& serial_;
    std::vector<QLineEdit*> ownScans_;
    ScanRecognizer recognizer_;
    QElapsedTimer clock_;
    std::uint64_t keyMs_ = 0;  // the time of the key being routed
    // The edit a burst of keys went into, and what it held before them.
    QPointer<QLineEdit> burstEdit_;
    QString beforeBurst_;
};

}  // namespace orvalt
