#pragma once

#include <QString>

// A row whose text cannot go into a list or batch file, for the message box and for
// selecting the row.
namespace xcpy {

enum class RowField {
    Source,      // 元フォルダ
    Destination, // 先フォルダ
    Switches,    // the XCOPY switch string of a batch file; not part of any row
};

enum class RowProblem {
    NotInCodePage932, // the character has no code page 932 form
    BreaksListLine,   // a CR: it would end the line of the list file
    UnsafeInBatch,    // a double quote or control character: it would end the quoting or line
};

struct RowError {
    qsizetype row = 0; // 1-based; 0 when field is RowField::Switches
    RowField field = RowField::Source;
    char32_t character = 0;
    RowProblem problem = RowProblem::NotInCodePage932;

    // Japanese text for the user, naming the row, the field and the character.
    QString message() const;
};

// "元フォルダ", "先フォルダ" or "スイッチ".
QString fieldName(RowField field);

} // namespace xcpy
