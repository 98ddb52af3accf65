#include "files/batch_file.h"
#include "test_helpers.h"

#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <optional>

namespace xcpy {
namespace {

// The window asks the same check before its dialog; the message names the row and the field.
TEST(BatchFile, rowsThatCannotBeWritten_refusedWithRowFieldAndNothingProduced) {
    using enum RowProblem;
    using enum RowField;
    const struct {
        QString source, destination, switches;
        qsizetype row;
        RowField field;
        char32_t character;
        RowProblem problem;
    } cases[] = {
        {"C:\\a\" & del *.* & \"", "D:\\b", "", 2, Source, U'"', UnsafeInBatch},
        {"C:\\a", "D:\\b\nformat c:", "", 2, Destination, U'\n', UnsafeInBatch},
        {"C:\\a\r", "D:\\b", "", 2, Source, U'\r', UnsafeInBatch},
        {QStringLiteral("C:\\a") + QChar(0), "D:\\b", "", 2, Source, 0, UnsafeInBatch},
        {"C:\\a", QStringLiteral("D:\\") + QChar(0x2028), "", 2, Destination, 0x2028,
         UnsafeInBatch},
        {"C:\\\"", "D:\\\n", "", 2, Source, U'"', UnsafeInBatch},      // source first
        {"C:\\é", "C:\\\n", "", 2, Destination, U'\n', UnsafeInBatch}, // unsafe wins
        {"C:\\😀", "D:\\b", "", 2, Source, U'😀', NotInCodePage932},
        {"C:\\a", "D:\\é", "", 2, Destination, U'é', NotInCodePage932},
        {"C:\\a", "C:\\b", "/E\r\nDEL *.*", 0, Switches, U'\r', UnsafeInBatch},
        {"C:\\a", "C:\\b", "/É", 0, Switches, U'É', NotInCodePage932},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.source.toStdString() + " " + c.destination.toStdString());
        const QList<BatchEntry> rows = {{"C:\\ok", "D:\\ok", CheckMark::OK},
                                        {c.source, c.destination, CheckMark::OK},
                                        {"C:\\é", "D:\\later", CheckMark::OK}};
        for (BatchKind kind : {BatchKind::CopyLines, BatchKind::RunFile}) {
            const EncodedFile file = encodeBatchFile(rows, c.switches, kind);
            ASSERT_FALSE(file.ok());
            EXPECT_TRUE(file.bytes.isEmpty());
            const RowError& e = *file.error;
            EXPECT_EQ(std::tuple(e.row, e.field, e.character, e.problem),
                      std::tuple(c.row, c.field, c.character, c.problem));
            EXPECT_TRUE(!c.row || e.message().startsWith("2 行目の" + fieldName(c.field)));
        }
    }
    const QList<BatchEntry> twoUnsafe = {{"C:\\a", "D:\\\"", CheckMark::OK},
                                         {"C:\\\n", "D:\\b", CheckMark::OK}};
    EXPECT_EQ(findUnsafeBatchText(twoUnsafe)->row, 1) << "the first one is reported";
    // Percent signs, carets, ampersands and wide blanks are safe between the quotes.
    EXPECT_FALSE(findUnsafeBatchText({{"C:\\%USERPROFILE%\\a&b^c", " D:\\　x ", CheckMark::OK}}));
    EXPECT_FALSE(findUnsafeBatchText(sampleRows()).has_value());
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
    for (const char* file : {"src/100%/one.txt", "src/a%b/two.txt", "src/100/wrong.txt"})
        ASSERT_TRUE(writeBytes(root.filePath(file), {}));
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
