// The window's batch-file command: write the list out as a batch file of XCOPY lines.
#include "app/frmXCopy.h"

#include "batchlist/batch_list_model.h"
#include "companions/path_helper.h"
#include "companions/prompt_box.h"
#include "companions/run_log.h"
#include "files/batch_file.h"
#include "files/file_errors.h"

namespace xcpy {

bool frmXCopy::refuseUnsafeBatchText() {
    const std::optional<RowError> unsafe = findUnsafeBatchText(model_->entries());
    if (!unsafe)
        return false;
    promptBox().Message(this, unsafe->message(), msg::kIconExclamation, exeBaseName());
    return true;
}

void frmXCopy::logXCopyLines(const QString& heading) {
    runLog_->LogLine(heading);
    for (const BatchEntry& row : model_->entries())
        runLog_->LogLine(MakeXCopyLine(row.source, row.destination, XOption));
}

void frmXCopy::CreateBatFile() {
    // A folder text that could end the quoting or the line would let the rest run as a command.
    if (refuseUnsafeBatchText())
        return;

    *dlgXCopy = CommonDialog{};
    dlgXCopy->DialogTitle = QStringLiteral("XCopyバッチファイル作成");
    dlgXCopy->Filter = QStringLiteral("ﾊﾞｯﾁﾌｧｲﾙ(*.bat) | *.bat");
    dlgXCopy->Flags = 2060;
    dlgXCopy->InitDir = BatDir;
    if (!promptBox().FileDialog(this, *dlgXCopy, FileDialogKind::Save))
        return;
    const QString path = dlgXCopy->FileName;

    const FileWriteResult written =
        saveBatchFile(path, model_->entries(), XOption, BatchKind::CopyLines);
    if (!written.ok()) {
        promptBox().ErrorReport(QStringLiteral("CreateBatFile"), errorInfoOf(written));
        return;
    }
    pnlBatName->setText(path);
    BatDir = pathHelper().FolderOf(path);
    // Only a batch file that was really written is logged.
    logXCopyLines(QStringLiteral("バッチ作成"));
}

} // namespace xcpy
