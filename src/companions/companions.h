#pragma once

#include <memory>

namespace xcpy {

class SettingsStore;
class RunLog;
class PromptBox;
class ShellHelper;
class PathHelper;

// Where the main window gets its companion components. The settings store and the run log
// belong to the window that creates them; the prompt box, shell helper and path helper are
// one per process, made on first use and kept by the factory.
class Companions {
public:
    virtual ~Companions() = default;

    virtual std::unique_ptr<SettingsStore> createSettingsStore() = 0;
    virtual std::unique_ptr<RunLog> createRunLog() = 0;
    virtual PromptBox& promptBox() = 0;
    virtual ShellHelper& shellHelper() = 0;
    virtual PathHelper& pathHelper() = 0;
};

} // namespace xcpy
