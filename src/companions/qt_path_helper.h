#pragma once

#include "companions/path_helper.h"

namespace xcpy {

class QtPathHelper : public PathHelper {
public:
    void FieldFocus(QLineEdit* field) override;
    QString FolderOf(const QString& path) override;
    QString ExtensionOf(const QString& path) override;
};

} // namespace xcpy
