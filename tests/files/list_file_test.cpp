#include "files/list_file.h"
#include "test_helpers.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <optional>
#include <string>

namespace xcpy {
namespace {

QByteArray bytes(const std::string& text) {
    return QByteArray(text.data(), static_cast<qsizetype>(text.size()));
}

TEST(ListFileWriter, sampleRows_matchGoldenFileByteForByte) {
    const EncodedFile file = encodeListFile(sampleRows());
    ASSERT_TRUE(file.ok()) << file.error->message().toStdString();
    EXPECT_EQ(file.bytes, readBytes(testData("sample.xcpy")));
}

TEST(ListFileWriter, emptyListAndEmptyTexts_giveExactBytes) {
    EXPECT_TRUE(encodeListFile({}).ok());
    EXPECT_EQ(encodeListFile({}).bytes, QByteArray());
    // Texts are written as held: no quotes, no trimming, "=" and LF in a destination kept.
    const QList<BatchEntry> rows = {{"", "", CheckMark::NG},
                                    {" C:\\a ", "D:\\b=1\nx", CheckMark::NG},
                                    {"C:\\表ソ", "D:\\%TEMP%", CheckMark::NG}};
    EXPECT_EQ(encodeListFile(rows).bytes,
              bytes("=\r\n C:\\a =D:\\b=1\nx\r\nC:\\\x95\\\x83\\=D:\\%TEMP%\r\n"));
}

TEST(ListFileWriter, textTheFileCannotHold_refusedWithRowFieldAndCharacter) {
    const QString loneSurrogate = QStringLiteral("C:\\") + QChar(0xD800);
    struct Case {
        const char* name;
        QString source, destination;
        RowField field;
        char32_t character;
        RowProblem problem;
    };
    const Case cases[] = {
        {"outside code page 932", "C:\\ok", "D:\\𠮷野家", RowField::Destination, U'𠮷',
         RowProblem::NotInCodePage932},
        {"latin letter", "C:\\café", "D:\\x", RowField::Source, U'é', RowProblem::NotInCodePage932},
        {"lone surrogate", loneSurrogate, "D:\\x", RowField::Source, 0xD800,
         RowProblem::NotInCodePage932},
        {"yen sign would turn into a backslash", "C:\\¥data", "D:\\x", RowField::Source, U'¥',
         RowProblem::NotInCodePage932},
        {"wave dash would read back as fullwidth tilde", "C:\\x", "D:\\作業〜",
         RowField::Destination, U'〜', RowProblem::NotInCodePage932},
        {"CR ends the line", "C:\\x", "D:\\a\rb", RowField::Destination, U'\r',
         RowProblem::BreaksListLine},
        {"first problem in the text wins", "C:\\é\r", "D:\\x", RowField::Source, U'é',
         RowProblem::NotInCodePage932},
        {"CR before unencodable", "C:\\\ré", "D:\\x", RowField::Source, U'\r',
         RowProblem::BreaksListLine},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const QList<BatchEntry> rows = {{"C:\\first", "D:\\first", CheckMark::OK},
                                        {c.source, c.destination, CheckMark::OK},
                                        {"C:\\é", "D:\\later row", CheckMark::OK}};
        const EncodedFile file = encodeListFile(rows);
        ASSERT_FALSE(file.ok());
        EXPECT_TRUE(file.bytes.isEmpty());
        EXPECT_EQ(file.error->row, 2);
        EXPECT_EQ(file.error->field, c.field);
        EXPECT_EQ(file.error->character, c.character);
        EXPECT_EQ(file.error->problem, c.problem);
        const QString where = QStringLiteral("2 行目の") + fieldName(c.field);
        EXPECT_TRUE(file.error->message().contains(where)) << file.error->message().toStdString();
    }
    const EncodedFile file = encodeListFile({{"C:\\x", "D:\\作業〜", CheckMark::OK}});
    EXPECT_TRUE(file.error->message().contains(QStringLiteral("「～」"))) // names the substitute
        << file.error->message().toStdString();
}

TEST(ListFileReader, trickyLines_followTheReadingRules) {
    struct Case {
        const char* name;
        std::string bytes;
        TextPairs rows;
        std::optional<qsizetype> errorLine;
        qsizetype errorOffset = 0;
    };
    const Case cases[] = {
        {"empty file", "", {}, {}},
        {"spaces around both sides, further = in destination",
         "  C:\\A  =  D:\\B=1  \r\n",
         {{"C:\\A", "D:\\B=1"}},
         {}},
        {"= alone gives two empty texts", "=\r\n", {{"", ""}}, {}},
        {"blank lines and lines without = skipped, no final line end",
         "\r\nno equals\r\n\r\nC:\\a=D:\\b",
         {{"C:\\a", "D:\\b"}},
         {}},
        {"LF-only file is one line split at its first =",
         "C:\\a=D:\\b\nC:\\c=D:\\d\n",
         {{"C:\\a", "D:\\b\nC:\\c=D:\\d\n"}},
         {}},
        {"CR alone ends a line",
         "C:\\x=D:\\y\rC:\\z=D:\\w\r",
         {{"C:\\x", "D:\\y"}, {"C:\\z", "D:\\w"}},
         {}},
        {"CR CR LF: CR alone then CR LF", "a=b\r\r\nc=d", {{"a", "b"}, {"c", "d"}}, {}},
        {"tabs and ideographic spaces kept",
         "\t\x81\x40"
         "C:\\a\x81\x40 =\tD:\\b\t",
         {{"\t　C:\\a　", "\tD:\\b\t"}},
         {}},
        {"double quotes stay", "\"C:\\a\"=\"D:\\b\"", {{"\"C:\\a\"", "\"D:\\b\""}}, {}},
        {"code page 932 with a backslash trail byte",
         "C:\\\x95\\=D:\\\x83\\",
         {{"C:\\表", "D:\\ソ"}},
         {}},
        {"UTF-8 after a byte-order mark",
         "\xEF\xBB\xBF C:\\データ=D:\\x\r\n",
         {{"C:\\データ", "D:\\x"}},
         {}},
        {"U+FEFF starting a text is kept",
         "\xEF\xBB\xBF\xEF\xBB\xBF"
         "C:\\a=\xEF\xBB\xBF"
         "D:\\b",
         {{"\xEF\xBB\xBF"
           "C:\\a",
           "\xEF\xBB\xBF"
           "D:\\b"}},
         {}},
        {"invalid byte: rows before kept, line and offset reported",
         "C:\\a=D:\\b\r\nC:\\c=D:\\d\r\nC:\\e=\x80\r\nC:\\f=D:\\g\r\n",
         {{"C:\\a", "D:\\b"}, {"C:\\c", "D:\\d"}},
         3,
         27},
        {"invalid first byte", "\xFF=x\r\n", {}, 1, 0},
        {"invalid byte after a CR alone", "a=b\r\x80", {{"a", "b"}}, 2, 4},
        {"invalid byte after blank lines", "a=b\r\n\r\n\rx\xA0", {{"a", "b"}}, 4, 9},
        {"lead byte cut off at the end", "a=b\r\nc=\x82", {{"a", "b"}}, 2, 7},
        {"lead byte before CR", "a=b\r\nc=\x82\r\nd=e\r\n", {{"a", "b"}}, 2, 7},
        {"invalid UTF-8 after a byte-order mark, offset counts the mark",
         "\xEF\xBB\xBF"
         "a=b\r\nc=\xFF\r\n",
         {{"a", "b"}},
         2,
         10},
        {"UTF-8 surrogate after a byte-order mark",
         "\xEF\xBB\xBF"
         "a=\xED\xA0\x80",
         {},
         1,
         5},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const ListReadResult result = parseListFile(bytes(c.bytes));
        EXPECT_EQ(textPairs(result.rows), c.rows);
        for (const BatchEntry& row : result.rows)
            EXPECT_EQ(row.mark, CheckMark::NG);
        ASSERT_EQ(result.error.has_value(), c.errorLine.has_value());
        if (result.error) {
            EXPECT_EQ(result.error->kind, ListReadError::Kind::InvalidBytes);
            EXPECT_EQ(result.error->line, *c.errorLine);
            EXPECT_EQ(result.error->byteOffset, c.errorOffset);
            const QString expected = QStringLiteral("%1 行目（ファイルの %2 バイト目）")
                                         .arg(*c.errorLine)
                                         .arg(c.errorOffset + 1);
            EXPECT_TRUE(result.error->message.contains(expected))
                << result.error->message.toStdString();
        }
    }
}

TEST(ListFileReader, goldenFiles_giveTheirRows) {
    EXPECT_EQ(textPairs(loadListFile(testData("sample.xcpy")).rows), textPairs(sampleRows()));
    const ListReadResult cases = loadListFile(testData("reader-cases.xcpy"));
    EXPECT_FALSE(cases.error.has_value());
    const TextPairs expected = {{"C:\\A", "D:\\B=1"},
                                {"", ""},
                                {"C:\\x", "D:\\y"},
                                {"C:\\p\nq", "D:\\r"},
                                {"　C:\\全角", "D:\\z　"}};
    EXPECT_EQ(textPairs(cases.rows), expected);
}

TEST(ListFileReader, missingFile_reportedAsUnreadable) {
    const ListReadResult result = loadListFile(testData("no-such-file.xcpy"));
    ASSERT_TRUE(result.error.has_value());
    EXPECT_EQ(result.error->kind, ListReadError::Kind::Unreadable);
    EXPECT_TRUE(result.error->message.contains(QStringLiteral("no-such-file.xcpy")));
}

TEST(ListFile, saveThenLoad_givesTheSameRows) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    QList<BatchEntry> rows = sampleRows();
    rows.append({"C:\\p\nq", "D:\\=x=", CheckMark::OK});
    rows.append({"", "", CheckMark::OK});
    // Far beyond 16-bit limits: 70,000 rows and an "=" after 40,000 characters.
    rows.append({QString(40000, u'字'), "D:\\long", CheckMark::OK});
    for (int i = 0; i < 70000; ++i)
        rows.append({QStringLiteral("C:\\元\\%1").arg(i), QStringLiteral("D:\\先\\%1").arg(i),
                     CheckMark::OK});
    const QString path = dir.filePath("list.xcpy");
    const FileWriteResult saved = saveListFile(path, rows);
    ASSERT_TRUE(saved.ok()) << saved.message.toStdString();
    const ListReadResult loaded = loadListFile(path);
    EXPECT_FALSE(loaded.error.has_value());
    EXPECT_EQ(textPairs(loaded.rows), textPairs(rows));
}

TEST(ListFile, saveWithRefusedRow_leavesOldFileAndNamesRow) {
    QTemporaryDir dir;
    const QString path = dir.filePath("list.xcpy");
    ASSERT_TRUE(saveListFile(path, sampleRows()).ok());
    const QList<BatchEntry> rows = {{"C:\\a", "D:\\b", CheckMark::OK},
                                    {"C:\\😀", "D:\\b", CheckMark::OK}};
    const FileWriteResult saved = saveListFile(path, rows);
    ASSERT_FALSE(saved.ok());
    ASSERT_TRUE(saved.rowError.has_value());
    EXPECT_EQ(saved.rowError->row, 2);
    EXPECT_EQ(saved.message, saved.rowError->message());
    EXPECT_EQ(readBytes(path), readBytes(testData("sample.xcpy")));
}

} // namespace
} // namespace xcpy

namespace xcpy {
namespace {

TEST(ListFile, equalsSignInASource_isWrittenAsHeldAndSplitsOnReload) {
    const EncodedFile file = encodeListFile({{"C:\\A=B", "D:\\X", CheckMark::OK}});
    ASSERT_TRUE(file.ok());
    EXPECT_EQ(file.bytes, QByteArray("C:\\A=B=D:\\X\r\n"));
    const ListReadResult read = parseListFile(file.bytes);
    ASSERT_EQ(read.rows.size(), 1);
    EXPECT_EQ(read.rows[0].source, "C:\\A");
    EXPECT_EQ(read.rows[0].destination, "B=D:\\X");
}

} // namespace
} // namespace xcpy
