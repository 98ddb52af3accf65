// The folder fields and their folder pickers.
#include "app/frmXCopy.h"

#include "companions/path_helper.h"
#include "companions/shell_helper.h"

#include <QLineEdit>
#include <functional>

namespace xcpy {
namespace {

// Asks for a folder; a cancelled pick keeps the field's text. The field gets the focus either
// way, and with it the field's focus handling, also where the focus cannot move (the field has
// it already, or the window is not active yet after the dialog).
void pickFolder(QWidget* owner, ShellHelper& shell, const QString& prompt, QLineEdit* field,
                const std::function<void()>& gotFocus) {
    const QString folder = shell.BrowseFolder(owner, prompt);
    if (!folder.isEmpty())
        field->setText(folder);
    const bool hadFocus = field->hasFocus();
    field->setFocus(Qt::OtherFocusReason);
    if (hadFocus || !field->hasFocus())
        gotFocus();
}

} // namespace

void frmXCopy::cmdFrom_Click() {
    pickFolder(this, shellHelper(), QStringLiteral("元フォルダを選択して下さい"), txtFrom,
               [this] { txtFrom_GotFocus(); });
    UpdateCommandState();
}

void frmXCopy::cmdTo_Click() {
    pickFolder(this, shellHelper(), QStringLiteral("先フォルダを選択して下さい"), txtTo,
               [this] { txtTo_GotFocus(); });
    UpdateCommandState();
}

void frmXCopy::txtFrom_GotFocus() {
    pathHelper().FieldFocus(txtFrom);
}

void frmXCopy::txtTo_GotFocus() {
    pathHelper().FieldFocus(txtTo);
}

} // namespace xcpy
