// The window's run command: write x.bat and have the command interpreter run it.
#include "app/frmXCopy.h"

#include "batchlist/batch_list_model.h"
#include "companions/component_error.h"
#include "companions/prompt_box.h"
#include "companions/run_log.h"
#include "companions/shell_helper.h"
#include "files/batch_file.h"
#include "files/file_errors.h"
#include "files/run_command.h"

#include <QCoreApplication>
#include <QDir>

namespace xcpy {

void frmXCopy::ExecXCopy() {
    // A second run would rewrite the run file the interpreter is reading.
    if (copyRunning_) {
        promptBox().Message(this, QStringLiteral("コピー中です。実行できません"),
                            msg::kIconExclamation, exeBaseName());
        return;
    }
    if (refuseUnsafeBatchText())
        return;
    if (promptBox().Message(this, QStringLiteral("XCOPY実行します"),
                            msg::kOkCancel | msg::kIconInformation,
                            exeBaseName()) == msg::kAnswerCancel)
        return;

    const QString runFile = runFilesFolder_ + QDir::separator() + QStringLiteral("x.bat");
    const FileWriteResult written =
        saveBatchFile(runFile, model_->entries(), XOption, BatchKind::RunFile);
    if (!written.ok()) {
        promptBox().ErrorReport(QStringLiteral("ExecXCopy"), errorInfoOf(written));
        return;
    }
    logXCopyLines(QStringLiteral("XCOPY実行"));

    const QString commandLine = runCommandLine(
        interpreterPath(qEnvironmentVariable("COMSPEC"), QCoreApplication::applicationDirPath()),
        runFile);
    copyRunning_ = true;
    try {
        shellHelper().RunAndWait(commandLine, 1, true);
        runLog_->LogLine(QStringLiteral("XCOPY終了 ") + shellHelper().LastRunSummary());
    } catch (const ComponentError& error) {
        // The lines above are logged as if they ran; say that they did not.
        runLog_->LogLine(QStringLiteral("XCOPY実行できませんでした: ") + error.description());
        promptBox().ErrorReport(QStringLiteral("ExecXCopy"), {error.number(), error.description()});
    }
    if (isMinimized())
        setWindowState(Qt::WindowNoState);
    copyRunning_ = false;
}

} // namespace xcpy
