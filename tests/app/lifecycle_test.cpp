#include "support/window_fixture.h"

#include "app/modMain.h"
#include "files/test_helpers.h"

namespace xcpy::test {
namespace {

using Lifecycle = WindowTest;

TEST_F(Lifecycle, start_loadsTheListOfTheCommandLineElseTheRememberedOne) {
    ASSERT_TRUE(writeBytes(path("remembered.xcpy"), "/r=/s\r\n"));
    ASSERT_TRUE(writeBytes(path("My List.xcpy"), "/a=/b\r\n/c=/d\r\n"));
    fakes.settings["FileName"] = path("remembered.xcpy");
    // An unquoted path with a blank arrives as two arguments.
    startMainWindow(*window, {"xcpylist", path("My"), "List.xcpy"});
    EXPECT_EQ(rows(), 2);
    EXPECT_EQ(window->windowTitle(), "XCOPYバッチリストの作成と実行");
    EXPECT_TRUE(window->isVisible());
    // The command state follows the loaded list, whose last row is current.
    EXPECT_TRUE(button("Save")->isEnabled() && button("Up")->isEnabled());
    EXPECT_FALSE(button("Down")->isEnabled() || button("Add")->isEnabled());
    EXPECT_FALSE(window->unsavedChanges());
    const int column = window->lsvBatList->columnWidth(0);
    EXPECT_EQ(window->lsvBatList->columnWidth(1), column);
    EXPECT_NEAR(2 * column, window->lsvBatList->width(), 8) << "the columns share the list";

    // A command line that names no file loads nothing, not even the remembered list.
    window = std::make_unique<frmXCopy>(fakes);
    startMainWindow(*window, {"xcpylist", "\"" + path("missing.xcpy") + "\""});
    EXPECT_EQ(rows(), 0);
    window = std::make_unique<frmXCopy>(fakes);
    startMainWindow(*window, {"xcpylist"});
    EXPECT_EQ(source(0), "/r");
    EXPECT_EQ(window->batDir(), QDir::currentPath());
    EXPECT_EQ(window->xOption(), "/D /E ");
    EXPECT_TRUE(fakes.prompt.messages.isEmpty());
}

TEST_F(Lifecycle, formUnload_writesFourSettingsWithFileNameFromPanel) {
    fakes.settings = {{"InitDir", "/a"}, {"BatDir", "/b"}, {"XOption", "/E "}};
    load();
    panel("FileName")->setText("/lists/job.xcpy");
    fakes.log.calls.clear();
    ASSERT_TRUE(window->close());
    EXPECT_EQ(fakes.log.calls, QStringList({"SettingsStore.WriteSetting(InitDir, /a)",
                                            "SettingsStore.WriteSetting(BatDir, /b)",
                                            "SettingsStore.WriteSetting(XOption, /E )",
                                            "SettingsStore.WriteSetting(FileName, <FileName>)"}));
    EXPECT_EQ(fakes.settings["FileName"], "/lists/job.xcpy");
}

TEST_F(Lifecycle, settingsNotStored_areReportedOnceAtExitAndTheCloseGoesOn) {
    fakes.settingsWriteFailure = QStringLiteral("設定を保存できませんでした。\n/c/xcpylist.ini");
    load();
    ASSERT_TRUE(window->close());
    EXPECT_EQ(fakes.log.calls.filter("WriteSetting").size(), 4);
    EXPECT_EQ(shownMessages(), QStringList{fakes.settingsWriteFailure + "|48|" + exeBaseName()});
}

struct CloseCase {
    const char* name;
    bool copyRunning, unsaved;
    std::deque<qint32> answers;
    bool saveSucceeds; // the save dialog gets a file name, else it is cancelled
    bool closes;
    QString message; // "text|style|title", or empty for none
    bool saveDialogShown;
};

class CloseRequest : public WindowTest, public ::testing::WithParamInterface<CloseCase> {};

TEST_P(CloseRequest, answersDecideTheClose) {
    const CloseCase& c = GetParam();
    load();
    if (c.unsaved)
        addPair(makeFolder("a"), makeFolder("b"));
    fakes.prompt.messageAnswers = c.answers;
    if (c.saveSucceeds)
        fakes.prompt.fileChoices = {path("saved.xcpy")};
    bool closed = false;
    if (c.copyRunning) {
        fakes.prompt.messageAnswers.push_front(msg::kAnswerOk); // the run's confirmation
        fakes.shell.onRun = [&](const QString&) { return closed = window->close(), 0; };
        window->ExecXCopy();
        fakes.prompt.messages.removeFirst();
    } else {
        closed = window->close();
    }
    EXPECT_EQ(closed, c.closes);
    EXPECT_EQ(shownMessages().join(";"), c.message);
    EXPECT_EQ(!fakes.prompt.dialogs.isEmpty(), c.saveDialogShown);
    // Settings are written only by a close that went on.
    EXPECT_EQ(fakes.log.calls.filter("WriteSetting").isEmpty(), !c.closes);
}

const char* const kAsk = "バッチファイルに保存しますか？|67|";

INSTANTIATE_TEST_SUITE_P(
    Matrix, CloseRequest,
    ::testing::Values(
        CloseCase{
            "copyRunning", true, true, {}, false, false, "コピー中です。終了できません|64|", false},
        CloseCase{"unsavedCancel", false, true, {msg::kAnswerCancel}, false, false, kAsk, false},
        CloseCase{"unsavedYes", false, true, {msg::kAnswerYes}, true, true, kAsk, true},
        CloseCase{
            "unsavedYesSaveCancelled", false, true, {msg::kAnswerYes}, false, false, kAsk, true},
        CloseCase{"unsavedNo", false, true, {msg::kAnswerNo}, false, true, kAsk, false},
        CloseCase{"nothingUnsaved", false, false, {}, false, true, "", false}),
    [](const auto& info) { return std::string(info.param.name); });

} // namespace
} // namespace xcpy::test
