#include "files/batch_file.h"
#include "files/codepage.h"
#include "files/cp932_encoder.h"

#include <QStringList>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <optional>
#include <string>

namespace xcpy {
namespace {

// Rows as "source>destination|...", which gtest prints readably.
std::string joined(const QList<BatchEntry>& rows) {
    QStringList pairs;
    for (const BatchEntry& row : rows)
        pairs << row.source + '>' + row.destination;
    return pairs.join('|').toStdString();
}

// Where code page 932 has two codes for a character, files must carry the one the system's own
// converter writes; both the table and iconv are held to fixed bytes.
TEST(Cp932, charactersWithTwoCodes_getTheSystemsChoiceAndLookalikesAreRefused) {
    const std::pair<const char16_t*, QByteArray> cases[] = {
        {u"髙", "\xFB\xFC"}, {u"ⅰ", "\xFA\x40"},  {u"∵", "\x81\xE6"}, {u"￢", "\x81\xCA"},
        {u"Ⅰ", "\x87\x54"},  {u"㈱", "\x87\x8A"}, {u"≒", "\x81\xE0"}, {u"～", "\x81\x60"},
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
    QByteArray out;
    for (const char16_t* refused : {u"¥", u"〜", u"é", u"😀"})
        EXPECT_EQ(appendCp932(QString::fromUtf16(refused), out), 0);
}

// Nothing is produced for a refused row; the window asks the batch check before its dialog.
TEST(FileEncoding, textAFileCannotHold_refusedNamingRowFieldAndCharacter) {
    using enum RowProblem;
    using enum RowField;
    enum Writer { List, Batch, Run };
    const struct {
        Writer writer;
        QString source, destination, switches;
        qsizetype row;
        RowField field;
        char32_t character;
        RowProblem problem;
    } cases[] = {
        {List, "C:\\ok", "D:\\𠮷野家", "", 2, Destination, U'𠮷', NotInCodePage932},
        {List, "C:\\¥data", "D:\\x", "", 2, Source, U'¥', NotInCodePage932},
        {List, "C:\\x", "D:\\a\rb", "", 2, Destination, U'\r', BreaksListLine},
        {Batch, "C:\\a\" & del *.* & \"", "D:\\b", "", 2, Source, U'"', UnsafeInBatch},
        {Run, "C:\\a", "D:\\b\nformat c:", "", 2, Destination, U'\n', UnsafeInBatch},
        {Run, "C:\\é", "C:\\\n", "", 2, Destination, U'\n', UnsafeInBatch}, // unsafe wins
        {Batch, "C:\\😀", "D:\\b", "", 2, Source, U'😀', NotInCodePage932},
        {Run, "C:\\a", "C:\\b", "/E\r\nDEL *.*", 0, Switches, U'\r', UnsafeInBatch},
        {Batch, "C:\\a", "C:\\b", "/É", 0, Switches, U'É', NotInCodePage932},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.source.toStdString() + " " + c.destination.toStdString());
        const QList<BatchEntry> rows = {{"C:\\ok", "D:\\ok", CheckMark::OK},
                                        {c.source, c.destination, CheckMark::OK},
                                        {"C:\\é", "D:\\later", CheckMark::OK}};
        const EncodedFile file =
            c.writer == List
                ? encodeListFile(rows)
                : encodeBatchFile(rows, c.switches,
                                  c.writer == Run ? BatchKind::RunFile : BatchKind::CopyLines);
        ASSERT_FALSE(file.ok());
        EXPECT_TRUE(file.bytes.isEmpty());
        const RowError& e = *file.error;
        EXPECT_EQ(std::tuple(e.row, e.field, e.character, e.problem),
                  std::tuple(c.row, c.field, c.character, c.problem));
        EXPECT_TRUE(!c.row || e.message().startsWith("2 行目の" + fieldName(c.field)));
    }
    const EncodedFile file = encodeListFile({{"C:\\x", "D:\\作業〜", CheckMark::OK}});
    EXPECT_TRUE(file.error->message().contains(QStringLiteral("「～」"))) // names the substitute
        << file.error->message().toStdString();
    // Percent signs, carets, ampersands and wide blanks are safe between the quotes.
    EXPECT_FALSE(findUnsafeBatchText({{"C:\\%USERPROFILE%\\a&b^c", " D:\\　x ", CheckMark::OK}}));
}

TEST(BatchFile, percentSigns_doubledUnlessTheyOpenAReferenceInTheSameFolder) {
    const std::pair<QString, QString> cases[] = {
        {"/src/100%", "/src/100%%"},
        {"%USERPROFILE%\\Documents", "%USERPROFILE%\\Documents"},
        {"%_x(86)%/a%b", "%_x(86)%/a%%b"},
        {"%1%/%A B%/%%", "%%1%%/%%A B%%/%%%%"}, // no name: a digit, a blank, nothing
        {"%日本%", "%%日本%%"},
    };
    for (const auto& [folder, written] : cases)
        EXPECT_EQ(escapePercents(folder), written) << folder.toStdString();
}

TEST(ListFile, saveThenLoad_givesTheSameRowsFarBeyond16BitLimits) {
    QTemporaryDir dir;
    QList<BatchEntry> rows = {{"", "", CheckMark::OK},
                              {"C:\\ﾃﾞｰﾀ～①\\表ソ", "\\\\server\\共有", CheckMark::OK},
                              {"C:\\p\nq", "D:\\=x=", CheckMark::OK},
                              {QString(kMaxSideLength, u'字'), "D:\\long", CheckMark::OK}};
    for (int i = 0; i < 70000; ++i)
        rows.append(
            {QStringLiteral("C:\\元\\%1").arg(i), QStringLiteral("D:\\%1").arg(i), CheckMark::OK});
    const QString path = dir.filePath("list.xcpy");
    ASSERT_TRUE(saveListFile(path, rows).ok());
    EXPECT_EQ(joined(loadListFile(path).rows), joined(rows));
}

// A file read in part keeps the rows before the bad line, and the message says how far it got.
TEST(ListFileReader, trickyLines_followTheReadingRules) {
    const std::string longest(kMaxSideLength, 'x');
    std::string wide, wideText; // kMaxSideLength characters of two bytes each
    for (qsizetype i = 0; i < kMaxSideLength; ++i) {
        wide += "\x82\xA0";
        wideText += "あ";
    }
    const struct {
        std::string bytes;
        std::string rows;
        std::optional<qsizetype> errorLine = {};
        qsizetype errorOffset = 0;
    } cases[] = {
        {"  C:\\A  =  D:\\B=1  \r\n", "C:\\A>D:\\B=1"},                // spaces, further "="
        {"\r\nno equals\r\n=\r\nC:\\a=D:\\b", ">|C:\\a>D:\\b"},        // no final line end
        {"C:\\a=D:\\b\nC:\\c=D:\\d\n", "C:\\a>D:\\b\nC:\\c=D:\\d\n"},  // LF-only: one line
        {"C:\\x=D:\\y\rC:\\z=D:\\w\r\r\n", "C:\\x>D:\\y|C:\\z>D:\\w"}, // CR alone
        {"\xEF\xBB\xBF C:\\データ=D:\\x\r\n", "C:\\データ>D:\\x"},     // UTF-8 after a BOM
        {"\x81\x40"
         "C:\\\x91\x53=D:\\z\x81\x40",
         "　C:\\全>D:\\z　"},                                               // wide blanks kept
        {"  " + longest + "  =" + wide + "\r\n", longest + '>' + wideText}, // not over
        {"C:\\a=D:\\b\r\nC:\\c=D:\\d\r\nC:\\e=\x80\r\nC:\\f=D:\\g\r\n", "C:\\a>D:\\b|C:\\c>D:\\d",
         3, 27},
        {"a=b\r\nc=\x82", "a>b", 2, 7}, // lead byte cut off at the end
        {"a=b\r\nno pair\r\n" + longest + "x=c\r\nd=e\r\n", "a>b", 3},
        {"\xEF\xBB\xBF"
         "a=" +
             longest.substr(1) + "\xF0\x9F\x98\x80\r\n",
         "", 1}, // a pair over
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.bytes.substr(0, 40));
        const ListReadResult result = parseListFile(QByteArray::fromStdString(c.bytes));
        EXPECT_EQ(joined(result.rows), c.rows);
        ASSERT_EQ(result.error.has_value(), c.errorLine.has_value());
        if (!result.error)
            continue;
        EXPECT_EQ(result.error->line, *c.errorLine);
        EXPECT_TRUE(result.error->message.contains(
            QStringLiteral("%1 行目の前までしか読み込まれていません").arg(*c.errorLine)))
            << result.error->message.toStdString();
        EXPECT_TRUE(!c.errorOffset ||
                    result.error->message.contains(
                        QStringLiteral("（ファイルの %1 バイト目）").arg(c.errorOffset + 1)));
    }
}

} // namespace
} // namespace xcpy
