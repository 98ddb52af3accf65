// The window's preview command: what a run would copy now, told by the interpreter's own plan.
#include "app/frmXCopy.h"

#include "app/preview_window.h"
#include "batchlist/batch_list_model.h"
#include "companions/prompt_box.h"
#include "files/batch_file.h"
#include "files/file_errors.h"
#include "files/run_command.h"

#include <QCoreApplication>

namespace xcpy {

void frmXCopy::PreviewXCopy() {
    // The lines previewed are exactly those a run would write, so a row a run refuses is
    // refused here with the same message.
    if (refuseUnsafeBatchText())
        return;
    const EncodedFile batch = encodeBatchFile(model_->entries(), XOption, BatchKind::CopyLines);
    if (!batch.ok()) {
        promptBox().ErrorReport(QStringLiteral("PreviewXCopy"),
                                {kErrorInvalidText, batch.error->message()});
        return;
    }
    if (!previewWindow_)
        previewWindow_ = new frmPreview(this);
    previewWindow_->start(
        interpreterPath(qEnvironmentVariable("COMSPEC"), QCoreApplication::applicationDirPath()),
        batch.bytes, model_->entries());
}

} // namespace xcpy
