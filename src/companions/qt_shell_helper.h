#pragma once

#include "companions/shell_helper.h"

namespace xcpy {

class QtShellHelper : public ShellHelper {
public:
    qint32 RunAndWait(const QString& commandLine, qint32 windowStyle, bool wait) override;
    QString BrowseFolder(QWidget* owner, const QString& prompt) override;
};

} // namespace xcpy
