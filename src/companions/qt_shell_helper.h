#pragma once

#include "companions/shell_helper.h"

#include <QObject>

#include <memory>

namespace xcpy {

class ConsoleWindow;

// Runs commands in a console window of their own and picks folders with the system dialog.
// The command gets a progress channel, a socket named by XCPYCMD_PROGRESS_FD, and writes its
// normal and error output into one pipe, so the console keeps their order. The console of a
// finished command stays up with its result until the user closes it or the next run starts.
//
// Start failures throw ComponentError number 53 when the program does not exist and 70 when
// it exists but cannot be run (no permission, a folder, not an executable file).
class QtShellHelper : public QObject, public ShellHelper {
    Q_OBJECT
public:
    QtShellHelper();
    ~QtShellHelper() override;

    qint32 RunAndWait(const QString& commandLine, qint32 windowStyle, bool wait) override;
    QString LastRunSummary() const override { return lastSummary_; }
    QString BrowseFolder(QWidget* owner, const QString& prompt) override;

signals:
    // The command has started and its console is up; the console lives until the next run.
    void consoleShown(xcpy::ConsoleWindow* console);

private:
    std::unique_ptr<ConsoleWindow> lastConsole_;
    QString lastSummary_;
};

} // namespace xcpy
