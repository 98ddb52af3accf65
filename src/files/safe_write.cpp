#include "files/safe_write.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

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

QString nativeName(const QFileInfo& info) {
    return QDir::toNativeSeparators(info.absoluteFilePath());
}

// The error number of a write access check of path; 0 when it may be written.
int writeAccessError(const QString& path, int mode) {
    return ::access(QFile::encodeName(path).constData(), mode) == 0 ? 0 : errno;
}

// The message for a failure of the given cause: where is the folder or file the cause lies
// in, name the file being saved.
QString causeMessage(WriteCause cause, const QString& where, const QString& name) {
    switch (cause) {
    case WriteCause::MissingFolder:
        return QStringLiteral("保存先のフォルダ「%1」がないため、「%2」を保存できません。")
            .arg(where, name);
    case WriteCause::NoPermission:
        return QStringLiteral("「%1」に書き込む権限がないため、「%2」を保存できません。")
            .arg(where, name);
    case WriteCause::ReadOnlyFileSystem:
        return QStringLiteral(
                   "「%1」は読み取り専用のファイルシステムにあるため、「%2」を保存できません。")
            .arg(where, name);
    case WriteCause::DiskFull:
        return QStringLiteral("ディスクがいっぱいのため、「%1」を保存できませんでした。").arg(name);
    case WriteCause::Other:
        break;
    }
    return QStringLiteral("「%1」に書き込めませんでした。").arg(name);
}

FileWriteResult causeFailure(int errorNumber, const QString& where, const QString& name) {
    return failure(withDetail(causeMessage(writeCauseOf(errorNumber), where, name),
                              QString::fromLocal8Bit(std::strerror(errorNumber))));
}

// What the file system says when a descriptor of the open file is closed; 0 when all is well.
// Network and FUSE file systems may report a failed write only there, at their flush, which
// runs on every close; QSaveFile closes its file after the rename and ignores the answer.
int closeError(int fd) {
    const int duplicate = ::dup(fd);
    if (duplicate < 0)
        return errno;
    return ::close(duplicate) == 0 ? 0 : errno;
}

// Syncs the folder, which makes a rename in it durable; 0 when done or not supported.
int syncFolder(const QString& folder) {
    const int fd =
        ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return errno;
    const int error = ::fsync(fd) == 0 ? 0 : errno;
    ::close(fd);
    return error == EINVAL ? 0 : error;
}

} // namespace

FileWriteResult writeAllBytes(QIODevice& device, QByteArrayView bytes, const QString& displayName) {
    qsizetype written = 0;
    while (written < bytes.size()) {
        errno = 0;
        const qint64 n = device.write(bytes.data() + written, bytes.size() - written);
        if (n <= 0) {
            const int errorNumber = errno;
            return failure(
                withDetail(causeMessage(writeCauseOf(errorNumber), displayName, displayName),
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
    const QString name = nativeName(target);
    const QFileInfo folder(target.absolutePath());
    const QString folderName = nativeName(folder);

    // Causes that can be named before anything is written.
    if (!folder.exists()) {
        // A folder that could not even be made there is refused for the reason of its parent.
        const QString parent = nearestExistingFolder(folder.absoluteFilePath());
        if (const int error = writeAccessError(parent, W_OK | X_OK))
            return causeFailure(error, QDir::toNativeSeparators(parent), name);
        return causeFailure(ENOENT, folderName, name);
    }
    if (!folder.isDir())
        return failure(QStringLiteral("保存先の「%1」はフォルダではありません。").arg(folderName));
    if (target.isDir())
        return failure(
            QStringLiteral("「%1」は同じ名前のフォルダがあるため保存できません。").arg(name));
    // A rename would replace even a read-only file; respect the user's protection instead.
    if (target.exists()) {
        if (const int error = writeAccessError(path, W_OK)) {
            if (error == EROFS)
                return causeFailure(error, folderName, name);
            return failure(
                QStringLiteral("「%1」は読み取り専用か、書き込む権限がないため保存できません。")
                    .arg(name));
        }
    }
    if (const int error = writeAccessError(folder.absoluteFilePath(), W_OK | X_OK))
        return causeFailure(error, folderName, name);

    QSaveFile file(path);
    // Never fall back to writing over the target in place: a failure would then damage it.
    file.setDirectWriteFallback(false);
    // Unbuffered, every byte reaches the file system in write(), so a full disk shows there and
    // not in a final flush that the commit would not report.
    errno = 0;
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered)) {
        const int error = errno;
        if (writeCauseOf(error) != WriteCause::Other)
            return causeFailure(error, folderName, name);
        return failure(
            withDetail(QStringLiteral("「%1」を作成できません。").arg(name), file.errorString()));
    }
    // From here on a failure leaves an existing target as it was; the user is told so.
    const auto keepingOld = [&](FileWriteResult result) {
        if (target.exists() && !result.rowError)
            result.message += QStringLiteral("元のファイルはそのまま残っています。");
        return result;
    };
    if (FileWriteResult written = produce(file); !written.ok()) {
        file.cancelWriting();
        return keepingOld(written);
    }
    // Some file systems report a full disk only when the data is synced, or when the file is
    // closed; the commit's own sync ignores the one and its close comes after the rename.
    int error = ::fdatasync(file.handle()) == 0 || errno == EINVAL ? 0 : errno;
    if (!error)
        error = closeError(file.handle());
    if (error) {
        file.cancelWriting();
        return keepingOld(causeFailure(error, folderName, name));
    }
    errno = 0;
    if (!file.commit()) {
        error = errno;
        QString message = writeCauseOf(error) == WriteCause::Other
                              ? QStringLiteral("「%1」の保存を完了できませんでした。").arg(name)
                              : causeMessage(writeCauseOf(error), folderName, name);
        return keepingOld(failure(withDetail(message, file.errorString())));
    }
    // The new file has its name; it keeps it after a power cut only once the folder is synced.
    if ((error = syncFolder(folder.absoluteFilePath())))
        return failure(withDetail(
            QStringLiteral("「%1」を書き込みましたが、ディスクに残ったことを確かめられません"
                           "でした。もう一度保存してください。")
                .arg(name),
            QString::fromLocal8Bit(std::strerror(error))));
    return {};
}

} // namespace xcpy
