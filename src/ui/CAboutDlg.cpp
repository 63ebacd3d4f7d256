#include "ui/CAboutDlg.h"

#include "ui/AppIdentity.h"
#include "ui/DialogUnits.h"

namespace orvalt {

namespace {
constexpr QSize kAboutSizeDu{170, 62};
constexpr QPoint kIconDu{14, 14};
constexpr int kIconPx = 32;
constexpr QRect kVersionDu{42, 14, 114, 8};
constexpr QRect kOkDu{113, 41, 50, 14};
}  // namespace

CAboutDlg::CAboutDlg(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("About Orvalt"));
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowCloseButtonHint);
    QFont dialogFont = font();
    dialogFont.setPointSize(8);
    setFont(dialogFont);
    const DialogBaseUnits base = BaseUnitsOf(dialogFont);
    setFixedSize(DialogUnitsToPixels(kAboutSizeDu, base));

    icon_.setPixmap(MainIcon().pixmap(kIconPx, kIconPx));
    icon_.setGeometry(DialogUnitsToPixelsX(kIconDu.x(), base),
                      DialogUnitsToPixelsY(kIconDu.y(), base), kIconPx, kIconPx);
    version_.setText(QString::fromLatin1(kVersionText));
    version_.setGeometry(DialogUnitsToPixels(kVersionDu, base));
    ok_.setText(QStringLiteral("OK"));
    ok_.setGeometry(DialogUnitsToPixels(kOkDu, base));
    ok_.setDefault(true);
    connect(&ok_, &QPushButton::clicked, this, &QDialog::accept);
}

}  // namespace orvalt
