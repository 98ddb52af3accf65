#include "companions/real_companions.h"

#include "companions/file_run_log.h"
#include "companions/ini_settings_store.h"
#include "companions/qt_path_helper.h"
#include "companions/qt_prompt_box.h"
#include "companions/qt_shell_helper.h"

namespace xcpy {

RealCompanions::RealCompanions() = default;
RealCompanions::~RealCompanions() = default;

std::unique_ptr<SettingsStore> RealCompanions::createSettingsStore() {
    return std::make_unique<IniSettingsStore>();
}

std::unique_ptr<RunLog> RealCompanions::createRunLog() {
    return std::make_unique<FileRunLog>();
}

PromptBox& RealCompanions::promptBox() {
    if (!promptBox_)
        promptBox_ = std::make_unique<QtPromptBox>();
    return *promptBox_;
}

ShellHelper& RealCompanions::shellHelper() {
    if (!shellHelper_)
        shellHelper_ = std::make_unique<QtShellHelper>();
    return *shellHelper_;
}

PathHelper& RealCompanions::pathHelper() {
    if (!pathHelper_)
        pathHelper_ = std::make_unique<QtPathHelper>();
    return *pathHelper_;
}

} // namespace xcpy
