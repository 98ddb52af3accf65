#include "companions/qt_shell_helper.h"

#include "companions/component_error.h"

#include <QEventLoop>
#include <QFileDialog>
#include <QProcess>

namespace xcpy {

qint32 QtShellHelper::RunAndWait(const QString& commandLine, qint32, bool wait) {
    QStringList arguments = QProcess::splitCommand(commandLine);
    if (arguments.isEmpty())
        throw ComponentError(2, QStringLiteral("実行するコマンドがありません。"));
    const QString program = arguments.takeFirst();
    QProcess process;
    process.setProcessChannelMode(QProcess::ForwardedChannels);
    QEventLoop loop;
    QObject::connect(&process, &QProcess::finished, &loop, &QEventLoop::quit);
    process.start(program, arguments);
    if (!process.waitForStarted(-1))
        throw ComponentError(
            2, QStringLiteral("%1 を起動できません: %2").arg(program, process.errorString()));
    if (!wait) {
        process.waitForFinished(-1);
        return process.exitCode();
    }
    loop.exec();
    return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
}

QString QtShellHelper::BrowseFolder(QWidget* owner, const QString& prompt) {
    return QFileDialog::getExistingDirectory(owner, prompt);
}

} // namespace xcpy
