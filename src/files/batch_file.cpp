#include "files/batch_file.h"

#include "files/cp932_encoder.h"

namespace xcpy {
namespace {

const QString linePrefix = QStringLiteral("XCopy.exe \"");
const QString betweenFolders = QStringLiteral("\" \"");

std::optional<qsizetype> findUnsafe(QStringView text) {
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (isUnsafeInBatch(text[i].unicode()))
            return i;
    }
    return std::nullopt;
}

bool isAsciiLetter(QChar c) {
    return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z');
}

bool continuesName(QChar c) {
    return isAsciiLetter(c) || (c >= u'0' && c <= u'9') || c == u'_' || c == u'(' || c == u')';
}

// The length of the reference %NAME% that starts at text[at], or 0 when none does.
qsizetype referenceLength(QStringView text, qsizetype at) {
    qsizetype end = at + 1;
    if (end >= text.size() || !(isAsciiLetter(text[end]) || text[end] == u'_'))
        return 0;
    while (end < text.size() && continuesName(text[end]))
        ++end;
    return end < text.size() && text[end] == u'%' ? end + 1 - at : 0;
}

} // namespace

QString escapePercents(QStringView folder) {
    QString out;
    out.reserve(folder.size());
    for (qsizetype i = 0; i < folder.size();) {
        if (folder[i] != u'%') {
            out += folder[i++];
        } else if (const qsizetype reference = referenceLength(folder, i)) {
            out += folder.mid(i, reference);
            i += reference;
        } else {
            out += QStringLiteral("%%");
            ++i;
        }
    }
    return out;
}

QString MakeXCopyLine(const QString& source, const QString& destination, const QString& xOption) {
    return linePrefix + escapePercents(source) + betweenFolders + escapePercents(destination) +
           QStringLiteral("\" ") + xOption;
}

bool isUnsafeInBatch(char32_t c) {
    return c == U'"' || c < 0x20 || (c >= 0x7F && c <= 0x9F) || c == 0x2028 || c == 0x2029;
}

std::optional<RowError> findUnsafeBatchText(const QList<BatchEntry>& rows) {
    for (qsizetype i = 0; i < rows.size(); ++i) {
        if (auto at = findUnsafe(rows[i].source))
            return RowError{i + 1, RowField::Source, characterAt(rows[i].source, *at),
                            RowProblem::UnsafeInBatch};
        if (auto at = findUnsafe(rows[i].destination))
            return RowError{i + 1, RowField::Destination, characterAt(rows[i].destination, *at),
                            RowProblem::UnsafeInBatch};
    }
    return std::nullopt;
}

EncodedFile encodeBatchFile(const QList<BatchEntry>& rows, const QString& xOption, BatchKind kind) {
    if (std::optional<RowError> unsafe = findUnsafeBatchText(rows))
        return EncodedFile{{}, unsafe};
    // The switch string is the program's own, but it must not break the line either.
    for (qsizetype i = 0; i < xOption.size(); ++i) {
        const char16_t c = xOption[i].unicode();
        if (c != u'"' && isUnsafeInBatch(c))
            return EncodedFile{{},
                               RowError{0, RowField::Switches, characterAt(xOption, i),
                                        RowProblem::UnsafeInBatch}};
    }
    QByteArray encodedSwitches;
    if (auto at = appendCp932(xOption, encodedSwitches))
        return EncodedFile{{},
                           RowError{0, RowField::Switches, characterAt(xOption, *at),
                                    RowProblem::NotInCodePage932}};

    EncodedFile result;
    for (qsizetype i = 0; i < rows.size(); ++i) {
        const QString line = MakeXCopyLine(rows[i].source, rows[i].destination, xOption);
        if (auto at = appendCp932(line, result.bytes)) {
            // Only the folders can fail here: the rest of the line is ASCII or already checked.
            const qsizetype inSource = *at - linePrefix.size();
            const bool source = inSource < escapePercents(rows[i].source).size();
            return EncodedFile{{},
                               RowError{i + 1, source ? RowField::Source : RowField::Destination,
                                        characterAt(line, *at), RowProblem::NotInCodePage932}};
        }
        result.bytes.append("\r\n", 2);
    }
    if (kind == BatchKind::RunFile)
        result.bytes.append("PAUSE\r\n", 7);
    return result;
}

FileWriteResult saveBatchFile(const QString& path, const QList<BatchEntry>& rows,
                              const QString& xOption, BatchKind kind) {
    const EncodedFile encoded = encodeBatchFile(rows, xOption, kind);
    if (!encoded.ok())
        return FileWriteResult{encoded.error->message(), encoded.error};
    return writeFileSafely(path, encoded.bytes);
}

} // namespace xcpy
