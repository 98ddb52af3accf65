#pragma once

#include "batchlist/batch_entry.h"
#include "files/row_error.h"
#include "files/safe_write.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>

#include <optional>

// The list file (.xcpy): one "source=destination" line per row, each ended by CR LF, in code
// page 932.
namespace xcpy {

// File bytes made from rows, or the first row that cannot be put into the file (bytes are then
// empty: there is never a partial result).
struct EncodedFile {
    QByteArray bytes;
    std::optional<RowError> error;

    bool ok() const { return !error.has_value(); }
};

// The list file of rows, texts exactly as held. Refused, naming the row, field and character:
// a character outside code page 932 (NotInCodePage932) and a CR in either text, which would end
// the line (BreaksListLine). An "=" in a source is written as held, so reading the file back
// splits the pair at it. An empty list gives 0 bytes.
EncodedFile encodeListFile(const QList<BatchEntry>& rows);

struct ListReadError {
    enum class Kind {
        Unreadable,   // the file could not be opened or read (loadListFile only)
        InvalidBytes, // bytes that are not code page 932 (or not UTF-8 after a byte-order mark)
        SideTooLong,  // a side longer than kMaxSideLength: no folder path is that long
    };
    Kind kind = Kind::InvalidBytes;
    qsizetype line = 0;       // 1-based line where reading stopped; 0 for Unreadable
    qsizetype byteOffset = 0; // 0-based offset of the first bad byte in the file, BOM included
    QString message;          // Japanese text for the user; says how far the file was read
};

// The longest folder text a list file line may hold, in UTF-16 units: the longest path
// Windows accepts.
inline constexpr qsizetype kMaxSideLength = 32767;

// Rows read from a list file; on error, the rows of the lines before the bad line.
struct ListReadResult {
    QList<BatchEntry> rows;
    std::optional<ListReadError> error;

    bool ok() const { return !error.has_value(); }
};

// Reads list file bytes. A file starting with the UTF-8 byte-order mark is UTF-8, any other code
// page 932. Lines end at CR LF or a lone CR (an LF alone is text); the last needs no line end.
// Each line is split at its first "="; lines without one are skipped; ordinary spaces (U+0020
// only) around each text are removed. Rows come back with CheckMark::NG: folders are not tested.
// Reading stops, keeping the rows before, at the line of invalid bytes or of a side longer than
// kMaxSideLength.
ListReadResult parseListFile(QByteArrayView bytes);

// Reads the file at path and parses it as parseListFile does.
ListReadResult loadListFile(const QString& path);

// encodeListFile, then writeFileSafely. Nothing is written when a row is refused.
FileWriteResult saveListFile(const QString& path, const QList<BatchEntry>& rows);

} // namespace xcpy
