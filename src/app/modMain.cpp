#include "app/modMain.h"

#include "app/frmXCopy.h"
#include "app/instance_lock.h"
#include "companions/real_companions.h"
#include "version.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

#include <unistd.h>

namespace xcpy {

QString commandLineText(const QStringList& arguments) {
    return arguments.mid(1).join(QLatin1Char(' '));
}

int runProgram(QApplication& app) {
    const QString baseName = QFileInfo(QCoreApplication::applicationFilePath()).completeBaseName();
    const InstanceLock instanceLock(
        instanceLockPath(QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation),
                         QDir::tempPath(), baseName, ::geteuid()));
    if (instanceLock.heldByAnotherInstance())
        return 0; // another instance runs: no window, no message, no settings

    RealCompanions companions;
    frmXCopy window(companions);
    window.Form_Load(commandLineText(QCoreApplication::arguments()));
    window.setWindowTitle(QString::fromUtf8(version::kComment));
    window.show();
    return app.exec();
}

} // namespace xcpy
