#include "companions/qt_path_helper.h"

#include <QFileInfo>
#include <QLineEdit>
#include <QPointer>
#include <QTimer>

namespace xcpy {

QString folderOfPath(const QString& path) {
    return QFileInfo(path).absolutePath();
}

QString extensionOfPath(const QString& path) {
    const QString name = QFileInfo(path).fileName();
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    return dot < 0 ? QString() : name.mid(dot + 1);
}

void QtPathHelper::FieldFocus(QLineEdit* field) {
    // Selected on the next turn of the event loop: a mouse click that gave the focus would
    // otherwise put the cursor back and drop the selection.
    QTimer::singleShot(0, field, [guard = QPointer<QLineEdit>(field)] {
        if (guard)
            guard->selectAll();
    });
}

QString QtPathHelper::FolderOf(const QString& path) {
    return folderOfPath(path);
}

QString QtPathHelper::ExtensionOf(const QString& path) {
    return extensionOfPath(path);
}

} // namespace xcpy
