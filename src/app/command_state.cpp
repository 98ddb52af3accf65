#include "app/command_state.h"

namespace xcpy {

CommandState commandState(const QString& source, const QString& destination, int rowCount,
                          std::optional<int> currentRow) {
    const bool hasRows = rowCount != 0;
    // Blanks count as text here; whether the folders exist is checked when a row is added.
    const bool canAdd = !source.isEmpty() && !destination.isEmpty();
    const bool canMove = rowCount >= 2 && currentRow.has_value();

    CommandState state;
    auto set = [&state](Command c, bool on) { state.enabled[static_cast<std::size_t>(c)] = on; };
    set(Command::Save, hasRows);
    set(Command::Bat, hasRows);
    set(Command::Exec, hasRows);
    set(Command::Add, canAdd);
    set(Command::Delete, hasRows);
    set(Command::Up, canMove && *currentRow > 1);
    set(Command::Down, canMove && *currentRow < rowCount);
    set(Command::Preview, hasRows); // whatever can be run can be previewed
    return state;
}

const std::array<CommandBinding, kCommandCount>& commandBindings() {
    static constexpr std::array<CommandBinding, kCommandCount> bindings{{
        {Command::Save, "Save", Menu::File, 2},
        {Command::Bat, "Bat", Menu::File, 4},
        {Command::Exec, "Exec", Menu::File, 5},
        {Command::Add, "Add", Menu::List, 3},
        {Command::Delete, "Delete", Menu::List, 4},
        {Command::Up, "Up", Menu::List, 6},
        {Command::Down, "Down", Menu::List, 7},
        {Command::Preview, "Preview", Menu::List, 9},
    }};
    return bindings;
}

} // namespace xcpy
