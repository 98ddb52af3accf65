#include "app/run_files_folder.h"

#include <QDir>
#include <QFile>
#include <unistd.h>

namespace xcpy {

QString chooseRunFilesFolder(const QString& programFolder, const QString& userDataFolder) {
    if (::access(QFile::encodeName(programFolder).constData(), W_OK | X_OK) == 0)
        return QDir::toNativeSeparators(programFolder);
    QDir().mkpath(userDataFolder);
    return QDir::toNativeSeparators(userDataFolder);
}

} // namespace xcpy
