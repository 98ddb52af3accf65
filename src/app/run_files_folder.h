#pragma once

#include <QString>

namespace xcpy {

// The folder for X.log and x.bat: the program's own folder, or the user's data folder where
// the program's folder cannot be written (an installed copy).
QString chooseRunFilesFolder(const QString& programFolder, const QString& userDataFolder);

} // namespace xcpy
