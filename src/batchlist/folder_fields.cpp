// The folder fields and their folder pickers.
#include "app/frmXCopy.h"

#include "companions/path_helper.h"
#include "companions/shell_helper.h"

#include <QLineEdit>

namespace xcpy {
namespace {

// Asks for a folder; a cancelled pick keeps the field's text. The field gets the focus either way.
void pickFolder(QWidget* owner, ShellHelper& shell, const QString& prompt, QLineEdit* field) {
    const QString folder = shell.BrowseFolder(owner, prompt);
    if (!folder.isEmpty())
        field->setText(folder);
    field->setFocus(Qt::OtherFocusReason);
}

} // namespace

void frmXCopy::cmdFrom_Click() {
    pickFolder(this, shellHelper(), QStringLiteral("元フォルダを選択して下さい"), txtFrom);
    UpdateCommandState();
}

void frmXCopy::cmdTo_Click() {
    pickFolder(this, shellHelper(), QStringLiteral("先フォルダを選択して下さい"), txtTo);
    UpdateCommandState();
}

void frmXCopy::txtFrom_GotFocus() {
    pathHelper().FieldFocus(txtFrom);
}

void frmXCopy::txtTo_GotFocus() {
    pathHelper().FieldFocus(txtTo);
}

} // namespace xcpy
