#include "files/row_error.h"

#include "files/cp932_encoder.h"

namespace xcpy {
namespace {

// 「X」（U+XXXX） for a printable character, only the code for a control or lone surrogate.
QString describeCharacter(char32_t c) {
    const QString code =
        QStringLiteral("U+") +
        QString::number(static_cast<uint>(c), 16).toUpper().rightJustified(4, u'0');
    const bool printable = c >= 0x20 && !(c >= 0x7F && c <= 0x9F) && !(c >= 0xD800 && c <= 0xDFFF);
    if (!printable)
        return QStringLiteral("（%1）").arg(code);
    return QStringLiteral("「%1」（%2）").arg(QString::fromUcs4(&c, 1), code);
}

} // namespace

QString fieldName(RowField field) {
    switch (field) {
    case RowField::Source:
        return QStringLiteral("元フォルダ");
    case RowField::Destination:
        return QStringLiteral("先フォルダ");
    case RowField::Switches:
        return QStringLiteral("スイッチ");
    }
    return {};
}

QString RowError::message() const {
    const QString where = field == RowField::Switches
                              ? fieldName(field)
                              : QStringLiteral("%1 行目の%2").arg(row).arg(fieldName(field));
    switch (problem) {
    case RowProblem::NotInCodePage932:
        if (const char32_t lookalike = cp932Lookalike(character))
            return QStringLiteral("%1の文字%2は Shift_JIS（コードページ 932）では%3として"
                                  "保存されてしまうため、保存できません。%3に置き換えてください。")
                .arg(where, describeCharacter(character), describeCharacter(lookalike));
        return QStringLiteral("%1の文字%2は Shift_JIS（コードページ 932）で表せないため、"
                              "保存できません。別の文字に置き換えてください。")
            .arg(where, describeCharacter(character));
    case RowProblem::BreaksListLine:
        return QStringLiteral("%1に改行文字%2が含まれているため、リストファイルに保存できません。")
            .arg(where, describeCharacter(character));
    case RowProblem::UnsafeInBatch:
        return QStringLiteral("%1に使えない文字（ダブルクォートまたは制御文字）が含まれています。"
                              "バッチファイルは作成できません。")
            .arg(where);
    }
    return {};
}

} // namespace xcpy
