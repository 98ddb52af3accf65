#include "companions/qt_shell_helper.h"

#include "companions/component_error.h"
#include "companions/console_window.h"
#include "companions/dbus_notifier.h"

#include <QDir>
#include <QEventLoop>
#include <QFileDialog>
#include <QFileInfo>
#include <QProcess>
#include <QProcessEnvironment>
#include <QSocketNotifier>
#include <QTimer>

#include <cerrno>
#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace xcpy {

namespace {

constexpr int kErrNotFound = 53;
constexpr int kErrNoAccess = 70;

// A stopped command gets this long to end cleanly before it is killed, and a killed one this
// long to be gone before it is left to end on its own: a stop takes effect within 2 s.
constexpr int kTermGraceMs = 1000;
constexpr int kKillGraceMs = 700;

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

// The two ends of the progress channel. The command's end is inherited by the command only;
// ours reads without blocking.
class ProgressSocket {
public:
    ProgressSocket() {
        if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, fds_) != 0)
            fds_[0] = fds_[1] = -1;
        else
            ::fcntl(fds_[0], F_SETFL, O_NONBLOCK);
    }
    ~ProgressSocket() {
        closeCommandEnd();
        if (fds_[0] >= 0)
            ::close(fds_[0]);
    }
    ProgressSocket(const ProgressSocket&) = delete;
    ProgressSocket& operator=(const ProgressSocket&) = delete;

    bool ok() const { return fds_[0] >= 0; }
    int ownEnd() const { return fds_[0]; }
    int commandEnd() const { return fds_[1]; }
    void closeCommandEnd() {
        if (fds_[1] >= 0)
            ::close(fds_[1]);
        fds_[1] = -1;
    }
    QByteArray readAvailable() {
        QByteArray bytes;
        char buffer[4096];
        for (;;) {
            const ssize_t n = ::read(fds_[0], buffer, sizeof buffer);
            if (n > 0)
                bytes.append(buffer, n);
            else if (n < 0 && errno == EINTR)
                continue;
            else
                return bytes;
        }
    }

private:
    int fds_[2] = {-1, -1};
};

} // namespace

QtShellHelper::QtShellHelper(std::unique_ptr<DesktopNotifier> notifier)
    : notifier_(notifier ? std::move(notifier) : std::make_unique<DBusNotifier>()) {}

