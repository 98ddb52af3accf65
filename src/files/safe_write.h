#pragma once

#include "common/write_cause.h"
#include "files/row_error.h"

#include <QByteArrayView>
#include <QString>

#include <functional>
#include <optional>

class QIODevice;

// Writing a file so that it is either wholly replaced or left exactly as it was.
namespace xcpy {

// Outcome of writing or saving a file. rowError is set when a row's text could not be put into
// the file at all (nothing was written then); message is the Japanese text for the user.
struct FileWriteResult {
    QString message;
    std::optional<RowError> rowError;

    bool ok() const { return message.isEmpty(); }
};

// Writes bytes to path through a temporary file in the same folder that replaces the target
// only once every byte has reached the disk: synced, and closed without an error from the file
// system. On failure the old file (if any) is untouched, no temporary file remains, and message
// names the cause: a missing folder, a missing permission, a read-only target or file system, a
// full disk or another write error (with the system's own text added). The folder is synced
// after the rename; when that fails the new file is in place, but it is not called saved.
FileWriteResult writeFileSafely(const QString& path, QByteArrayView bytes);

// Writes bytes to a device; returns a failed result to abandon the file.
using ByteProducer = std::function<FileWriteResult(QIODevice&)>;

// As above, with the bytes written piecewise by produce, so that a large file needs no copy in
// memory. When produce fails (a refused row, a write error), the target is left untouched.
FileWriteResult writeFileSafely(const QString& path, const ByteProducer& produce);

// Writes all of bytes to an open device, retrying short writes. On failure message names the
// cause that errno gives (a full disk, ...), with the device's error text; displayName names the
// file.
FileWriteResult writeAllBytes(QIODevice& device, QByteArrayView bytes, const QString& displayName);

} // namespace xcpy
