#include "files/batch_file.h"
#include "test_helpers.h"

#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <optional>

namespace xcpy {
namespace {

// The sample rows' bytes are checked where the window writes them.
TEST(BatchFile, emptyListAndCodePageText_giveExactBytes) {
    EXPECT_EQ(encodeBatchFile({}, "/D /E ", BatchKind::CopyLines).bytes, QByteArray());
    EXPECT_EQ(encodeBatchFile({}, "/D /E ", BatchKind::RunFile).bytes, QByteArray("PAUSE\r\n"));
    const QList<BatchEntry> rows = {{"C:\\表", "D:\\ﾃﾞｰﾀ", CheckMark::OK}};
    EXPECT_EQ(encodeBatchFile(rows, "", BatchKind::CopyLines).bytes,
              QByteArray("XCopy.exe \"C:\\\x95\\\" \"D:\\\xC3\xDE\xB0\xC0\" \r\n"));
}

TEST(BatchFile, unsafeCharacters_foundWithRowAndField) {
    const struct {
        QString source, destination;
        std::optional<RowField> field; // nullopt: safe
        char32_t character = 0;
    } cases[] = {
        {"C:\\a\" & del *.* & \"", "D:\\b", RowField::Source, U'"'},
        {"C:\\a", "D:\\b\nformat c:", RowField::Destination, U'\n'},
        {"C:\\a\r", "D:\\b", RowField::Source, U'\r'},
        {QStringLiteral("C:\\a") + QChar(0), "D:\\b", RowField::Source, 0},
        {"C:\\a", QStringLiteral("D:\\") + QChar(0x2028), RowField::Destination, 0x2028},
        {"C:\\\"", "D:\\\n", RowField::Source, U'"'}, // the source before the destination
        {"C:\\%USERPROFILE%\\a&b^c", " D:\\　x ", std::nullopt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.source.toStdString());
        const QList<BatchEntry> rows = {{"C:\\ok", "D:\\ok", CheckMark::OK},
                                        {c.source, c.destination, CheckMark::OK},
                                        {"C:\\\"later", "D:\\ok", CheckMark::OK}};
        const std::optional<RowError> found = findUnsafeBatchText(rows);
        ASSERT_TRUE(found.has_value());
        EXPECT_EQ(found->row, c.field ? 2 : 3);
        if (!c.field)
            continue;
        EXPECT_EQ(found->field, *c.field);
        EXPECT_EQ(found->character, c.character);
        EXPECT_TRUE(found->message().startsWith(QStringLiteral("2 行目の") + fieldName(*c.field)))
            << found->message().toStdString();
    }
    EXPECT_FALSE(findUnsafeBatchText(sampleRows()).has_value());
}

TEST(BatchFile, rowsThatCannotBeWritten_refusedWithNothingProduced) {
    using enum RowProblem;
    const struct {
        QString first, second, switches;
        qsizetype row;
        RowField field;
        RowProblem problem;
    } cases[] = {
        {"C:\\é", "C:\\\n", "/E ", 2, RowField::Source, UnsafeInBatch}, // unsafe wins
        {"C:\\a", "C:\\😀", "/E ", 2, RowField::Source, NotInCodePage932},
        {"C:\\a", "C:\\b", "/E\r\nDEL *.*", 0, RowField::Switches, UnsafeInBatch},
        {"C:\\a", "C:\\b", "/É", 0, RowField::Switches, NotInCodePage932},
    };
    for (const auto& c : cases) {
        const QList<BatchEntry> rows = {{c.first, "D:\\b", CheckMark::OK},
                                        {c.second, "D:\\b", CheckMark::OK}};
        for (BatchKind kind : {BatchKind::CopyLines, BatchKind::RunFile}) {
            const EncodedFile file = encodeBatchFile(rows, c.switches, kind);
            ASSERT_FALSE(file.ok()) << c.switches.toStdString();
            EXPECT_TRUE(file.bytes.isEmpty());
            EXPECT_EQ(file.error->row, c.row);
            EXPECT_EQ(file.error->field, c.field);
            EXPECT_EQ(file.error->problem, c.problem);
        }
    }
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
    EXPECT_EQ(MakeXCopyLine("/a%", "%HOME%/b", "%X% "), "XCopy.exe \"/a%%\" \"%HOME%/b\" %X% ");
}

TEST(BatchFile, percentFolders_copiedByTheInterpreterWhereTheRowsSay) {
    QTemporaryDir temp;
    const QDir root(temp.path());
    for (const char* folder : {"src/100%", "src/a%b", "src/100", "cwd"})
        ASSERT_TRUE(root.mkpath(folder));
    for (const char* file : {"src/100%/one.txt", "src/a%b/two.txt", "src/100/wrong.txt"}) {
        QFile f(root.filePath(file));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    }
    const QList<BatchEntry> rows = {
        {root.filePath("src/100%"), root.filePath("dst/50%"), CheckMark::OK},
        {"%XCPY_TEST_ROOT%/src/a%b", "%XCPY_TEST_ROOT%/dst/ref", CheckMark::OK},
    };
    ASSERT_TRUE(
        saveBatchFile(root.filePath("copy.bat"), rows, "/E /I ", BatchKind::CopyLines).ok());

    QProcess interpreter;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("XCPY_TEST_ROOT", temp.path());
    interpreter.setProcessEnvironment(env);
    interpreter.setWorkingDirectory(root.filePath("cwd"));
    interpreter.start(XCPY_BIN_DIR "/xcpycmd", {"/c", root.filePath("copy.bat")});
    interpreter.closeWriteChannel();
    ASSERT_TRUE(interpreter.waitForFinished(10000));
    const QString output = QString::fromUtf8(interpreter.readAll());
    EXPECT_TRUE(QFile::exists(root.filePath("dst/50%/one.txt"))) << output.toStdString();
    EXPECT_TRUE(QFile::exists(root.filePath("dst/ref/two.txt"))) << output.toStdString();
    EXPECT_TRUE(QDir(root.filePath("cwd")).isEmpty()) << "nothing lands in the current folder";
}

} // namespace
} // namespace xcpy
