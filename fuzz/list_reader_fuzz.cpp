// libFuzzer target for the list file reader: any bytes must parse without a crash, report a
// sane error position, and whatever rows come back must survive a save and a second read.
#include "files/list_file.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>

// A failed expectation is a finding: say which and stop.
#define check(condition)                                                                           \
    do {                                                                                           \
        if (!(condition)) {                                                                        \
            std::fprintf(stderr, "%s:%d: %s\n", __FILE__, __LINE__, #condition);                   \
            std::abort();                                                                          \
        }                                                                                          \
    } while (false)

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArrayView bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const xcpy::ListReadResult result = xcpy::parseListFile(bytes);
    if (result.error) {
        check(result.error->kind == xcpy::ListReadError::Kind::InvalidBytes);
        check(result.error->line >= 1 &&
              result.error->line <= result.rows.size() + 1 + static_cast<qsizetype>(size));
        check(result.error->byteOffset >= 0 &&
              result.error->byteOffset < static_cast<qsizetype>(size));
        check(!result.error->message.isEmpty());
    }
    for (const xcpy::BatchEntry& row : result.rows) {
        check(!row.source.contains(u'\r') && !row.destination.contains(u'\r'));
        check(!row.source.contains(u'='));
        check(!row.source.startsWith(u' ') && !row.source.endsWith(u' '));
        check(!row.destination.startsWith(u' ') && !row.destination.endsWith(u' '));
    }
    // Rows read from a file write back (unless a character has no code page 932 form, as
    // after a UTF-8 byte-order mark) and read again unchanged.
    const xcpy::EncodedFile encoded = xcpy::encodeListFile(result.rows);
    if (encoded.ok()) {
        const xcpy::ListReadResult again = xcpy::parseListFile(encoded.bytes);
        check(!again.error);
        check(again.rows.size() == result.rows.size());
        for (qsizetype i = 0; i < again.rows.size(); ++i) {
            check(again.rows[i].source == result.rows[i].source);
            check(again.rows[i].destination == result.rows[i].destination);
        }
    } else {
        check(encoded.error->problem == xcpy::RowProblem::NotInCodePage932);
    }
    return 0;
}
