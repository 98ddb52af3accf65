#pragma once

#include <QString>

class QLineEdit;

namespace xcpy {

// Path texts and the folder fields' focus behaviour.
class PathHelper {
public:
    virtual ~PathHelper() = default;

    virtual void FieldFocus(QLineEdit* field) = 0;
    virtual QString FolderOf(const QString& path) = 0;
    // The text after the last dot of the file name, without the dot; empty when there is none.
    virtual QString ExtensionOf(const QString& path) = 0;
};

// The path rules themselves, shared by the real helper and the test fakes.
QString folderOfPath(const QString& path);
QString extensionOfPath(const QString& path);

} // namespace xcpy
