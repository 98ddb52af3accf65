#include "app/command_state.h"

#include <gtest/gtest.h>

#include <string>

namespace xcpy {
namespace {

// Flags in toolbar order as a string of 0/1, for compact expectations.
std::string flags(const CommandState& s) {
    std::string out;
    for (const CommandBinding& b : commandBindings())
        out += s[b.command] ? '1' : '0';
    return out;
}

TEST(CommandState, listAndFieldCombinations_enableMatchingCommands) {
    const QString dir = QStringLiteral("C:\\data");
    const struct {
        const char* name;
        QString source;
        QString destination;
        int rows;
        std::optional<int> current;
        const char* expected; // Save Bat Exec Add Delete Up Down
    } cases[] = {
        {"empty", "", "", 0, std::nullopt, "0000000"},
        {"fields only", dir, dir, 0, std::nullopt, "0001000"},
        {"source only", dir, "", 0, std::nullopt, "0000000"},
        {"destination only", "", dir, 0, std::nullopt, "0000000"},
        {"single blanks", " ", " ", 0, std::nullopt, "0001000"},
        {"one row, current 1", "", "", 1, 1, "1110100"},
        {"one row, current beyond", "", "", 1, 2, "1110100"},
        {"one row, none current", "", "", 1, std::nullopt, "1110100"},
        {"three rows, first", "", "", 3, 1, "1110101"},
        {"three rows, middle", "", "", 3, 2, "1110111"},
        {"three rows, last", "", "", 3, 3, "1110110"},
        {"three rows, none current", "", "", 3, std::nullopt, "1110100"},
        {"two rows and fields", dir, dir, 2, 2, "1111110"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(flags(commandState(c.source, c.destination, c.rows, c.current)), c.expected)
            << c.name;
}

} // namespace
} // namespace xcpy
