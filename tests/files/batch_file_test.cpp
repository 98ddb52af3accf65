#include "files/batch_file.h"
#include "test_helpers.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <optional>

namespace xcpy {
namespace {

TEST(XCopyLine, foldersAndSwitches_joinedExactlyAsGiven) {
    EXPECT_EQ(MakeXCopyLine("C:\\My Documents\\Reports", "D:\\Backup Drive\\Reports", "/D /E "),
              QStringLiteral("XCopy.exe \"C:\\My Documents\\Reports\" \"D:\\Backup "
                             "Drive\\Reports\" /D /E "));
    EXPECT_EQ(MakeXCopyLine("C:\\データ", "D:\\", ""),
              QStringLiteral("XCopy.exe \"C:\\データ\" \"D:\\\" "));
    // Nothing is trimmed, escaped or tested.
    EXPECT_EQ(MakeXCopyLine(" a ", "%TEMP%", "/Y"),
              QStringLiteral("XCopy.exe \" a \" \"%TEMP%\" /Y"));
}

TEST(BatchFile, sampleRows_matchGoldenFilesByteForByte) {
    const EncodedFile copyLines = encodeBatchFile(sampleRows(), "/D /E ", BatchKind::CopyLines);
    ASSERT_TRUE(copyLines.ok()) << copyLines.error->message().toStdString();
    EXPECT_EQ(copyLines.bytes, readBytes(testData("sample-D-E.bat")));
    const EncodedFile runFile = encodeBatchFile(sampleRows(), "/D /E ", BatchKind::RunFile);
    ASSERT_TRUE(runFile.ok());
    EXPECT_EQ(runFile.bytes, readBytes(testData("sample-x.bat")));
}

TEST(BatchFile, emptyListAndEmptySwitches_giveExactBytes) {
    EXPECT_EQ(encodeBatchFile({}, "/D /E ", BatchKind::CopyLines).bytes, QByteArray());
    EXPECT_EQ(encodeBatchFile({}, "/D /E ", BatchKind::RunFile).bytes, QByteArray("PAUSE\r\n"));
    const QList<BatchEntry> rows = {{"C:\\表", "D:\\ﾃﾞｰﾀ", CheckMark::OK}};
    EXPECT_EQ(encodeBatchFile(rows, "", BatchKind::CopyLines).bytes,
              QByteArray("XCopy.exe \"C:\\\x95\\\" \"D:\\\xC3\xDE\xB0\xC0\" \r\n"));
}

TEST(BatchFile, unsafeCharacters_foundWithRowAndField) {
    struct Case {
        const char* name;
        QString source, destination;
        std::optional<RowField> field; // nullopt: safe
        char32_t character = 0;
    };
    const Case cases[] = {
        {"double quote in source", "C:\\a\" & del *.* & \"", "D:\\b", RowField::Source, U'"'},
        {"LF in destination", "C:\\a", "D:\\b\nformat c:", RowField::Destination, U'\n'},
        {"CR", "C:\\a\r", "D:\\b", RowField::Source, U'\r'},
        {"tab", "C:\\a", "D:\\\tb", RowField::Destination, U'\t'},
        {"NUL", QStringLiteral("C:\\a") + QChar(0), "D:\\b", RowField::Source, 0},
        {"DEL", "C:\\a\x7F", "D:\\b", RowField::Source, 0x7F},
        {"next line U+0085", "C:\\a", QStringLiteral("D:\\") + QChar(0x85), RowField::Destination,
         0x85},
        {"line separator U+2028", "C:\\a", QStringLiteral("D:\\") + QChar(0x2028),
         RowField::Destination, 0x2028},
        {"source before destination", "C:\\\"", "D:\\\n", RowField::Source, U'"'},
        {"percent, ampersand, caret and spaces are allowed", "C:\\%USERPROFILE%\\a&b^c", " D:\\x ",
         std::nullopt},
        {"ideographic space and Japanese are allowed", "C:\\　データ", "D:\\①", std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const QList<BatchEntry> rows = {{"C:\\ok", "D:\\ok", CheckMark::OK},
                                        {"C:\\ok", "D:\\ok", CheckMark::OK},
                                        {c.source, c.destination, CheckMark::OK},
                                        {"C:\\\"later", "D:\\ok", CheckMark::OK}};
        const std::optional<RowError> found = findUnsafeBatchText(rows);
        ASSERT_TRUE(found.has_value());
        if (!c.field) {
            EXPECT_EQ(found->row, 4);
            continue;
        }
        EXPECT_EQ(found->row, 3);
        EXPECT_EQ(found->field, *c.field);
        EXPECT_EQ(found->character, c.character);
        EXPECT_EQ(found->problem, RowProblem::UnsafeInBatch);
        const QString where = QStringLiteral("3 行目の") + fieldName(*c.field);
        EXPECT_TRUE(found->message().startsWith(where)) << found->message().toStdString();
    }
    EXPECT_FALSE(findUnsafeBatchText(sampleRows()).has_value());
}

TEST(BatchFile, rowsThatCannotBeWritten_refusedWithNothingProduced) {
    struct Case {
        const char* name;
        QList<BatchEntry> rows;
        QString switches;
        qsizetype row;
        RowField field;
        RowProblem problem;
    };
    const Case cases[] = {
        {"quote in destination",
         {{"C:\\a", "D:\\b", CheckMark::OK}, {"C:\\a", "D:\\\"", CheckMark::OK}},
         "/E ",
         2,
         RowField::Destination,
         RowProblem::UnsafeInBatch},
        {"unsafe row reported before an unencodable earlier row",
         {{"C:\\é", "D:\\b", CheckMark::OK}, {"C:\\\n", "D:\\b", CheckMark::OK}},
         "/E ",
         2,
         RowField::Source,
         RowProblem::UnsafeInBatch},
        {"outside code page 932 in destination",
         {{"C:\\a", "D:\\b", CheckMark::OK}, {"C:\\a", "D:\\😀", CheckMark::OK}},
         "/E ",
         2,
         RowField::Destination,
         RowProblem::NotInCodePage932},
        {"outside code page 932 in source",
         {{"C:\\é", "D:\\b", CheckMark::OK}},
         "/E ",
         1,
         RowField::Source,
         RowProblem::NotInCodePage932},
        {"line end in switches",
         {{"C:\\a", "D:\\b", CheckMark::OK}},
         "/E\r\nDEL *.*",
         0,
         RowField::Switches,
         RowProblem::UnsafeInBatch},
        {"switches outside code page 932",
         {{"C:\\a", "D:\\b", CheckMark::OK}},
         "/É",
         0,
         RowField::Switches,
         RowProblem::NotInCodePage932},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        for (BatchKind kind : {BatchKind::CopyLines, BatchKind::RunFile}) {
            const EncodedFile file = encodeBatchFile(c.rows, c.switches, kind);
            ASSERT_FALSE(file.ok());
            EXPECT_TRUE(file.bytes.isEmpty());
            EXPECT_EQ(file.error->row, c.row);
            EXPECT_EQ(file.error->field, c.field);
            EXPECT_EQ(file.error->problem, c.problem);
        }
    }
}

TEST(BatchFile, saveWithUnsafeRow_leavesOldFile) {
    QTemporaryDir dir;
    const QString path = dir.filePath("x.bat");
    ASSERT_TRUE(saveBatchFile(path, sampleRows(), "/D /E ", BatchKind::RunFile).ok());
    EXPECT_EQ(readBytes(path), readBytes(testData("sample-x.bat")));
    const FileWriteResult saved =
        saveBatchFile(path, {{"C:\\a\"", "D:\\b", CheckMark::OK}}, "/D /E ", BatchKind::RunFile);
    ASSERT_FALSE(saved.ok());
    ASSERT_TRUE(saved.rowError.has_value());
    EXPECT_EQ(saved.message, saved.rowError->message());
    EXPECT_EQ(readBytes(path), readBytes(testData("sample-x.bat")));
}

} // namespace
} // namespace xcpy
