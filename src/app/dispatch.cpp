// Dispatch of the menus, the toolbar and the list's context menu to the window's operations.
#include "app/frmXCopy.h"

#include "batchlist/batch_list_model.h"
#include "companions/companions.h"
#include "companions/hot_button.h"
#include "companions/prompt_box.h"
#include "options/frmOption.h"
#include "version.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QItemSelectionModel>
#include <QLineEdit>
#include <QTreeView>

namespace xcpy {

void frmXCopy::mnuF_Click(int index) {
    switch (index) {
    case 0:
        newList();
        break;
    case 1:
        OpenBatList(QString());
        break;
    case 2:
        SaveBatList();
        break;
    case 4:
        CreateBatFile();
        break;
    case 5:
        ExecXCopy();
        break;
    case 7:
        close(); // the close request decides; the command state is not recomputed
        return;
    default:
        break;
    }
    UpdateCommandState();
}

void frmXCopy::mnuL_Click(int index) {
    switch (index) {
    case 0:
        cmdFrom->setValue(true);
        break;
    case 1:
        cmdTo->setValue(true);
        break;
    case 3:
        AddBatchEntry();
        break;
    case 4:
        DeleteBatchEntry();
        break;
    case 6:
        MoveBatchEntry(true);
        break;
    case 7:
        MoveBatchEntry(false);
        break;
    case 9:
        PreviewXCopy();
        break;
    default:
        break;
    }
    UpdateCommandState();
}

void frmXCopy::mnuO_Click(int index) {
    if (index == 0)
        showOptions();
    UpdateCommandState();
}

void frmXCopy::mnuH_Click(int index) {
    if (index == 0)
        showVersionInfo();
    UpdateCommandState();
}

void frmXCopy::mnuFile_Click() {
    UpdateCommandState();
}

void frmXCopy::mnuList_Click() {
    UpdateCommandState();
}

void frmXCopy::tlbXCopy_ButtonClick(QAction* button) {
    const QString key = button ? button->objectName() : QString();
    // Compared with the stored buttons' keys in this order; the first equal key decides.
    if (key == btnOpen->objectName())
        OpenBatList(QString());
    else if (key == btnSave->objectName())
        SaveBatList();
    else if (key == btnAdd->objectName())
        AddBatchEntry();
    else if (key == btnDelete->objectName())
        DeleteBatchEntry();
    else if (key == btnUp->objectName())
        MoveBatchEntry(true);
    else if (key == btnDown->objectName())
        MoveBatchEntry(false);
    else if (key == btnBat->objectName())
        CreateBatFile();
    else if (key == btnExec->objectName())
        ExecXCopy();
    else if (key == btnPreview->objectName())
        PreviewXCopy();
    UpdateCommandState();
}

void frmXCopy::lsvBatList_MouseDown(Qt::MouseButton button, Qt::KeyboardModifiers, QPoint pos) {
    if (button != Qt::RightButton)
        return;
    const QModelIndex hit = lsvBatList->indexAt(pos);
    if (!hit.isValid())
        return;
    if (!lsvBatList->selectionModel()->isRowSelected(hit.row(), QModelIndex()))
        return;
    mnuList->popup(lsvBatList->viewport()->mapToGlobal(pos));
}

void frmXCopy::lsvBatList_ItemClick() {
    UpdateCommandState();
}

void frmXCopy::newList() {
    if (unsavedChanges()) {
        const qint32 answer =
            promptBox().Message(this, QStringLiteral("バッチファイルに保存しますか？"),
                                msg::kYesNo | msg::kIconInformation, exeBaseName());
        // Without the save the list stays: emptying it would lose the changes.
        if (answer == msg::kAnswerYes && !SaveBatList())
            return;
    }
    model_->clear();
    txtFrom->clear();
    txtTo->clear();
    pnlFileName->clear();
    pnlBatName->clear();
    setUnsavedChanges(false);
}

void frmXCopy::showOptions() {
    frmOption& dialog = optionDialog_.get(); // one dialog for the program's life
    dialog.setXOption(XOption);
    if (dialog.ShowEx(this))
        XOption = dialog.XOption();
}

void frmXCopy::showVersionInfo() {
    ApplicationInfo app;
    app.title = QString::fromUtf8(version::kName);
    app.exeName = QFileInfo(QCoreApplication::applicationFilePath()).fileName();
    app.path = QCoreApplication::applicationDirPath();
    app.version = QString::fromUtf8(version::kVersion);
    app.comments = QString::fromUtf8(version::kComment);
    promptBox().VersionInfo(this, app, nullptr);
}

} // namespace xcpy
