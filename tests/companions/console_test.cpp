#include "companions/component_error.h"
#include "companions/console_window.h"
#include "companions/qt_shell_helper.h"
#include "companions/run_progress.h"
#include "files/batch_file.h"
#include "files/test_helpers.h"

#include <QDir>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPointer>
#include <QProgressBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <functional>

#include <gtest/gtest.h>

namespace xcpy {
namespace {

TEST(ConsoleWindow, splitCharactersFloodsAndAQuestionAnsweredNo_showAsTheyShould) {
    ConsoleWindow console(QStringLiteral("xcpycmd"), QStringLiteral("xcpycmd /c x.bat"));
    for (const char byte :
         QStringLiteral("上書きしますか (Yes/No/All)?\a\r\n見つかりません\n").toUtf8())
        console.appendOutput(QByteArray(1, byte));
    EXPECT_EQ(console.outputText(),
              QStringLiteral("上書きしますか (Yes/No/All)?\n見つかりません\n"));
    console.appendOutput(QByteArray("line\n").repeated(ConsoleWindow::kMaxLines - 1));
    console.outputText();
    EXPECT_LE(console.outputArea()->blockCount(), ConsoleWindow::kMaxLines);
    // A clean exit after a question answered No did not copy everything.
    console.appendProgress("line 1 1\nplan 2 10\ndone 1 4\n");
    EXPECT_TRUE(console.showResult(0).startsWith(
        QStringLiteral("コピーされなかったファイルがあります (終了コード 0), 1 / 2 ファイル")));
    EXPECT_EQ(console.progressBar()->property("state").toInt(), int(RunState::Partial));
}

class ShellHelperRun : public ::testing::Test {
protected:
    // Writes `bytes` to `name` in the temporary folder, making its folders, and returns its path.
    QString writeFile(const QString& name, const QByteArray& bytes) {
        const QString path = dir.filePath(name);
        QDir().mkpath(QFileInfo(path).path());
        EXPECT_TRUE(writeBytes(path, bytes)) << path.toStdString();
        return path;
    }

    // Writes an executable /bin/sh script and returns its command line with `args`.
    QString script(const QString& name, const QByteArray& body, const QString& args = {}) {
        const QString path = writeFile(name, "#!/bin/sh\n" + body + "\n");
        QFile::setPermissions(path, QFile::permissions(path) | QFileDevice::ExeOwner);
        const QString line = path.contains(u' ') ? u'"' + path + u'"' : path;
        return args.isEmpty() ? line : line + u' ' + args;
    }

    // Runs the command; `drive` acts on the console from inside the wait. A guard stops the
    // command if the test fails to end it, so a fault fails instead of hanging.
    qint32 run(const QString& commandLine, std::function<void(ConsoleWindow&)> drive = {}) {
        QObject scope;
        QObject::connect(&helper, &QtShellHelper::consoleShown, &scope, [&](ConsoleWindow* c) {
            console = c;
            if (drive)
                QTimer::singleShot(0, c, [&drive, c] { drive(*c); });
            QTimer::singleShot(15000, c, [c] {
                ADD_FAILURE() << "command left running";
                c->close();
                c->close();
            });
        });
        return helper.RunAndWait(commandLine, 1, true);
    }

