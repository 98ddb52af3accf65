#include "companions/component_error.h"
#include "companions/console_window.h"
#include "companions/qt_shell_helper.h"

#include <QApplication>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPointer>
#include <QProgressBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBlock>
#include <QTimer>

#include <functional>

#include <gtest/gtest.h>

namespace xcpy {
namespace {

class ShellHelperRun : public ::testing::Test {
protected:
    // Writes an executable /bin/sh script and returns its command line with `args`.
    QString script(const QString& name, const QByteArray& body, const QString& args = {}) {
        const QString path = dir.filePath(name);
        QDir().mkpath(QFileInfo(path).path());
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("#!/bin/sh\n" + body + "\n");
        file.setPermissions(file.permissions() | QFileDevice::ExeOwner);
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

    // Turns the event loop, without pausing it, until `done` holds.
    static bool waitUntil(const std::function<bool()>& done) {
        QEventLoop loop;
        QTimer poll;
        QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
            if (done())
                loop.quit();
        });
        poll.start(20);
        QTimer::singleShot(12000, &loop, &QEventLoop::quit);
        loop.exec();
        return done();
    }

    QTemporaryDir dir;
    QtShellHelper helper;
    QPointer<ConsoleWindow> console;
};

TEST_F(ShellHelperRun, promptAnsweredByTypedKey_outputStreamsAndExitStatusReturns) {
    const QString line = script(QStringLiteral("a b/ask.sh"), "printf 'Continue? '\n"
                                                              "x=$(head -c1)\n"
                                                              "echo \"got $x\"\n"
                                                              "echo 'エラー行' >&2\n"
                                                              "printf 'キーを押してください'\n"
                                                              "head -c1 >/dev/null\n"
                                                              "exit 3");
    QString shown;
    const qint32 status = run(line, [&](ConsoleWindow& c) {
        EXPECT_EQ(c.windowTitle(), QStringLiteral("XCOPY実行中 - ask.sh"));
        EXPECT_EQ(c.progressBar()->maximum(), 0) << "busy: the script has no progress channel";
        ASSERT_TRUE(waitUntil([&] { return c.outputText().contains("Continue? "); }));
        QTest::keyClick(c.outputArea(), 'y');
        ASSERT_TRUE(waitUntil([&] { return c.outputText().contains("キーを押して"); }));
        shown = c.outputText();
        QTest::keyClick(c.outputArea(), Qt::Key_Space);
    });
    EXPECT_EQ(status, 3);
    // Error output stays where it was written, before the last prompt.
    EXPECT_TRUE(shown.startsWith(QStringLiteral("Continue? y")) &&
                shown.contains(QStringLiteral("got y\nエラー行\nキーを押して")))
        << shown.toStdString();
    // The result stays on screen.
    ASSERT_FALSE(console.isNull());
    EXPECT_TRUE(console->isVisible());
    EXPECT_EQ(console->resultLine()->text(),
              QStringLiteral("コピーされなかったファイルがあります (終了コード 3)"));
    EXPECT_TRUE(helper.LastRunSummary().startsWith(console->resultLine()->text() +
                                                   QStringLiteral(", 所要時間 ")));
    QTest::keyClick(console->outputArea(), 'z');
    EXPECT_FALSE(console->outputText().endsWith(u'z')) << "typing after the end goes nowhere";
    // Quoted arguments arrive whole; a crash gives -1.
    EXPECT_EQ(run(script("count.sh", "exit $#", QStringLiteral("\"one two\" three"))), 2);
    EXPECT_EQ(run(script("crash.sh", "kill -KILL $$")), -1);
}

TEST_F(ShellHelperRun, realInterpreter_progressChannelFeedsCountsAndResult) {
    QDir(dir.path()).mkpath(QStringLiteral("src/sub"));
    for (const char* name : {"src/a.txt", "src/sub/b.txt"}) {
        QFile file(dir.filePath(QString::fromUtf8(name)));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(QByteArray(1000, 'x'));
    }
    QFile batch(dir.filePath(QStringLiteral("x.bat")));
    ASSERT_TRUE(batch.open(QIODevice::WriteOnly));
    batch.write("XCopy.exe \"" + dir.filePath("src").toUtf8() + "\" \"" +
                dir.filePath("dst").toUtf8() + "\" /D /E /I\r\n");
    batch.close();
    const qint32 status = run(QStringLiteral(XCPY_BIN_DIR "/xcpycmd /c ") + batch.fileName());
    EXPECT_EQ(status, 0);
    ASSERT_FALSE(console.isNull());
    EXPECT_EQ(console->resultLine()->text(), QStringLiteral("正常に終了しました (終了コード 0)"));
    EXPECT_TRUE(
        helper.LastRunSummary().contains(QStringLiteral(", 2 / 2 ファイル, 0.0 / 0.0 MB, ")))
        << helper.LastRunSummary().toStdString();
    EXPECT_TRUE(console->outputText().contains(QStringLiteral("2 個のファイルをコピーしました")));
}

TEST_F(ShellHelperRun, megabytesOfOutput_doNotStallAndAreaStaysBounded) {
    const QString line = script(QStringLiteral("flood.sh"), "yes " + QByteArray(99, 'x') +
                                                                " | head -n 100000\n"
                                                                "echo end\n"
                                                                "head -c1 >/dev/null");
    int blocks = 0;
    const qint32 status = run(line, [&](ConsoleWindow& c) {
        // Looks at what has been drawn only, so the test leaves the pace to the console.
        QTextDocument* doc = c.outputArea()->document();
        ASSERT_TRUE(waitUntil([&] { return doc->lastBlock().previous().text() == u"end"; }));
        blocks = c.outputArea()->blockCount();
        QTest::keyClick(c.outputArea(), Qt::Key_Return);
    });
    EXPECT_EQ(status, 0);
    EXPECT_GT(blocks, 1000);
    EXPECT_LE(blocks, ConsoleWindow::kMaxLines + 1);
}

TEST_F(ShellHelperRun, programMissingOrNotExecutable_throwsByCauseAndLeavesNoConsole) {
    const QString missing = dir.filePath(QStringLiteral("xcpycmd"));
    const QString plain = dir.filePath(QStringLiteral("plain.bat"));
    QFile(plain).open(QIODevice::WriteOnly);
    const std::pair<QString, int> cases[] = {{missing, 53}, {plain, 70}};
    bool shown = false;
    QObject::connect(&helper, &QtShellHelper::consoleShown, [&] { shown = true; });
    for (const auto& [program, number] : cases) {
        try {
            helper.RunAndWait(program + " /c x.bat", 1, true);
            ADD_FAILURE() << "started: " << program.toStdString();
        } catch (const ComponentError& error) {
            EXPECT_EQ(error.number(), number);
            EXPECT_TRUE(error.description().contains(program)) << error.what();
        }
    }
    EXPECT_FALSE(shown);
}

} // namespace
} // namespace xcpy
