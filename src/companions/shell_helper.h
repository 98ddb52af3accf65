#pragma once

#include <QString>

class QWidget;

namespace xcpy {

// Folder selection and running a command.
class ShellHelper {
public:
    virtual ~ShellHelper() = default;

    // Runs the command line and returns its exit status once it has ended; the event loop
    // keeps turning meanwhile. Throws ComponentError when the command cannot be started.
    virtual qint32 RunAndWait(const QString& commandLine, qint32 windowStyle, bool wait) = 0;
    // The result of the last command run and waited for, in words with its exit status, the
    // files and bytes copied where the command told them, and the time taken.
    virtual QString LastRunSummary() const = 0;
    // The chosen folder's path, or empty text when the user cancelled.
    virtual QString BrowseFolder(QWidget* owner, const QString& prompt) = 0;
};

} // namespace xcpy
