#include "support/window_fixture.h"

#include "batchlist/batch_list_view.h"
#include "test_helpers.h"

namespace xcpy::test {
namespace {

class WindowFiles : public WindowTest {
protected:
    void loadSample() {
        load();
        window->OpenBatList(testData("sample.xcpy"));
        ASSERT_EQ(rows(), 5);
    }
};

TEST_F(WindowFiles, save_preparesDialogWritesGoldenBytesAndClearsFlag) {
    loadSample();
    addPair("/a", "/b");
    window->DeleteBatchEntry();
    ASSERT_TRUE(window->unsavedChanges());
    const QString target = makeFolder("out") + "/list.xcpy";
    fakes.prompt.fileChoices = {target};
    window->SaveBatList();
    const CommonDialog& dialog = fakes.prompt.dialogs.last();
    EXPECT_EQ(QStringList({dialog.Filter, dialog.InitDir, dialog.FileName}),
              QStringList({"ﾊﾞｯﾁﾘｽﾄ(*.xcpy) | *.xcpy", XCPY_TEST_DATA, testData("sample.xcpy")}));
    EXPECT_EQ(fakes.prompt.dialogKinds.last(), FileDialogKind::Save);
    EXPECT_EQ(readBytes(target), readBytes(testData("sample.xcpy")));
    EXPECT_EQ(panel("FileName")->text(), target);
    EXPECT_EQ(window->initDir(), path("out"));
    EXPECT_FALSE(window->unsavedChanges());
    EXPECT_TRUE(fakes.logLines.isEmpty()) << "saving a list is not logged";
}

TEST_F(WindowFiles, failedSave_reportsAndLeavesFileAndStateAsTheyWere) {
    load();
    const QString target = path("list.xcpy");
    writeBytes(target, "old=bytes\r\n");
    window->OpenBatList(target);
    addPair("/絵文字😀", "/b"); // not in code page 932
    const QString initDir = window->initDir();
    fakes.prompt.fileChoices = {target, path("no/such/folder/list.xcpy")};
    window->SaveBatList();
    window->SaveBatList();
    EXPECT_EQ(fakes.prompt.errors.size(), 2);
    EXPECT_EQ(fakes.prompt.errors.value(1).first, "SaveBatList");
    EXPECT_EQ(readBytes(target), "old=bytes\r\n");
    EXPECT_EQ(panel("FileName")->text(), target);
    EXPECT_EQ(window->initDir(), initDir);
    EXPECT_TRUE(window->unsavedChanges());
    EXPECT_EQ(QDir(temp.path()).entryList(QDir::Files), QStringList({"list.xcpy"}));
}

TEST_F(WindowFiles, open_refusesSilentlyWhatIsNoListFile) {
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
}

TEST_F(WindowFiles, open_quotedUpperCasePathLoadsKeepsTheFlagAndReportsBadBytes) {
    load();
    addPair("/a", "/b");
    writeBytes(path("My List.XCPY"), "  /x  =  /y=1  \r\nno pair\r\n");
    window->OpenBatList("\"" + path("My List.XCPY") + "\"");
    ASSERT_EQ(rows(), 1);
    EXPECT_EQ(destination(0), "/y=1");
    EXPECT_TRUE(window->unsavedChanges()) << "loading leaves the flag as it was";
    EXPECT_EQ(currentRow1Based(window->lsvBatList), 1);

    // Read in part, the list must not pass for the file: saving it would cut the file short.
    markSaved();
    writeBytes(path("bad.xcpy"), "/a=/b\r\n/c=/d\r\n/e=\x81\x20\r\n/f=/g\r\n");
    window->OpenBatList(path("bad.xcpy"));
    EXPECT_EQ(rows(), 2);
    ASSERT_EQ(fakes.prompt.errors.size(), 1);
    EXPECT_EQ(fakes.prompt.errors[0].first, "OpenBatList");
    EXPECT_TRUE(fakes.prompt.errors[0].second.description.contains("3 行目の前まで"));
    EXPECT_EQ(panel("FileName")->text(), path("bad.xcpy"));
    EXPECT_TRUE(window->unsavedChanges());

    markSaved(); // 50 MB on one line: refused at once, not shown as one huge folder
    writeBytes(path("huge.xcpy"), "/a=" + QByteArray(50 << 20, 'b') + "\n");
    window->OpenBatList(path("huge.xcpy"));
    EXPECT_EQ(rows(), 0);
    ASSERT_EQ(fakes.prompt.errors.size(), 2);
    EXPECT_TRUE(fakes.prompt.errors[1].second.description.contains("1 行目"));
    EXPECT_TRUE(window->unsavedChanges());
}

TEST_F(WindowFiles, createBatFile_cancelThenWriteGoldenBytesAndLogThem) {
    loadSample();
    fakes.prompt.fileChoices = {std::nullopt, path("backup.bat")};
    window->CreateBatFile();
    EXPECT_TRUE(fakes.logLines.isEmpty()) << "a cancelled dialog logs nothing";
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

TEST_F(WindowFiles, createBatFile_refusesUnsafeTextBeforeTheDialogButNotPercent) {
    load();
    addPair("/a", "/100%");
    window->InsertBatchEntry("/b", "/say\"hi", -1);
    window->CreateBatFile();
    window->DeleteBatchEntry(); // the new row is current
    ASSERT_EQ(shownMessages().size(), 1);
    EXPECT_TRUE(shownMessages()[0].startsWith("2 行目の先フォルダ") &&
                shownMessages()[0].contains("|48|"));
    EXPECT_TRUE(fakes.prompt.dialogs.isEmpty());

    fakes.prompt.fileChoices = {path("no/such/x.bat"), path("ok.bat")};
    window->CreateBatFile();
    EXPECT_EQ(fakes.prompt.errors.value(0).first, "CreateBatFile"); // logs nothing, keeps state
    EXPECT_EQ(fakes.prompt.errors.size(), 1);
    EXPECT_TRUE(fakes.logLines.isEmpty());
    EXPECT_TRUE(panel("BatName")->text().isEmpty());
    window->CreateBatFile();
    EXPECT_EQ(readBytes(path("ok.bat")), "XCopy.exe \"/a\" \"/100%%\" /D /E \r\n");
}

} // namespace
} // namespace xcpy::test
