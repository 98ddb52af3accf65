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

QString commandLineText(const QStringList& arguments) {
    return arguments.mid(1).join(QLatin1Char(' '));
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
    window.Form_Load(commandLineText(QCoreApplication::arguments()));
    window.setWindowTitle(QString::fromUtf8(version::kComment));
    window.show();
    return app.exec();
}

} // namespace xcpy
