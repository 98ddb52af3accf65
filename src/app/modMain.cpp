#include "app/modMain.h"

#include "app/frmXCopy.h"
#include "app/instance_lock.h"
#include "app/outside_close.h"
#include "companions/real_companions.h"
#include "version.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

#include <unistd.h>

namespace xcpy {

void startMainWindow(frmXCopy& window, const QStringList& arguments) {
    window.Form_Load(arguments.mid(1).join(QLatin1Char(' ')));
    window.setWindowTitle(QString::fromUtf8(version::kComment));
    window.show();
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
    const OutsideCloseRequests outsideCloses(window);
    startMainWindow(window, QCoreApplication::arguments());
    return app.exec();
}

} // namespace xcpy
