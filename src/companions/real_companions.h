#pragma once

#include "companions/companions.h"

namespace xcpy {

// The components the program uses outside tests.
class RealCompanions : public Companions {
public:
    RealCompanions();
    ~RealCompanions() override;

    std::unique_ptr<SettingsStore> createSettingsStore() override;
    std::unique_ptr<RunLog> createRunLog() override;
    PromptBox& promptBox() override;
    ShellHelper& shellHelper() override;
    PathHelper& pathHelper() override;

private:
    std::unique_ptr<PromptBox> promptBox_;
    std::unique_ptr<ShellHelper> shellHelper_;
    std::unique_ptr<PathHelper> pathHelper_;
};

} // namespace xcpy
