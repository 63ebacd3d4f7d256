#include "ui/AppIdentity.h"

#include <QApplication>
#include <clocale>

// The icons are compiled into the window's static library, where nothing else
// refers to them: without this call the linker leaves them out. The macro
// names a global function, so it is called outside the namespace.
static void LoadIconResources() {
    Q_INIT_RESOURCE(orvalt);
}

namespace orvalt {

QIcon MainIcon() {
    LoadIconResources();
    QIcon icon;
    for (const char* size : {"32", "64", "256"}) {
        icon.addFile(QStringLiteral(":/orvalt/orvalt-%1.png").arg(QLatin1String(size)));
    }
    return icon;
}

QString MainWindowTitle(const std::string& fixture) {
    const QString name = QString::fromLatin1(kProgramName);
    return fixture.empty() ? name : name + QStringLiteral(" - ") + QString::fromStdString(fixture);
}

void PrepareApplication() {
    std::setlocale(LC_NUMERIC, "C");
    QApplication::setApplicationName(QString::fromLatin1(kProgramName));
    QApplication::setApplicationVersion(QString::fromLatin1(kVersionNumber));
    QApplication::setDesktopFileName(QStringLiteral("orvalt"));
    QApplication::setWindowIcon(MainIcon());
}

}  // namespace orvalt
