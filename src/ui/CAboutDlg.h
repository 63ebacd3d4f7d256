#pragma once
// The About box: the icon, the version line and an OK button.

#include <QDialog>
#include <QLabel>
#include <QPushButton>

namespace orvalt {

class CAboutDlg final : public QDialog {
  public:
    explicit CAboutDlg(QWidget* parent = nullptr);

  private:
    QLabel icon_{this};
    QLabel version_{this};
    QPushButton ok_{this};
};

}  // namespace orvalt