QtShellHelper::~QtShellHelper() = default;

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

    // A new run replaces the result of the last one.
    lastConsole_.reset();
    lastSummary_.clear();

    // Built before the start so no output is missed, shown only once the command runs.
    auto console = std::make_unique<ConsoleWindow>(QFileInfo(program).fileName(), commandLine);
    auto process = std::make_unique<QProcess>();
    QEventLoop loop;
    bool finished = false;
    bool leftRunning = false; // stopped, but the system still holds it
    int stopRequests = 0;
    QTimer escalation;
    escalation.setSingleShot(true);

    // One pipe for normal and error output keeps the order in which the command wrote them.
    process->setProcessChannelMode(QProcess::MergedChannels);
    connect(process.get(), &QProcess::readyReadStandardOutput, console.get(),
            [&] { console->appendOutput(process->readAllStandardOutput()); });
    connect(process.get(), &QProcess::finished, &loop, [&] {
        finished = true;
        loop.quit();
    });

    ProgressSocket progress;
    std::unique_ptr<QSocketNotifier> progressNotifier;
    if (progress.ok()) {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("XCPYCMD_PROGRESS_FD"),
                           QString::number(progress.commandEnd()));
        process->setProcessEnvironment(environment);
        const int inherited = progress.commandEnd();
        process->setChildProcessModifier([inherited] { ::fcntl(inherited, F_SETFD, 0); });
        progressNotifier =
            std::make_unique<QSocketNotifier>(progress.ownEnd(), QSocketNotifier::Read);
        connect(progressNotifier.get(), &QSocketNotifier::activated, console.get(),
                [&] { console->appendProgress(progress.readAvailable()); });
    }

    // The console's requests go to this run only: they end with the loop.
    connect(console.get(), &ConsoleWindow::inputTyped, &loop, [&](const QByteArray& bytes) {
        if (process->state() == QProcess::Running)
            process->write(bytes);
    });
    connect(console.get(), &ConsoleWindow::endOfInputRequested, &loop,
            [&] { process->closeWriteChannel(); });
    // The interpreter stops cleanly on SIGTERM, so closing the window or Ctrl+C ends the run
    // that way. A command that has not ended after a grace, or that is asked again, is killed;
    // one that the system still holds after that (waiting in the kernel for a share that
    // stopped answering) is left to end on its own, so the window is free again at once.
    const auto stop = [&] {
        if (finished || leftRunning)
            return;
        switch (stopRequests++) {
        case 0:
            process->terminate();
            escalation.start(kTermGraceMs);
            break;
        case 1:
            process->kill();
            escalation.start(kKillGraceMs);
            break;
        default:
            leftRunning = true;
            loop.quit();
            break;
        }
    };
    connect(&escalation, &QTimer::timeout, &loop, stop);
    connect(console.get(), &ConsoleWindow::closeRequested, &loop, stop);
    connect(console.get(), &ConsoleWindow::interruptRequested, &loop, stop);
    connect(console.get(), &ConsoleWindow::copyEnded, this,
            [this, shown = QPointer<ConsoleWindow>(console.get())](const QString& result,
                                                                   const QString& counts) {
                notifyCopyEnded(shown, result, counts);
            });

    process->start(program, arguments);
    if (!process->waitForStarted(-1))
        throwStartError(program, process->errorString());
    progress.closeCommandEnd();

    console->setRunning(true);
    showConsole(*console, windowStyle);
    // Nobody can type into a hidden console: let prompts see the end of input.
    if (windowStyle == 0)
        process->closeWriteChannel();
    emit consoleShown(console.get());

    if (!finished && !leftRunning)
        loop.exec();
    if (!finished && !leftRunning) {
        // The loop was ended from outside, as when the application quits: the same stop,
        // waited for here.
        process->terminate();
        if (!process->waitForFinished(kTermGraceMs)) {
            process->kill();
            leftRunning = !process->waitForFinished(kKillGraceMs);
        }
    }

    qint32 status = -1;
    if (!leftRunning && process->exitStatus() == QProcess::NormalExit)
        status = process->exitCode();
    progressNotifier.reset();
    if (progress.ok())
        console->appendProgress(progress.readAvailable());
    console->appendOutput(process->readAllStandardOutput());
    console->setRunning(false);
    lastSummary_ = console->showResult(status, leftRunning);
    if (leftRunning) {
        // Deleting a running QProcess waits for it: it goes once it has ended, and with the
        // program if that comes first.
        QProcess* left = process.release();
        left->disconnect();
        connect(left, &QProcess::finished, left, &QObject::deleteLater);
    }
    // The result stays on screen; the console never keeps the program from ending.
    if (windowStyle != 0 && console->isVisible()) {
        console->setAttribute(Qt::WA_QuitOnClose, false);
        lastConsole_ = std::move(console);
    }
    return status;
}

void QtShellHelper::notifyCopyEnded(const QPointer<ConsoleWindow>& console, const QString& result,
                                    const QString& counts) {
    // Only a user who is looking elsewhere needs telling; a hidden console has nobody watching.
    if (!console || !console->isVisible() || console->isActiveWindow())
        return;
    notifier_->notify(result, counts, [console] {
        if (!console)
            return;
        if (console->isMinimized())
            console->showNormal();
        console->raise();
        console->activateWindow();
    });
}

QString QtShellHelper::BrowseFolder(QWidget* owner, const QString& prompt) {
    return QFileDialog::getExistingDirectory(owner, prompt);
}

} // namespace xcpy
