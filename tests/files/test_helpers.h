#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>

namespace xcpy {

inline QByteArray readBytes(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

inline bool writeBytes(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

inline QString testData(const char* name) {
    return QStringLiteral(XCPY_TEST_DATA "/") + QString::fromUtf8(name);
}

} // namespace xcpy
