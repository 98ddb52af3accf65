#pragma once

#include <QByteArray>
#include <QStringView>

#include <optional>

// Fast code page 932 encoding straight from UTF-16, for files of many thousand rows. The
// character table is taken once from the same iconv converter that codepage.h uses, so both
// give the same bytes for every character accepted here. Unlike plain iconv, characters that
// would read back as another character (U+00A5 as the backslash, U+301C as U+FF5E, ...) are
// refused: a folder name must come back from a file exactly as it went in.
namespace xcpy {

// Appends the code page 932 bytes of text to out. Returns the index of the first UTF-16 unit
// that has no code page 932 form (characters beyond U+FFFF and lone surrogates never have
// one); out then holds the bytes of the units before it. Returns nullopt when all of text fits.
std::optional<qsizetype> appendCp932(QStringView text, QByteArray& out);

// For a character refused only because it would read back as another: that character (e.g.
// U+FF5E for U+301C); 0 otherwise.
char32_t cp932Lookalike(char32_t c);

// The character that starts at index in text: a surrogate pair gives its code point, a lone
// surrogate its own unit.
char32_t characterAt(QStringView text, qsizetype index);

} // namespace xcpy
