#include "files/codepage.h"
#include "files/cp932_encoder.h"

#include <QString>
#include <gtest/gtest.h>

namespace xcpy {
namespace {

// The table must give iconv's bytes for every character it accepts, and refuse exactly those
// that iconv cannot convert or that would read back as another character.
TEST(Cp932Encoder, everyBmpCharacter_agreesWithIconvRoundTrip) {
    int accepted = 0;
    for (char32_t c = 1; c < 0x10000; ++c) {
        if (c >= 0xD800 && c <= 0xDFFF)
            continue;
        const QString text = QString::fromUcs4(&c, 1);
        QByteArray table;
        const bool tableAccepts = !appendCp932(text, table).has_value();
        const Conversion viaIconv = utf8ToCp932(text.toStdString());
        const bool roundTrips =
            viaIconv.ok() && cp932ToUtf8(viaIconv.text).text == text.toStdString();
        ASSERT_EQ(tableAccepts, roundTrips) << "U+" << std::hex << uint(c);
        if (tableAccepts) {
            ++accepted;
            ASSERT_EQ(table.toStdString(), viaIconv.text) << "U+" << std::hex << uint(c);
        } else if (viaIconv.ok()) {
            EXPECT_NE(cp932Lookalike(c), 0u) << "U+" << std::hex << uint(c);
        }
    }
    EXPECT_GT(accepted, 9000); // JIS X 0208, NEC and IBM extensions, ASCII and katakana
    QByteArray out("prefix");
    EXPECT_EQ(appendCp932(QStringLiteral("A表😀B"), out), 2); // stops at the unencodable index
    EXPECT_EQ(out, QByteArray("prefixA\x95\\"));
}

} // namespace
} // namespace xcpy
