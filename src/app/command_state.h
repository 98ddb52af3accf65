#pragma once

#include <QString>

#include <array>
#include <cstddef>
#include <optional>

// Which list and file commands are available for the current fields and list.
namespace xcpy {

enum class Command { Save, Bat, Exec, Add, Delete, Up, Down, Preview };

inline constexpr std::size_t kCommandCount = 8;

struct CommandState {
    std::array<bool, kCommandCount> enabled{};

    bool operator[](Command c) const { return enabled[static_cast<std::size_t>(c)]; }
    friend bool operator==(const CommandState&, const CommandState&) = default;
};

// currentRow is 1-based and only looked at when the list holds two rows or more.
CommandState commandState(const QString& source, const QString& destination, int rowCount,
                          std::optional<int> currentRow);

enum class Menu { File, List };

// Where a command shows up: its toolbar button key and its item in a menu.
struct CommandBinding {
    Command command;
    const char* toolbarKey;
    Menu menu;
    int menuIndex;
};

// All commands: Save, Bat, Exec, Add, Delete, Up, Down, Preview.
const std::array<CommandBinding, kCommandCount>& commandBindings();

} // namespace xcpy
