// The window's list-file commands: save the list to and load it from a .xcpy file.
#include "app/frmXCopy.h"

#include "batchlist/batch_list_model.h"
#include "batchlist/folder_probe.h"
#include "companions/path_helper.h"
#include "companions/prompt_box.h"
#include "files/file_errors.h"
#include "files/list_file.h"

#include <QFileInfo>

namespace xcpy {
namespace {

const QString kListFilter = QStringLiteral("ﾊﾞｯﾁﾘｽﾄ(*.xcpy) | *.xcpy");
// Hide the read-only box, keep the current directory, the path must exist.
constexpr qint32 kDialogFlags = 2060;

} // namespace

bool frmXCopy::SaveBatList() {
    *dlgXCopy = CommonDialog{};
    dlgXCopy->DialogTitle = QStringLiteral("バッチリスト保存");
    dlgXCopy->Filter = kListFilter;
    dlgXCopy->Flags = kDialogFlags;
    dlgXCopy->InitDir = InitDir;
    dlgXCopy->FileName = pnlFileName->text();
    if (!promptBox().FileDialog(this, *dlgXCopy, FileDialogKind::Save))
        return false;
    const QString path = dlgXCopy->FileName;

    // The old file, the list path, InitDir and the unsaved-changes flag stay as they were
    // unless the whole file was written.
    const FileWriteResult written = saveListFile(path, model_->entries());
    if (!written.ok()) {
        promptBox().ErrorReport(QStringLiteral("SaveBatList"), errorInfoOf(written));
        return false;
    }
    pnlFileName->setText(path);
    InitDir = pathHelper().FolderOf(path);
    setUnsavedChanges(false);
    return true;
}

void frmXCopy::OpenBatList(QString path) {
    if (path.isEmpty()) {
        *dlgXCopy = CommonDialog{};
        dlgXCopy->DialogTitle = QStringLiteral("バッチリスト読込");
        dlgXCopy->Filter = kListFilter;
        dlgXCopy->Flags = kDialogFlags;
        dlgXCopy->InitDir = InitDir;
        if (promptBox().FileDialog(this, *dlgXCopy, FileDialogKind::Open))
            path = dlgXCopy->FileName;
    }
    path.remove(QLatin1Char('"'));
    if (path.isEmpty())
        return;
    if (pathHelper().ExtensionOf(path).compare(QLatin1String("xcpy"), Qt::CaseInsensitive) != 0)
        return;
    if (!QFileInfo(path).isFile())
        return;

    // Kept as a full path: it is remembered for the next start, whatever the folder then.
    path = QFileInfo(path).absoluteFilePath();
    InitDir = pathHelper().FolderOf(path);
    pnlFileName->setText(path);
    model_->clear();

    const ListReadResult read = loadListFile(path);
    model_->reserve(int(read.rows.size()));
    // Every folder of the file is tested side by side, so dead shares cost one bound, not one each.
    QStringList folders;
    folders.reserve(2 * read.rows.size());
    for (const BatchEntry& row : read.rows)
        folders << row.source << row.destination;
    const FolderProbe::Batch batch(*folderProbe_, folders);
    for (const BatchEntry& row : read.rows)
        InsertBatchEntry(row.source, row.destination, -1);
    if (read.error) {
        // The list is shorter than the file: saving it unawares would cut the file short.
        setUnsavedChanges(true);
        promptBox().ErrorReport(QStringLiteral("OpenBatList"), errorInfoOf(*read.error));
    }
}

} // namespace xcpy
