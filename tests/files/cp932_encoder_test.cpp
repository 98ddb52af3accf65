#include "files/codepage.h"
#include "files/cp932_encoder.h"

#include <QString>
#include <gtest/gtest.h>

namespace xcpy {
namespace {

// Where code page 932 has two codes for a character, files must carry the one the system's own
// converter writes; both the table and iconv are held to fixed bytes.
TEST(Cp932Encoder, charactersWithTwoCodes_getTheSystemsChoice) {
    const std::pair<const char16_t*, QByteArray> cases[] = {
        {u"髙", "\xFB\xFC"}, {u"ⅰ", "\xFA\x40"},  {u"∵", "\x81\xE6"},  {u"￢", "\x81\xCA"},
        {u"Ⅰ", "\x87\x54"},  {u"㈱", "\x87\x8A"}, {u"≒", "\x81\xE0"},  {u"∫", "\x81\xE7"},
        {u"表", "\x95\x5C"}, {u"ｱ", "\xB1"},      {u"～", "\x81\x60"}, {u"①", "\x87\x40"},
    };
    for (const auto& [character, bytes] : cases) {
        const QString text = QString::fromUtf16(character);
        QByteArray table;
        EXPECT_FALSE(appendCp932(text, table).has_value()) << text.toStdString();
        EXPECT_EQ(table, bytes) << text.toStdString();
        EXPECT_EQ(utf8ToCp932(text.toStdString()).text, bytes.toStdString()) << text.toStdString();
        EXPECT_EQ(cp932ToUtf8(bytes.toStdString()).text, text.toStdString());
    }
    // Refused: characters that would read back as others, and those beyond the code page.
    QByteArray out("prefix");
    EXPECT_EQ(appendCp932(QStringLiteral("A表😀B"), out), 2);
    EXPECT_EQ(out, QByteArray("prefixA\x95\\"));
    for (const char16_t* refused : {u"¥", u"〜", u"é"})
        EXPECT_EQ(appendCp932(QString::fromUtf16(refused), out), 0);
    EXPECT_EQ(cp932Lookalike(U'〜'), U'～');
}

} // namespace
} // namespace xcpy
