#include "companions/qt_shell_helper.h"

#include "companions/component_error.h"
#include "companions/console_window.h"

#include <QDir>
#include <QEventLoop>
#include <QFileDialog>
#include <QFileInfo>
#include <QProcess>

namespace xcpy {

namespace {

constexpr int kErrNotFound = 53;
constexpr int kErrNoAccess = 70;

// The file the system would try to run for `program`, or empty text when there is none.
QString locate(const QString& program) {
    if (program.contains(u'/'))
        return program;
    const QStringList dirs =
        qEnvironmentVariable("PATH").split(QDir::listSeparator(), Qt::SkipEmptyParts);
    for (const QString& dir : dirs) {
        const QString candidate = QDir(dir).filePath(program);
        if (QFileInfo::exists(candidate))
            return candidate;
    }
    return {};
}

[[noreturn]] void throwStartError(const QString& program, const QString& reason) {
    const QString file = locate(program);
    const QFileInfo info(file);
    if (file.isEmpty() || !info.exists())
        throw ComponentError(
            kErrNotFound,
            QStringLiteral("%1 を起動できません: ファイルが見つかりません。").arg(program));
    QString cause;
    if (info.isDir())
        cause = QStringLiteral("フォルダーです。");
    else if (!info.isExecutable())
        cause = QStringLiteral("実行する権限がありません。");
    else if (reason.isEmpty())
        cause = QStringLiteral("実行できないファイルです。");
    else
        cause = QStringLiteral("実行できないファイルです (%1)。").arg(reason);
    throw ComponentError(kErrNoAccess,
                         QStringLiteral("%1 を起動できません: %2").arg(program, cause));
}

// Window styles as the callers number them: 0 hidden, 2/6/7 minimized, 3 maximized,
// 4/8 shown without taking the focus, anything else shown normal and activated.
void showConsole(ConsoleWindow& console, qint32 windowStyle) {
    switch (windowStyle) {
    case 0:
        return;
    case 2:
    case 6:
    case 7:
        console.showMinimized();
        return;
    case 4:
    case 8:
        console.setAttribute(Qt::WA_ShowWithoutActivating);
        console.show();
        return;
    case 3:
        console.showMaximized();
        break;
    default:
        console.show();
        break;
    }
    console.raise();
    console.activateWindow();
}

} // namespace

qint32 QtShellHelper::RunAndWait(const QString& commandLine, qint32 windowStyle, bool wait) {
    QStringList arguments = QProcess::splitCommand(commandLine);
    if (arguments.isEmpty())
        throw ComponentError(kErrNotFound, QStringLiteral("実行するコマンドがありません。"));
    const QString program = arguments.takeFirst();

    if (!wait) {
        if (!QProcess::startDetached(program, arguments))
            throwStartError(program, {});
        return 0;
    }

    // Built before the start so no output is missed, shown only once the command runs.
    ConsoleWindow console(QFileInfo(program).fileName(), commandLine);
    QProcess process;
    QEventLoop loop;
    bool finished = false;
    int stopRequests = 0;

    connect(&process, &QProcess::readyReadStandardOutput, &console, [&] {
        console.appendOutput(process.readAllStandardOutput(), ConsoleWindow::Channel::Output);
    });
    connect(&process, &QProcess::readyReadStandardError, &console, [&] {
        console.appendOutput(process.readAllStandardError(), ConsoleWindow::Channel::Error);
    });
    connect(&process, &QProcess::finished, &loop, [&] {
        finished = true;
        loop.quit();
    });
    connect(&console, &ConsoleWindow::inputTyped, &process, [&](const QByteArray& bytes) {
        if (process.state() == QProcess::Running)
            process.write(bytes);
    });
    connect(&console, &ConsoleWindow::endOfInputRequested, &process,
            [&] { process.closeWriteChannel(); });
    // The interpreter stops cleanly on SIGTERM, so closing the window or Ctrl+C ends the run
    // that way; asking again forces it, for a command that does not react.
    const auto stop = [&] {
        if (process.state() == QProcess::NotRunning)
            return;
        if (stopRequests++ == 0)
            process.terminate();
        else
            process.kill();
    };
    connect(&console, &ConsoleWindow::closeRequested, &process, stop);
    connect(&console, &ConsoleWindow::interruptRequested, &process, stop);

    process.start(program, arguments);
    if (!process.waitForStarted(-1))
        throwStartError(program, process.errorString());

    console.setRunning(true);
    showConsole(console, windowStyle);
    // Nobody can type into a hidden console: let prompts see the end of input.
    if (windowStyle == 0)
        process.closeWriteChannel();
    emit consoleShown(&console);

    if (!finished)
        loop.exec();

    qint32 status = -1;
    if (finished) {
        if (process.exitStatus() == QProcess::NormalExit)
            status = process.exitCode();
    } else {
        // The loop was ended from outside, as when the application quits.
        process.terminate();
        if (!process.waitForFinished(5000)) {
            process.kill();
            process.waitForFinished(-1);
        }
    }
    console.setRunning(false);
    console.close();
    return status;
}

QString QtShellHelper::BrowseFolder(QWidget* owner, const QString& prompt) {
    return QFileDialog::getExistingDirectory(owner, prompt);
}

} // namespace xcpy