    QTemporaryDir dir;
    QtShellHelper helper;
    QPointer<ConsoleWindow> console;
};

TEST_F(ShellHelperRun, promptAnsweredByTypedKey_outputStreamsAndExitStatusReturns) {
    const QString line =
        script(QStringLiteral("a b/ask.sh"), "printf 'Continue? '; x=$(head -c1); echo \"got $x\"\n"
                                             "echo 'エラー行' >&2; printf 'キーを押してください'\n"
                                             "head -c1 >/dev/null; exit 3");
    QString shown;
    const qint32 status = run(line, [&](ConsoleWindow& c) {
        EXPECT_EQ(c.windowTitle(), QStringLiteral("XCOPY実行中 - ask.sh"));
        EXPECT_EQ(c.progressBar()->maximum(), 0) << "busy: the script has no progress channel";
        ASSERT_TRUE(QTest::qWaitFor([&] { return c.outputText().contains("Continue? "); }));
        QTest::keyClick(c.outputArea(), 'y');
        ASSERT_TRUE(QTest::qWaitFor([&] { return c.outputText().contains("キーを押して"); }));
        shown = c.outputText();
        QTest::keyClick(c.outputArea(), Qt::Key_Space);
    });
    EXPECT_EQ(status, 3);
    // Error output stays where it was written, before the last prompt.
    EXPECT_TRUE(shown.startsWith(QStringLiteral("Continue? y")) &&
                shown.contains(QStringLiteral("got y\nエラー行\nキーを押して")))
        << shown.toStdString();
    // The result stays on screen.
    ASSERT_TRUE(console && console->isVisible());
    EXPECT_EQ(console->resultLine()->text(),
              QStringLiteral("コピーされなかったファイルがあります (終了コード 3)"));
    EXPECT_TRUE(helper.LastRunSummary().startsWith(console->resultLine()->text() +
                                                   QStringLiteral(", 所要時間 ")));
    QTest::keyClick(console->outputArea(), 'z');
    EXPECT_FALSE(console->outputText().endsWith(u'z')) << "typing after the end goes nowhere";
    // Quoted arguments arrive whole; a crash gives -1.
    EXPECT_EQ(run(script("count.sh", "exit $#", QStringLiteral("\"one two\" three a b"))), 4);
    EXPECT_EQ(console->resultLine()->text(), QStringLiteral("エラーで終了しました (終了コード 4)"));
    EXPECT_EQ(run(script("crash.sh", "kill -KILL $$")), -1);
    EXPECT_EQ(console->resultLine()->text(), QStringLiteral("エラーで終了しました (強制終了)"));
    EXPECT_EQ(console->progressBar()->property("state").toInt(), int(RunState::Failure));
}

// The batch writer's lines run by the real interpreter: a lone "%" names the folder it is in,
// a reference to a variable is expanded, and the progress channel feeds the summary.
TEST_F(ShellHelperRun, realInterpreter_copiesPercentFoldersWithCountsAndResult) {
    writeFile(QStringLiteral("src/a%b/one.txt"), QByteArray(1000, 'x'));
    writeFile(QStringLiteral("src/a%b/sub/two.txt"), QByteArray(1000, 'x'));
    qputenv("XCPY_TEST_ROOT", dir.path().toUtf8());
    const QString batch = dir.filePath("x.bat");
    ASSERT_TRUE(
        saveBatchFile(batch, {{"%XCPY_TEST_ROOT%/src/a%b", dir.filePath("dst/50%"), CheckMark::OK}},
                      "/D /E /I ", BatchKind::CopyLines)
            .ok());
    EXPECT_EQ(run(QStringLiteral(XCPY_BIN_DIR "/xcpycmd /c ") + batch), 0);
    ASSERT_FALSE(console.isNull());
    EXPECT_EQ(console->resultLine()->text(), QStringLiteral("正常に終了しました (終了コード 0)"));
    EXPECT_EQ(console->progressBar()->property("state").toInt(), int(RunState::Success));
    EXPECT_TRUE(
        helper.LastRunSummary().contains(QStringLiteral(", 2 / 2 ファイル, 0.0 / 0.0 MB, ")))
        << helper.LastRunSummary().toStdString();
    EXPECT_TRUE(QFile::exists(dir.filePath("dst/50%/sub/two.txt")))
        << console->outputText().toStdString();
}

TEST_F(ShellHelperRun, programMissingOrNotExecutable_throwsByCauseAndLeavesNoConsole) {
    const QString plain = writeFile(QStringLiteral("plain.bat"), {});
    const std::pair<QString, int> cases[] = {{dir.filePath("xcpycmd"), 53}, {plain, 70}};
    for (const auto& [program, number] : cases) {
        try {
            run(program + " /c x.bat");
            ADD_FAILURE() << "started: " << program.toStdString();
        } catch (const ComponentError& error) {
            EXPECT_EQ(error.number(), number);
            EXPECT_TRUE(error.description().contains(program)) << error.what();
        }
    }
    EXPECT_TRUE(console.isNull());
}

} // namespace
} // namespace xcpy
