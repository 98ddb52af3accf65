#include "files/run_command.h"

#include <QDir>

namespace xcpy {
namespace {

QString quotedIfBlank(const QString& part) {
    if (!part.contains(QLatin1Char(' ')) || part.startsWith(QLatin1Char('"')))
        return part;
    return QLatin1Char('"') + part + QLatin1Char('"');
}

} // namespace

QString interpreterPath(const QString& comspec, const QString& programFolder) {
    if (!comspec.isEmpty())
        return comspec;
    return QDir::toNativeSeparators(programFolder + QStringLiteral("/xcpycmd"));
}

QString runCommandLine(const QString& interpreter, const QString& runFile) {
    return quotedIfBlank(interpreter) + QStringLiteral(" /c ") + quotedIfBlank(runFile);
}

} // namespace xcpy
