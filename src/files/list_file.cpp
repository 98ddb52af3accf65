#include "files/list_file.h"

#include "files/codepage.h"
#include "files/cp932_encoder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>

#include <cstring>
#include <limits>
#include <string_view>

namespace xcpy {
namespace {

constexpr std::size_t utf8BomLength = 3;

// Index of the first character that would end the line of a list file. An "=" in a source is
// written as held: the format has no escape for it, and files of this format are read as such.
std::optional<qsizetype> findStructuralFault(QStringView text, RowProblem& problem) {
    const qsizetype cr = text.indexOf(u'\r');
    if (cr < 0)
        return std::nullopt;
    problem = RowProblem::BreaksListLine;
    return cr;
}

// Appends one text; on a fault returns the error of whichever problem comes first in the text.
std::optional<RowError> appendText(QStringView text, qsizetype row, RowField field,
                                   QByteArray& out) {
    RowProblem problem = RowProblem::NotInCodePage932;
    const std::optional<qsizetype> structural = findStructuralFault(text, problem);
    const std::optional<qsizetype> unencodable =
        appendCp932(structural ? text.left(*structural) : text, out);
    if (unencodable)
        return RowError{row, field, characterAt(text, *unencodable), RowProblem::NotInCodePage932};
    if (structural)
        return RowError{row, field, characterAt(text, *structural), problem};
    return std::nullopt;
}

// Encodes the rows into buffer, handing it to flush (which empties it) whenever it holds at least
// chunk bytes, and at the end. Stops early when flush returns false.
template <typename Flush>
std::optional<RowError> encodeRows(const QList<BatchEntry>& rows, qsizetype chunk,
                                   QByteArray& buffer, Flush&& flush) {
    for (qsizetype i = 0; i < rows.size(); ++i) {
        std::optional<RowError> error = appendText(rows[i].source, i + 1, RowField::Source, buffer);
        if (!error) {
            buffer.append('=');
            error = appendText(rows[i].destination, i + 1, RowField::Destination, buffer);
        }
        if (error)
            return error;
        buffer.append("\r\n", 2);
        if (buffer.size() >= chunk && !flush(buffer))
            return std::nullopt;
    }
    flush(buffer);
    return std::nullopt;
}

std::string_view trimSpaces(std::string_view text) {
    const std::size_t first = text.find_first_not_of(' ');
    if (first == std::string_view::npos)
        return {};
    return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

// Converts each text on its own. A U+FEFF at the start of a text is part of the folder name:
// QString::fromUtf8 would drop it as a byte-order mark.
class TextDecoder {
public:
    QString operator()(std::string_view utf8) {
        return decoder_.decode(QByteArrayView(utf8.data(), static_cast<qsizetype>(utf8.size())));
    }

private:
    QStringDecoder decoder_{QStringDecoder::Utf8, QStringDecoder::Flag::Stateless |
                                                      QStringDecoder::Flag::ConvertInitialBom};
};

// The length of UTF-8 text in UTF-16 units, without converting it.
qsizetype utf16Length(std::string_view utf8) {
    qsizetype units = 0;
    for (const char c : utf8) {
        const auto byte = static_cast<unsigned char>(c);
        units += (byte & 0xC0) != 0x80; // a character starts here
        units += byte >= 0xF0;          // beyond the BMP: a surrogate pair
    }
    return units;
}

// UTF-8 never takes fewer bytes than UTF-16 units, so short texts need no counting.
bool tooLongForAPath(std::string_view utf8) {
    return qsizetype(utf8.size()) > kMaxSideLength && utf16Length(utf8) > kMaxSideLength;
}

struct AddedRows {
    qsizetype endedLines = 0;             // lines read up to their line end
    std::optional<qsizetype> tooLongLine; // the 1-based line of a side over the limit
};

// Adds the rows of the UTF-8 text's lines. With completeLinesOnly, a last line without a line
// end is left out (it is where the bad bytes began). Stops at a side longer than kMaxSideLength.
AddedRows addRows(std::string_view text, bool completeLinesOnly, QList<BatchEntry>& rows) {
    TextDecoder toQString;
    AddedRows added;
    qsizetype& endedLines = added.endedLines;
    std::size_t pos = 0;
    while (pos < text.size()) {
        const std::size_t cr = text.find('\r', pos);
        const bool ended = cr != std::string_view::npos;
        if (!ended && completeLinesOnly)
            break;
        const std::size_t lineEnd = ended ? cr : text.size();
        const std::string_view line = text.substr(pos, lineEnd - pos);
        const std::size_t separator = line.find('=');
        if (separator != std::string_view::npos) {
            const std::string_view source = trimSpaces(line.substr(0, separator));
            const std::string_view destination = trimSpaces(line.substr(separator + 1));
            if (tooLongForAPath(source) || tooLongForAPath(destination)) {
                added.tooLongLine = endedLines + 1;
                break;
            }
            rows.append(BatchEntry{toQString(source), toQString(destination), CheckMark::NG});
        }
        pos = lineEnd;
        if (ended) {
            ++endedLines;
            pos += (pos + 1 < text.size() && text[pos + 1] == '\n') ? 2 : 1;
        }
    }
    return added;
}

// What the user must know before saving over a file that was read only in part.
QString readOnlyUpTo(qsizetype line) {
    return QStringLiteral(
               "ファイルは %1 行目の前までしか読み込まれていません。このまま同じファイルに"
               "保存すると、%1 行目から後の行は失われます。")
        .arg(line);
}

QString nothingRead() {
    return QStringLiteral("ファイルは読み込まれていません。このまま同じファイルに保存すると、"
                          "その内容は失われます。");
}

QString invalidBytesMessage(qsizetype line, qsizetype byteOffset, bool utf8) {
    const QString encoding =
        utf8 ? QStringLiteral("UTF-8") : QStringLiteral("Shift_JIS（コードページ 932）");
    return QStringLiteral("%1 行目（ファイルの %2 バイト目）に %3 として読めないバイトがあります。"
                          "ファイルが壊れているか、別の文字コードで保存されています。")
               .arg(line)
               .arg(byteOffset + 1)
               .arg(encoding) +
           readOnlyUpTo(line);
}

} // namespace

EncodedFile encodeListFile(const QList<BatchEntry>& rows) {
    qsizetype estimate = 0;
    for (const BatchEntry& entry : rows)
        estimate += 2 * (entry.source.size() + entry.destination.size()) + 3;
    EncodedFile result;
    result.bytes.reserve(estimate);
    const auto keep = [](QByteArray&) { return true; };
    if (std::optional<RowError> error =
            encodeRows(rows, std::numeric_limits<qsizetype>::max(), result.bytes, keep))
        return EncodedFile{{}, error};
    return result;
}

ListReadResult parseListFile(QByteArrayView bytes) {
    std::string_view raw(bytes.data(), static_cast<std::size_t>(bytes.size()));
    const bool utf8 = startsWithUtf8Bom(raw);
    const std::size_t skipped = utf8 ? utf8BomLength : 0;
    raw.remove_prefix(skipped);

    // One conversion of the whole file. CR and LF never occur inside a multibyte character of
    // either encoding, so lines can be found in the converted text.
    const Conversion text = utf8 ? checkedUtf8(raw) : cp932ToUtf8(raw);
    ListReadResult result;
    // The conversion stops at the first bad byte: the lines it completed before are sound.
    const AddedRows added = addRows(text.text, !text.ok(), result.rows);
    if (added.tooLongLine) {
        ListReadError error;
        error.kind = ListReadError::Kind::SideTooLong;
        error.line = *added.tooLongLine;
        error.message = QStringLiteral("%1 行目のフォルダが %2 文字を超えています。"
                                       "フォルダのパスとしては長すぎます。")
                            .arg(error.line)
                            .arg(kMaxSideLength) +
                        readOnlyUpTo(error.line);
        result.error = std::move(error);
    } else if (!text.ok()) {
        ListReadError error;
        error.kind = ListReadError::Kind::InvalidBytes;
        error.line = added.endedLines + 1;
        error.byteOffset = static_cast<qsizetype>(skipped + *text.errorOffset);
        error.message = invalidBytesMessage(error.line, error.byteOffset, utf8);
        result.error = std::move(error);
    }
    return result;
}

ListReadResult loadListFile(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        ListReadError error;
        error.kind = ListReadError::Kind::Unreadable;
        error.message = QStringLiteral("リストファイル「%1」を開けません（詳細: %2）。")
                            .arg(QDir::toNativeSeparators(path), file.errorString()) +
                        nothingRead();
        return ListReadResult{{}, std::move(error)};
    }
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        ListReadError error;
        error.kind = ListReadError::Kind::Unreadable;
        error.message = QStringLiteral("リストファイル「%1」を読み込めません（詳細: %2）。")
                            .arg(QDir::toNativeSeparators(path), file.errorString()) +
                        nothingRead();
        return ListReadResult{{}, std::move(error)};
    }
    return parseListFile(bytes);
}

FileWriteResult saveListFile(const QString& path, const QList<BatchEntry>& rows) {
    // Encoded in pieces straight into the temporary file: a large list needs no second copy.
    constexpr qsizetype chunk = 256 * 1024;
    const QString name = QDir::toNativeSeparators(QFileInfo(path).absoluteFilePath());
    return writeFileSafely(path, [&](QIODevice& device) {
        QByteArray buffer;
        buffer.reserve(chunk + 1024);
        FileWriteResult written;
        const auto write = [&](QByteArray& bytes) {
            written = writeAllBytes(device, bytes, name);
            bytes.resize(0);
            return written.ok();
        };
        if (std::optional<RowError> error = encodeRows(rows, chunk, buffer, write))
            return FileWriteResult{error->message(), error};
        return written;
    });
}

} // namespace xcpy
