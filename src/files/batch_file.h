#pragma once

#include "batchlist/batch_entry.h"
#include "files/list_file.h"
#include "files/row_error.h"
#include "files/safe_write.h"

#include <QList>
#include <QString>

#include <optional>

// Batch files of XCOPY lines, in code page 932.
namespace xcpy {

// The folder text as a batch line must hold it to name that folder: every "%" doubled, except
// where it opens a reference %NAME% closed within the same text (NAME: an ASCII letter or "_",
// then letters, digits, "_", "(" or ")"), which the interpreter expands as the user meant.
QString escapePercents(QStringView folder);

// XCopy.exe "source" "destination" xOption — the folders through escapePercents, otherwise
// nothing escaped, trimmed or tested; the switches as given.
QString MakeXCopyLine(const QString& source, const QString& destination, const QString& xOption);

enum class BatchKind {
    CopyLines, // the exported batch file: one XCOPY line per row
    RunFile,   // the file the copy runs from (x.bat): the same lines, then PAUSE
};

// True for characters that would end a quoted folder or the line in a batch file: the double
// quote, the C0 controls U+0000-U+001F, DEL and the C1 controls U+0080-U+009F (U+0085 among
// them), and the line and paragraph separators U+2028/U+2029. The last ones have no code page
// 932 form anyway; naming them here gives the clearer message. "%" is allowed on purpose.
bool isUnsafeInBatch(char32_t c);

// The first row and field (source before destination) holding an unsafe character, as a
// RowError with RowProblem::UnsafeInBatch; nullopt when every row is safe.
std::optional<RowError> findUnsafeBatchText(const QList<BatchEntry>& rows);

// The batch file bytes: MakeXCopyLine of each row in list order, each ended by CR LF, and for
// the run file a final "PAUSE" CR LF. Refused, with nothing produced: an unsafe character in a
// row (as findUnsafeBatchText) or a control character in xOption (field Switches, row 0), and a
// character outside code page 932 (NotInCodePage932, naming row and field, or Switches).
EncodedFile encodeBatchFile(const QList<BatchEntry>& rows, const QString& xOption, BatchKind kind);

// encodeBatchFile, then writeFileSafely. Nothing is written when a row is refused.
FileWriteResult saveBatchFile(const QString& path, const QList<BatchEntry>& rows,
                              const QString& xOption, BatchKind kind);

} // namespace xcpy
