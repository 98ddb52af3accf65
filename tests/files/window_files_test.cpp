#include "support/window_fixture.h"

#include "companions/component_error.h"
#include "support/fuse_script.h"
#include "test_helpers.h"

namespace xcpy::test {
namespace {

class WindowFiles : public WindowTest {
protected:
    void SetUp() override {
        WindowTest::SetUp();
        qunsetenv("COMSPEC");
    }
    void TearDown() override { qunsetenv("COMSPEC"); }
    void loadSample() {
        load();
        window->OpenBatList(testData("sample.xcpy"));
        window->UpdateCommandState();
        ASSERT_EQ(rows(), 5);
    }
};

TEST_F(WindowFiles, save_failuresLeaveFileAndStateThenSuccessWritesGoldenBytesAndClearsFlag) {
    loadSample();
    const QString old = path("list.xcpy");
    writeBytes(old, "old=bytes\r\n");
    addPair("/絵文字😀", "/b"); // not in code page 932
    const QString target = makeFolder("out") + "/list.xcpy";
    fakes.prompt.fileChoices = {old, path("no/such/folder/list.xcpy"), target};
    window->SaveBatList();
    window->SaveBatList();
    ASSERT_EQ(errorRoutines(), QStringList({"SaveBatList", "SaveBatList"}));
    EXPECT_TRUE(fakes.prompt.errors[1].second.description.contains("保存先のフォルダ"));
    EXPECT_EQ(readBytes(old), "old=bytes\r\n");
    EXPECT_EQ(QDir(temp.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"list.xcpy"});
    EXPECT_TRUE(window->unsavedChanges());
    window->DeleteBatchEntry(); // the new row is current
    window->SaveBatList();
    // The dialog starts from the loaded list: the failed saves changed neither path nor folder.
    const CommonDialog& dialog = fakes.prompt.dialogs.last();
    EXPECT_EQ(QStringList({dialog.Filter, dialog.InitDir, dialog.FileName}),
              QStringList({"ﾊﾞｯﾁﾘｽﾄ(*.xcpy) | *.xcpy", XCPY_TEST_DATA, testData("sample.xcpy")}));
    EXPECT_EQ(fakes.prompt.dialogKinds.last(), FileDialogKind::Save);
    EXPECT_EQ(readBytes(target), readBytes(testData("sample.xcpy")));
    EXPECT_EQ(QDir(path("out")).entryList(QDir::Files | QDir::Hidden), QStringList{"list.xcpy"});
    EXPECT_EQ(panel("FileName")->text(), target);
    EXPECT_EQ(window->initDir(), path("out"));
    EXPECT_FALSE(window->unsavedChanges());
}

// Network and FUSE drives may report a full disk only when the data is synced or the file is
// closed: nothing may then be called saved, and the files there stay as they were.
TEST_F(WindowFiles, saveAndExport_toADiskThatFailsOnlyAtTheEnd_reportAndKeepTheOldFiles) {
    loadSample();
    addPair("/new", "/row");
    for (const char* failing : {"fsync", "flush", "fsyncdir"}) {
        SCOPED_TRACE(failing);
        QTemporaryDir backing, mountPoint;
        ASSERT_TRUE(writeBytes(backing.filePath("list.xcpy"), "old=list\r\n"));
        ASSERT_TRUE(writeBytes(backing.filePath("job.bat"), "old batch\r\n"));
        const FuseScript disk(
            XCPY_FAILING_FS, mountPoint.path().toStdString(),
            {backing.path().toStdString(), "--fail", failing, "--error", "ENOSPC"});
        if (!disk.unavailable.empty())
            GTEST_SKIP() << disk.unavailable;
        fakes.prompt.errors.clear();
        fakes.prompt.fileChoices = {mountPoint.filePath("list.xcpy"),
                                    mountPoint.filePath("job.bat")};
        EXPECT_FALSE(window->SaveBatList());
        window->CreateBatFile();

        ASSERT_EQ(errorRoutines(), QStringList({"SaveBatList", "CreateBatFile"}));
        for (const auto& [routine, error] : fakes.prompt.errors) {
            if (QString(failing) == "fsyncdir") // renamed already: the user is told to save again
                EXPECT_TRUE(error.description.contains("確かめられませんでした"))
                    << qPrintable(routine);
            else
                EXPECT_TRUE(error.description.contains("ディスクがいっぱい") &&
                            error.description.contains("元のファイルはそのまま"))
                    << qPrintable(routine);
        }
        if (QString(failing) != "fsyncdir") {
            EXPECT_EQ(readBytes(backing.filePath("list.xcpy")), "old=list\r\n");
            EXPECT_EQ(readBytes(backing.filePath("job.bat")), "old batch\r\n");
        }
        EXPECT_EQ(QDir(backing.path()).entryList(QDir::Files | QDir::Hidden),
                  QStringList({"job.bat", "list.xcpy"}));
        EXPECT_TRUE(window->unsavedChanges());
        EXPECT_EQ(panel("FileName")->text(), testData("sample.xcpy"));
        EXPECT_TRUE(panel("BatName")->text().isEmpty());
        EXPECT_TRUE(fakes.logLines.isEmpty()) << "a batch file not written is not logged";
    }
}

TEST_F(WindowFiles, open_refusesNonListsSilentlyAndFlagsAListReadInPart) {
    loadSample();
    makeFolder("dir.xcpy");
    writeBytes(path("list.txt"), "a=b\r\n");
    fakes.prompt.fileChoices = {std::nullopt};
    for (const QString& candidate : {QString(), path("list.txt"), path("missing.xcpy"),
                                     path("dir.xcpy"), QStringLiteral("\"\"")})
        window->OpenBatList(candidate);
    EXPECT_EQ(rows(), 5);
    EXPECT_EQ(panel("FileName")->text(), testData("sample.xcpy"));
    EXPECT_TRUE(fakes.prompt.errors.isEmpty());
    EXPECT_EQ(fakes.prompt.dialogKinds, QList<FileDialogKind>{FileDialogKind::Open});

    addPair("/a", "/b");
    writeBytes(path("My List.XCPY"), "/x=/y\r\n");
    window->OpenBatList("\"" + path("My List.XCPY") + "\"");
    ASSERT_EQ(rows(), 1);
    EXPECT_TRUE(window->unsavedChanges()) << "loading leaves the flag as it was";

    // Read in part, the list must not pass for the file: saving it would cut the file short.
    markSaved();
    writeBytes(path("bad.xcpy"), "/a=/b\r\n/c=/d\r\n/e=\x81\x20\r\n/f=/g\r\n");
    window->OpenBatList(path("bad.xcpy"));
    EXPECT_EQ(rows(), 2);
    ASSERT_EQ(errorRoutines(), QStringList("OpenBatList"));
    EXPECT_TRUE(fakes.prompt.errors[0].second.description.contains("3 行目の前まで"));
    EXPECT_EQ(panel("FileName")->text(), path("bad.xcpy"));
    EXPECT_TRUE(window->unsavedChanges());
}

// A folder text that could end the quoting or the line is refused before anything is asked.
TEST_F(WindowFiles, createBatFile_refusesUnsafeTextLogsOnlyWhatIsWrittenAndWritesGoldenBytes) {
    loadSample();
    window->InsertBatchEntry("/b", "/say\"hi", -1);
    window->CreateBatFile();
    window->ExecXCopy();
    const QString refusal = shownMessages().value(0);
    EXPECT_EQ(shownMessages(), QStringList({refusal, refusal}));
    EXPECT_TRUE(refusal.startsWith("6 行目の先フォルダ") &&
                refusal.endsWith("|48|" + exeBaseName()));
    EXPECT_TRUE(fakes.prompt.dialogs.isEmpty());
    EXPECT_FALSE(QFile::exists(path("x.bat")));
    window->DeleteBatchEntry(); // the new row is current

    fakes.prompt.fileChoices = {std::nullopt, path("no/such/x.bat"), path("backup.bat")};
    window->CreateBatFile();
    window->CreateBatFile();
    ASSERT_EQ(errorRoutines(), QStringList("CreateBatFile"));
    EXPECT_TRUE(fakes.logLines.isEmpty()) << "a cancelled or failed write logs nothing";
    EXPECT_TRUE(panel("BatName")->text().isEmpty());
    EXPECT_EQ(window->batDir(), QDir::currentPath());
    window->CreateBatFile();
    EXPECT_EQ(fakes.prompt.dialogs.last().InitDir, QDir::currentPath());
    EXPECT_EQ(readBytes(path("backup.bat")), readBytes(testData("sample-D-E.bat")));
    EXPECT_EQ(panel("BatName")->text(), path("backup.bat"));
    EXPECT_EQ(window->batDir(), temp.path());
    ASSERT_EQ(fakes.logLines.size(), 6);
    EXPECT_EQ(
        fakes.logLines.mid(0, 2),
        QStringList({"バッチ作成",
                     R"(XCopy.exe "C:\My Documents\Reports" "D:\Backup Drive\Reports" /D /E )"}));
}

TEST_F(WindowFiles, run_writesRunFileLogsRunsWhileFlagIsSetAndReportsAStartFailure) {
    loadSample();
    // "%" reaches the copy as the folder's own character, as in the exported batch file.
    window->InsertBatchEntry("/data/100%", "/backup/%USER%/50%", -1);
    const QByteArray percentLine = R"(XCopy.exe "/data/100%%" "/backup/%USER%/50%%" /D /E )";
    writeBytes(path("x.bat"), "old run file that is longer than nothing\r\n");
    fakes.prompt.messageAnswers = {msg::kAnswerCancel};
    window->ExecXCopy();
    EXPECT_EQ(shownMessages(), QStringList("XCOPY実行します|65|" + exeBaseName()));
    EXPECT_EQ(fakes.logLines + fakes.shell.commandLines, QStringList()) << "cancelled";

    bool runningDuringWait = false;
    QByteArray bytesDuringWait;
    fakes.shell.onRun = [&](const QString&) {
        runningDuringWait = window->copyRunning();
        bytesDuringWait = readBytes(path("x.bat"));
        return 4;
    };
    window->ExecXCopy();
    EXPECT_TRUE(runningDuringWait && !window->copyRunning());
    QByteArray expected = readBytes(testData("sample-x.bat"));
    expected.insert(expected.indexOf("PAUSE"), percentLine + "\r\n");
    EXPECT_EQ(bytesDuringWait, expected);
    EXPECT_EQ(readBytes(path("x.bat")), bytesDuringWait) << "the run file stays after the run";
    ASSERT_EQ(fakes.logLines.size(), 8);
    EXPECT_EQ(fakes.logLines[0], "XCOPY実行");
    EXPECT_EQ(fakes.logLines[5], R"(XCopy.exe "C:\" "D:\root copy\" /D /E )");
    EXPECT_EQ(fakes.logLines[6], percentLine);
    EXPECT_EQ(fakes.logLines[7], "XCOPY終了 終了コード 4") << "the result follows the lines";
    EXPECT_EQ(fakes.log.calls.filter("RunAndWait"),
              QStringList("ShellHelper.RunAndWait(" + QCoreApplication::applicationDirPath() +
                          "/xcpycmd /c " + path("x.bat") + ", 1, true)"));

    qputenv("COMSPEC", R"(C:\WINDOWS\system32\cmd.exe)");
    const QString spaced = makeFolder("Program Files");
    window->setRunFilesFolder(spaced);
    window->ExecXCopy();
    EXPECT_EQ(fakes.shell.commandLines.last(),
              R"(C:\WINDOWS\system32\cmd.exe /c ")" + spaced + "/x.bat\"");

    fakes.shell.onRun = [](const QString&) -> qint32 {
        throw ComponentError(53, QStringLiteral("cmd.exe を起動できません"));
    };
    window->ExecXCopy();
    ASSERT_EQ(errorRoutines(), QStringList("ExecXCopy"));
    EXPECT_EQ(fakes.prompt.errors[0].second.number, 53);
    EXPECT_FALSE(window->copyRunning());
    EXPECT_EQ(fakes.logLines.last(), "XCOPY実行できませんでした: cmd.exe を起動できません");
}

TEST_F(WindowFiles, duringRun_closeAndSecondRunAreRefusedOtherCommandsWork) {
    loadSample();
    window->show();
    fakes.shell.onRun = [&](const QString&) {
        window->showMaximized();
        window->showMinimized();
        EXPECT_FALSE(window->close());
        EXPECT_TRUE(fakes.log.calls.filter("WriteSetting").isEmpty()) << "a refused close";
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
    EXPECT_EQ(window->windowState(), Qt::WindowNoState) << "restored to the normal state";
    EXPECT_TRUE(window->close());
}

} // namespace
} // namespace xcpy::test
