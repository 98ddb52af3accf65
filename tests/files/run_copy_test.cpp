#include "support/window_fixture.h"

#include "companions/component_error.h"
#include "test_helpers.h"

namespace xcpy::test {
namespace {

class RunCopy : public WindowTest {
protected:
    void SetUp() override {
        WindowTest::SetUp();
        qunsetenv("COMSPEC");
        load();
        window->OpenBatList(testData("sample.xcpy"));
        window->UpdateCommandState();
    }
    void TearDown() override { qunsetenv("COMSPEC"); }
    QString runFile() const { return path("x.bat"); }
};

TEST_F(RunCopy, cancelOrUnsafeText_writeAndLogNothing) {
    fakes.prompt.messageAnswers = {msg::kAnswerCancel};
    window->ExecXCopy();
    window->InsertBatchEntry("/a\nDEL /Q C:\\", "/b", -1);
    window->ExecXCopy(); // refused before anything is asked
    const QStringList shown = shownMessages();
    ASSERT_EQ(shown.size(), 2);
    EXPECT_EQ(shown[0], "XCOPY実行します|65|" + exeBaseName());
    EXPECT_TRUE(shown[1].contains("元フォルダ"));
    EXPECT_FALSE(QFile::exists(runFile()));
    EXPECT_EQ(fakes.logLines + fakes.shell.commandLines, QStringList());
}

TEST_F(RunCopy, ok_writesRunFileLogsAndRunsInterpreterWhileFlagIsSet) {
    QFile stale(runFile());
    ASSERT_TRUE(stale.open(QIODevice::WriteOnly));
    stale.write("old run file that is longer than nothing\r\n");
    stale.close();
    bool runningDuringWait = false;
    QByteArray bytesDuringWait;
    fakes.shell.onRun = [&](const QString&) {
        runningDuringWait = window->copyRunning();
        bytesDuringWait = readBytes(runFile());
        return 4;
    };
    window->ExecXCopy();
    EXPECT_TRUE(runningDuringWait && !window->copyRunning());
    EXPECT_EQ(bytesDuringWait, readBytes(testData("sample-x.bat")));
    EXPECT_EQ(readBytes(runFile()), bytesDuringWait) << "the run file stays after the run";
    ASSERT_EQ(fakes.logLines.size(), 7);
    EXPECT_EQ(fakes.logLines[0], "XCOPY実行");
    EXPECT_EQ(fakes.logLines[5], R"(XCopy.exe "C:\" "D:\root copy\" /D /E )");
    EXPECT_EQ(fakes.logLines[6], "XCOPY終了 終了コード 4") << "the result follows the lines";
    EXPECT_EQ(fakes.log.calls.filter("RunAndWait"),
              QStringList("ShellHelper.RunAndWait(" + QCoreApplication::applicationDirPath() +
                          "/xcpycmd /c " + runFile() + ", 1, true)"));

    qputenv("COMSPEC", R"(C:\WINDOWS\system32\cmd.exe)");
    const QString spaced = makeFolder("Program Files");
    window->setRunFilesFolder(spaced);
    window->ExecXCopy();
    EXPECT_EQ(fakes.shell.commandLines.last(),
              R"(C:\WINDOWS\system32\cmd.exe /c ")" + spaced + "/x.bat\"");
}

TEST_F(RunCopy, duringRun_closeAndSecondRunAreRefusedOtherCommandsWork) {
    window->show();
    fakes.shell.onRun = [&](const QString&) {
        window->showMinimized();
        EXPECT_FALSE(window->close());
        window->ExecXCopy();
        window->mnuF[2]->trigger(); // Save keeps its rules during a run
        return 0;
    };
    fakes.prompt.fileChoices = {std::nullopt};
    window->ExecXCopy();
    const QString title = '|' + exeBaseName();
    EXPECT_EQ(shownMessages(),
              QStringList({"XCOPY実行します|65" + title, "コピー中です。終了できません|64|",
                           "コピー中です。実行できません|48" + title}));
    EXPECT_EQ(fakes.shell.commandLines.size(), 1);
    EXPECT_EQ(fakes.prompt.dialogs.size(), 1) << "the save dialog opened during the run";
    EXPECT_FALSE(window->isMinimized()) << "a minimized window is restored";
    EXPECT_TRUE(window->close());
}

TEST_F(RunCopy, interpreterThatCannotStart_isReportedAndFlagCleared) {
    fakes.shell.onRun = [](const QString&) -> qint32 {
        throw ComponentError(53, QStringLiteral("xcpycmd を起動できません"));
    };
    window->ExecXCopy();
    ASSERT_EQ(fakes.prompt.errors.size(), 1);
    EXPECT_EQ(fakes.prompt.errors[0].first, "ExecXCopy");
    EXPECT_EQ(fakes.prompt.errors[0].second.number, 53);
    EXPECT_FALSE(window->copyRunning());
    EXPECT_EQ(fakes.logLines.value(0), "XCOPY実行");
    EXPECT_EQ(fakes.logLines.value(fakes.logLines.size() - 1),
              "XCOPY実行できませんでした: xcpycmd を起動できません");
}

} // namespace
} // namespace xcpy::test
