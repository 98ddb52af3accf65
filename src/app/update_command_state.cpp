#include "app/frmXCopy.h"

#include "app/command_state.h"
#include "batchlist/batch_list_model.h"
#include "batchlist/batch_list_view.h"

#include <QLineEdit>
#include <QToolBar>

namespace xcpy {

void frmXCopy::UpdateCommandState() {
    const int rows = model_->rowCount();
    const std::optional<int> current =
        rows >= 2 ? currentRow1Based(lsvBatList) : std::optional<int>();
    const CommandState state = commandState(txtFrom->text(), txtTo->text(), rows, current);
    // Each button first, then its menu item takes the state the button has just been given.
    for (const CommandBinding& binding : commandBindings()) {
        QAction* button = findToolbarButton(tlbXCopy, QString::fromLatin1(binding.toolbarKey));
        button->setEnabled(state[binding.command]);
    }
    for (const CommandBinding& binding : commandBindings()) {
        QAction* button = findToolbarButton(tlbXCopy, QString::fromLatin1(binding.toolbarKey));
        auto& items = binding.menu == Menu::File ? mnuF : mnuL;
        items[binding.menuIndex]->setEnabled(button->isEnabled());
    }
}

} // namespace xcpy
