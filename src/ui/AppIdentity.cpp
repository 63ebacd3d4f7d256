#include "ui/AppIdentity.h"

#include <QApplication>
#include <clocale>

namespace orvalt {

QIcon MainIcon() {
    QIcon icon;
    for (const char* size : {"32", "64", "256"}) {
        icon.addFile(QStringLiteral(":/orvalt/orvalt-%1.png").arg(QLatin1String(size)));
    }
    return icon;
}

void PrepareApplication() {
    std::setlocale(LC_NUMERIC, "C");
    QApplication::setApplicationName(QString::fromLatin1(kProgramName));
    QApplication::setApplicationVersion(QStringLiteral("1.0.61"));
    QApplication::setDesktopFileName(QStringLiteral("orvalt"));
    QApplication::setWindowIcon(MainIcon());
}

}  // namespace orvalt
