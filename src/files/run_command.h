#pragma once

#include <QString>

namespace xcpy {

// The command interpreter: the value of COMSPEC, or xcpycmd in the program's folder where it
// is unset.
QString interpreterPath(const QString& comspec, const QString& programFolder);

// The interpreter, " /c " and the run file; a part that holds a blank is enclosed in double
// quotes so that it is read whole.
QString runCommandLine(const QString& interpreter, const QString& runFile);

} // namespace xcpy
