#pragma once

#include "companions/desktop_notifier.h"
#include "companions/shell_helper.h"

#include <QObject>
#include <QPointer>

#include <memory>

namespace xcpy {

class ConsoleWindow;

// Runs commands in a console window of their own and picks folders with the system dialog.
// The command gets a progress channel, a socket named by XCPYCMD_PROGRESS_FD, and writes its
// normal and error output into one pipe, so the console keeps their order. The console of a
// finished command stays up with its result until the user closes it or the next run starts.
//
// When the copy's last XCOPY line has ended and the user is looking at another window, a
// desktop notification gives the result; clicking it brings the console up.
//
// Start failures throw ComponentError number 53 when the program does not exist and 70 when
// it exists but cannot be run (no permission, a folder, not an executable file).
class QtShellHelper : public QObject, public ShellHelper {
    Q_OBJECT
public:
    // Without a notifier, the desktop's notification service is used.
    explicit QtShellHelper(std::unique_ptr<DesktopNotifier> notifier = nullptr);
    ~QtShellHelper() override;

    qint32 RunAndWait(const QString& commandLine, qint32 windowStyle, bool wait) override;
    QString LastRunSummary() const override { return lastSummary_; }
    QString BrowseFolder(QWidget* owner, const QString& prompt) override;

signals:
    // The command has started and its console is up; the console lives until the next run.
    void consoleShown(xcpy::ConsoleWindow* console);

private:
    void notifyCopyEnded(const QPointer<ConsoleWindow>& console, const QString& result,
                         const QString& counts);

    std::unique_ptr<DesktopNotifier> notifier_;
    std::unique_ptr<ConsoleWindow> lastConsole_;
    QString lastSummary_;
};

} // namespace xcpy
