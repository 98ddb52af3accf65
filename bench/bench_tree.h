#pragma once

#include <QByteArray>
#include <QChar>
#include <QDir>
#include <QFile>
#include <QString>
#include <QtGlobal>
#include <random>

// What the Qt benchmarks share: their settings from the environment and the trees they copy.
namespace bench {

// The whole number in the environment variable `name`, or `fallback` when it is not set.
inline int setting(const char* name, int fallback) {
    const QByteArray value = qgetenv(name);
    return value.isEmpty() ? fallback : value.toInt();
}

// `files` files of `minBytes` to `maxBytes` bytes below `root`, 50 per folder, the same sizes
// on every run.
inline void makeTree(const QString& root, int files, int minBytes, int maxBytes) {
    std::mt19937 random(42);
    std::uniform_int_distribution<int> size(minBytes, maxBytes);
    const QByteArray bytes(maxBytes, 'x');
    for (int i = 0; i < files; ++i) {
        const QString folder = QStringLiteral("%1/d%2").arg(root).arg(i / 50, 4, 10, QChar(u'0'));
        if (i % 50 == 0)
            QDir().mkpath(folder);
        QFile file(QStringLiteral("%1/f%2.dat").arg(folder).arg(i, 6, 10, QChar(u'0')));
        if (file.open(QIODevice::WriteOnly))
            file.write(bytes.constData(), size(random));
    }
}

} // namespace bench
