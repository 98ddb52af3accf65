// The window's row operations: creating a row with its folder check, add, delete and move.
#include "app/frmXCopy.h"

#include "batchlist/batch_list_model.h"
#include "batchlist/batch_list_view.h"
#include "batchlist/folder_probe.h"
#include "companions/prompt_box.h"

#include <QLineEdit>
#include <QTreeView>

namespace xcpy {

void frmXCopy::InsertBatchEntry(const QString& source, const QString& destination, int position) {
    const PairVerdict verdict = folderProbe_->check(source, destination);
    const int row = model_->insertEntry(
        position, BatchEntry{source, destination, verdict.mark(), verdict.notes()});
    if (row < 0)
        return; // a position the list refuses creates no row
    selectAndReveal(lsvBatList, row);
}

bool frmXCopy::refuseIdenticalFolders(const QString& source, const QString& destination) {
    if (source != destination)
        return false;
    promptBox().Message(this, QStringLiteral("元フォルダと先フォルダが同じです"),
                        msg::kIconExclamation, exeBaseName());
    return true;
}

void frmXCopy::AddBatchEntry() {
    const QString source = txtFrom->text();
    const QString destination = txtTo->text();
    if (refuseIdenticalFolders(source, destination))
        return;
    InsertBatchEntry(source, destination, -1);
    txtFrom->clear();
    txtTo->clear();
    setUnsavedChanges(true);
}

void frmXCopy::DeleteBatchEntry() {
    const std::optional<int> current = currentRow1Based(lsvBatList);
    if (!current)
        return;
    model_->removeEntry(*current - 1);
    clearCurrentRow(lsvBatList);
    setUnsavedChanges(true);
}

void frmXCopy::MoveBatchEntry(bool up) {
    const std::optional<int> current = currentRow1Based(lsvBatList);
    if (!current)
        return;
    const BatchEntry entry = model_->entry(*current - 1);
    const int target = up ? *current - 1 : *current + 1;
    if (target < 1 || target > model_->rowCount())
        return;
    model_->removeEntry(*current - 1);
    InsertBatchEntry(entry.source, entry.destination, target);
    setUnsavedChanges(true);
}

} // namespace xcpy
