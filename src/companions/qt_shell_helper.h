#pragma once

#include "companions/shell_helper.h"

#include <QObject>

namespace xcpy {

class ConsoleWindow;

// Runs commands in a console window of their own and picks folders with the system dialog.
//
// Start failures throw ComponentError number 53 when the program does not exist and 70 when
// it exists but cannot be run (no permission, a folder, not an executable file).
class QtShellHelper : public QObject, public ShellHelper {
    Q_OBJECT
public:
    qint32 RunAndWait(const QString& commandLine, qint32 windowStyle, bool wait) override;
    QString BrowseFolder(QWidget* owner, const QString& prompt) override;

signals:
    // The command has started and its console is up; the console lives until RunAndWait
    // returns.
    void consoleShown(xcpy::ConsoleWindow* console);
};

} // namespace xcpy
