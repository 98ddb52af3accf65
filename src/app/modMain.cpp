#include "app/modMain.h"

#include "app/frmXCopy.h"
#include "app/outside_close.h"
#include "companions/real_companions.h"
#include "version.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QLockFile>
#include <QStandardPaths>

namespace xcpy {

void startMainWindow(frmXCopy& window, const QStringList& arguments) {
    window.Form_Load(arguments.mid(1).join(QLatin1Char(' ')));
    window.setWindowTitle(QString::fromUtf8(version::kComment));
    window.show();
}

int runProgram(QApplication& app) {
    const QString baseName = QFileInfo(QCoreApplication::applicationFilePath()).completeBaseName();
    QString lockFolder = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (lockFolder.isEmpty())
        lockFolder = QDir::tempPath();
    QLockFile instanceLock(QDir(lockFolder).filePath(baseName + QStringLiteral(".lock")));
    if (!instanceLock.tryLock(0))
        return 0; // another instance runs: no window, no message, no settings

    RealCompanions companions;
    frmXCopy window(companions);
    const OutsideCloseRequests outsideCloses(window);
    startMainWindow(window, QCoreApplication::arguments());
    return app.exec();
}

} // namespace xcpy
