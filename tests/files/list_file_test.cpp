#include "files/list_file.h"
#include "test_helpers.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <optional>
#include <string>

namespace xcpy {
namespace {

// The sample rows' bytes are checked where the window saves them.
TEST(ListFileWriter, rowsAreWrittenAsHeldByteForByte) {
    EXPECT_EQ(encodeListFile({}).bytes, QByteArray());
    // No quotes, no trimming; "=" and LF kept, though an "=" in a source splits on reading.
    const QList<BatchEntry> rows = {{"", "", CheckMark::NG},
                                    {" C:\\a ", "D:\\b=1\nx", CheckMark::NG},
                                    {"C:\\表ソ", "D:\\%TEMP%", CheckMark::NG},
                                    {"C:\\A=B", "D:\\X", CheckMark::OK}};
    const EncodedFile file = encodeListFile(rows);
    EXPECT_EQ(
        file.bytes,
        QByteArray("=\r\n C:\\a =D:\\b=1\nx\r\nC:\\\x95\\\x83\\=D:\\%TEMP%\r\nC:\\A=B=D:\\X\r\n"));
}

TEST(ListFileWriter, textTheFileCannotHold_refusedWithRowFieldAndCharacter) {
    const struct {
        QString source, destination;
        RowField field;
        char32_t character;
        RowProblem problem;
    } cases[] = {
        {"C:\\ok", "D:\\𠮷野家", RowField::Destination, U'𠮷', RowProblem::NotInCodePage932},
        {"C:\\¥data", "D:\\x", RowField::Source, U'¥', RowProblem::NotInCodePage932},
        {"C:\\x", "D:\\a\rb", RowField::Destination, U'\r', RowProblem::BreaksListLine},
        {"C:\\é\r", "D:\\x", RowField::Source, U'é', RowProblem::NotInCodePage932},
    };
    for (const auto& c : cases) {
        const QList<BatchEntry> rows = {{"C:\\first", "D:\\first", CheckMark::OK},
                                        {c.source, c.destination, CheckMark::OK},
                                        {"C:\\é", "D:\\later row", CheckMark::OK}};
        const EncodedFile file = encodeListFile(rows);
        ASSERT_FALSE(file.ok()) << c.source.toStdString();
        EXPECT_TRUE(file.bytes.isEmpty());
        const RowError& e = *file.error;
        EXPECT_EQ(std::tuple(e.row, e.field, e.character, e.problem),
                  std::tuple(qsizetype(2), c.field, c.character, c.problem));
        EXPECT_TRUE(
            file.error->message().contains(QStringLiteral("2 行目の") + fieldName(c.field)));
    }
    const EncodedFile file = encodeListFile({{"C:\\x", "D:\\作業〜", CheckMark::OK}});
    EXPECT_TRUE(file.error->message().contains(QStringLiteral("「～」"))) // names the substitute
        << file.error->message().toStdString();
}

// The reading stopped at `line`, and the message says so.
void expectReadUpTo(const ListReadResult& result, qsizetype line) {
    ASSERT_TRUE(result.error);
    EXPECT_EQ(result.error->line, line);
    EXPECT_TRUE(result.error->message.contains(
        QStringLiteral("%1 行目の前までしか読み込まれていません").arg(line)))
        << result.error->message.toStdString();
}

TEST(ListFileReader, trickyLines_followTheReadingRules) {
    const struct {
        std::string bytes;
        TextPairs rows;
        std::optional<qsizetype> errorLine = {};
        qsizetype errorOffset = 0;
    } cases[] = {
        {"", {}},
        {"  C:\\A  =  D:\\B=1  \r\n", {{"C:\\A", "D:\\B=1"}}}, // spaces, further "="
        {"=\r\n", {{"", ""}}},
        {"\r\nno equals\r\n\r\nC:\\a=D:\\b", {{"C:\\a", "D:\\b"}}},          // no final line end
        {"C:\\a=D:\\b\nC:\\c=D:\\d\n", {{"C:\\a", "D:\\b\nC:\\c=D:\\d\n"}}}, // LF-only: one line
        {"C:\\x=D:\\y\rC:\\z=D:\\w\r", {{"C:\\x", "D:\\y"}, {"C:\\z", "D:\\w"}}}, // CR alone
        {"a=b\r\r\nc=d", {{"a", "b"}, {"c", "d"}}},
        {"\xEF\xBB\xBF C:\\データ=D:\\x\r\n", {{"C:\\データ", "D:\\x"}}}, // UTF-8 after a BOM
        {"\x81\x40"
         "C:\\\x91\x53\x8A\x70=D:\\z\x81\x40",
         {{"　C:\\全角", "D:\\z　"}}}, // wide blanks are kept
        {"C:\\a=D:\\b\r\nC:\\c=D:\\d\r\nC:\\e=\x80\r\nC:\\f=D:\\g\r\n",
         {{"C:\\a", "D:\\b"}, {"C:\\c", "D:\\d"}},
         3,
         27}, // rows before an invalid byte kept
        {"\xFF=x\r\n", {}, 1, 0},
        {"a=b\r\nc=\x82", {{"a", "b"}}, 2, 7}, // lead byte cut off at the end
        {"\xEF\xBB\xBF"
         "a=b\r\nc=\xFF\r\n",
         {{"a", "b"}},
         2,
         10}, // the offset counts the mark
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.bytes);
        const ListReadResult result = parseListFile(QByteArray::fromStdString(c.bytes));
        EXPECT_EQ(textPairs(result.rows), c.rows);
        ASSERT_EQ(result.error.has_value(), c.errorLine.has_value());
        if (result.error) {
            EXPECT_EQ(result.error->byteOffset, c.errorOffset);
            expectReadUpTo(result, *c.errorLine);
            EXPECT_TRUE(result.error->message.contains(
                QStringLiteral("（ファイルの %1 バイト目）").arg(c.errorOffset + 1)));
        }
    }
    EXPECT_EQ(textPairs(loadListFile(testData("sample.xcpy")).rows), textPairs(sampleRows()));
}

TEST(ListFileReader, sideLongerThanTheLongestPath_endsTheReadingAtItsLine) {
    const std::string longest(kMaxSideLength, 'x');
    std::string wide; // kMaxSideLength characters of two bytes each
    for (qsizetype i = 0; i < kMaxSideLength; ++i)
        wide += "\x82\xA0";
    const struct {
        std::string bytes;
        qsizetype rows;
        std::optional<qsizetype> errorLine;
    } cases[] = {
        {"  " + longest + "  =" + wide + "\r\n", 1, std::nullopt}, // spaces and bytes not counted
        {"a=b\r\nno pair\r\n" + longest + "x=c\r\nd=e\r\n", 1, 3},
        {"a=b\nc=" + longest + "\n", 0, 1}, // LF-only lines are one line
        {"\xEF\xBB\xBF"
         "a=" +
             longest.substr(1) + "\xF0\x9F\x98\x80\r\n",
         0, 1}, // one character over the limit as a surrogate pair
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.bytes.substr(0, 12));
        const ListReadResult result = parseListFile(QByteArray::fromStdString(c.bytes));
        EXPECT_EQ(result.rows.size(), c.rows);
        ASSERT_EQ(result.error.has_value(), c.errorLine.has_value());
        if (result.error) {
            EXPECT_EQ(result.error->kind, ListReadError::Kind::SideTooLong);
            expectReadUpTo(result, *c.errorLine);
        }
    }
}

TEST(ListFile, saveThenLoad_givesTheSameRowsFarBeyond16BitLimits) {
    QTemporaryDir dir;
    QList<BatchEntry> rows = sampleRows();
    rows.append({"C:\\p\nq", "D:\\=x=", CheckMark::OK});
    rows.append({QString(kMaxSideLength, u'字'), "D:\\long", CheckMark::OK});
    for (int i = 0; i < 70000; ++i)
        rows.append(
            {QStringLiteral("C:\\元\\%1").arg(i), QStringLiteral("D:\\%1").arg(i), CheckMark::OK});
    const QString path = dir.filePath("list.xcpy");
    ASSERT_TRUE(saveListFile(path, rows).ok());
    EXPECT_EQ(textPairs(loadListFile(path).rows), textPairs(rows));
}

} // namespace
} // namespace xcpy
