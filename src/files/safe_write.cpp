#include "files/safe_write.h"

#include <QDir>
#include <QFileInfo>
#include <QSaveFile>

namespace xcpy {
namespace {

FileWriteResult failure(const QString& message) {
    return FileWriteResult{message, std::nullopt};
}

QString withDetail(const QString& message, const QString& detail) {
    if (detail.isEmpty())
        return message;
    return message + QStringLiteral("（詳細: %1）").arg(detail);
}

} // namespace

FileWriteResult writeAllBytes(QIODevice& device, QByteArrayView bytes, const QString& displayName) {
    qsizetype written = 0;
    while (written < bytes.size()) {
        const qint64 n = device.write(bytes.data() + written, bytes.size() - written);
        if (n <= 0) {
            return failure(withDetail(
                QStringLiteral("「%1」に書き込めませんでした。ディスクの空き容量が足りないか、"
                               "書き込みに失敗しました。")
                    .arg(displayName),
                device.errorString()));
        }
        written += n;
    }
    return {};
}

FileWriteResult writeFileSafely(const QString& path, QByteArrayView bytes) {
    const QString name = QDir::toNativeSeparators(QFileInfo(path).absoluteFilePath());
    return writeFileSafely(path,
                           [&](QIODevice& device) { return writeAllBytes(device, bytes, name); });
}

FileWriteResult writeFileSafely(const QString& path, const ByteProducer& produce) {
    const QFileInfo target(path);
    const QString name = QDir::toNativeSeparators(target.absoluteFilePath());
    const QFileInfo folder(target.absolutePath());
    const QString folderName = QDir::toNativeSeparators(folder.absoluteFilePath());

    // Causes that can be named before anything is written.
    if (!folder.exists())
        return failure(QStringLiteral("保存先のフォルダ「%1」がありません。").arg(folderName));
    if (!folder.isDir())
        return failure(QStringLiteral("保存先の「%1」はフォルダではありません。").arg(folderName));
    if (target.isDir())
        return failure(
            QStringLiteral("「%1」は同じ名前のフォルダがあるため保存できません。").arg(name));
    // A rename would replace even a read-only file; respect the user's protection instead.
    if (target.exists() && !target.isWritable())
        return failure(
            QStringLiteral("「%1」は読み取り専用か、書き込む権限がないため保存できません。")
                .arg(name));

    QSaveFile file(path);
    // Never fall back to writing over the target in place: a failure would then damage it.
    file.setDirectWriteFallback(false);
    if (!file.open(QIODevice::WriteOnly)) {
        // QSaveFile reports a refused temporary file as a plain open error; ask the folder.
        if (file.error() == QFileDevice::PermissionsError || !folder.isWritable())
            return failure(withDetail(
                QStringLiteral("フォルダ「%1」に書き込む権限がないため、「%2」を保存できません。")
                    .arg(folderName, name),
                file.errorString()));
        return failure(
            withDetail(QStringLiteral("「%1」を作成できません。").arg(name), file.errorString()));
    }
    if (FileWriteResult written = produce(file); !written.ok()) {
        file.cancelWriting();
        return written;
    }
    if (!file.commit()) {
        QString message =
            QStringLiteral("「%1」の保存を完了できませんでした。ディスクの空き容量が足りないか、"
                           "書き込みに失敗しました。")
                .arg(name);
        if (target.exists())
            message += QStringLiteral("元のファイルはそのまま残っています。");
        return failure(withDetail(message, file.errorString()));
    }
    return {};
}

} // namespace xcpy
