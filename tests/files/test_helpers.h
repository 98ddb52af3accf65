#pragma once

#include "batchlist/batch_entry.h"

#include <QByteArray>
#include <QFile>
#include <QList>
#include <QString>

#include <string>
#include <utility>
#include <vector>

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

// The rows of tests/data/sample.xcpy.
inline QList<BatchEntry> sampleRows() {
    return {
        {"C:\\My Documents\\Reports", "D:\\Backup Drive\\Reports", CheckMark::OK},
        {"C:\\データ\\報告書", "D:\\バックアップ\\報告書", CheckMark::OK},
        {"C:\\作業～一時", "E:\\保存①\\ﾃﾞｰﾀ", CheckMark::NG},
        {"\\\\server\\共有\\資料", "D:\\資料－控え", CheckMark::OK},
        {"C:\\", "D:\\root copy\\", CheckMark::OK},
    };
}

using TextPairs = std::vector<std::pair<std::string, std::string>>;

// Row texts as UTF-8 pairs, which gtest prints readably.
inline TextPairs textPairs(const QList<BatchEntry>& rows) {
    TextPairs pairs;
    for (const BatchEntry& row : rows)
        pairs.emplace_back(row.source.toStdString(), row.destination.toStdString());
    return pairs;
}

} // namespace xcpy
