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
    // The buttons found by key when the window loaded, in the order of the bindings.
    const std::array<QAction*, kCommandCount> buttons = {btnSave,   btnBat, btnExec, btnAdd,
                                                         btnDelete, btnUp,  btnDown, btnPreview};
    // Each button first, then its menu item takes the state the button has just been given.
    for (std::size_t i = 0; i < kCommandCount; ++i) {
        Q_ASSERT(buttons[i]->objectName() == QLatin1String(commandBindings()[i].toolbarKey));
        buttons[i]->setEnabled(state[commandBindings()[i].command]);
    }
    for (std::size_t i = 0; i < kCommandCount; ++i) {
        const CommandBinding& binding = commandBindings()[i];
        QAction* item =
            binding.menu == Menu::File ? mnuF[binding.menuIndex] : mnuL[binding.menuIndex];
        item->setEnabled(buttons[i]->isEnabled());
    }
}

} // namespace xcpy
