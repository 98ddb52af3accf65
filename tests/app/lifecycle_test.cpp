#include "support/window_fixture.h"

namespace xcpy::test {
namespace {

using Lifecycle = WindowTest;

TEST_F(Lifecycle, formLoad_callsCompanionsInOrderWithDefaults) {
    load();
    const QString cwd = QDir::currentPath();
    QStringList calls = fakes.log.calls;
    ASSERT_EQ(calls.size(), 11);
    EXPECT_TRUE(calls[6].startsWith("SettingsStore.ToolbarHeight("));
    calls.removeAt(6);
    EXPECT_EQ(calls,
              QStringList({"SettingsStore.AttachWindow(frmXCopy)",
                           "SettingsStore.Section(" + exeBaseName() + ")",
                           "SettingsStore.ReadSetting(InitDir, " + cwd + ")",
                           "SettingsStore.ReadSetting(BatDir, " + cwd + ")",
                           "SettingsStore.ReadSetting(XOption, /D /E )",
                           "SettingsStore.ReadSetting(FileName, )",
                           "SettingsStore.StoreOption1(true)", "SettingsStore.StoreOption2(true)",
                           "RunLog.LogPath(" + temp.path() + "/X.log)", "RunLog.LogOption(true)"}));
    EXPECT_TRUE(fakes.prompt.messages.isEmpty());
    EXPECT_EQ(window->initDir(), cwd);
    EXPECT_EQ(window->xOption(), "/D /E ");
    EXPECT_FALSE(window->unsavedChanges());
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
    ASSERT_EQ(fakes.prompt.messages.size(), 1);
    EXPECT_EQ(fakes.prompt.messages[0].text, fakes.settingsWriteFailure);
    EXPECT_EQ(fakes.prompt.messages[0].style, msg::kIconExclamation);
    EXPECT_EQ(fakes.prompt.messages[0].title, exeBaseName());
}

struct CloseCase {
    const char* name;
    bool copyRunning, unsaved;
    std::deque<qint32> answers;
    bool closes;
    QString message; // "text|style|title", or empty for none
    bool saveDialogShown;
};

void PrintTo(const CloseCase& c, std::ostream* out) {
    *out << c.name;
}

class CloseRequest : public WindowTest, public ::testing::WithParamInterface<CloseCase> {};

TEST_P(CloseRequest, answersDecideTheClose) {
    const CloseCase& c = GetParam();
    load();
    if (c.unsaved)
        addPair(makeFolder("a"), makeFolder("b"));
    fakes.prompt.messageAnswers = c.answers;
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
    QStringList shown;
    for (const ShownMessage& m : fakes.prompt.messages)
        shown << QStringLiteral("%1|%2|%3").arg(m.text).arg(m.style).arg(m.title);
    EXPECT_EQ(shown.join(";"), c.message);
    EXPECT_EQ(!fakes.prompt.dialogs.isEmpty(), c.saveDialogShown);
    // Settings are written only by a close that went on.
    EXPECT_EQ(fakes.log.calls.filter("WriteSetting").isEmpty(), !c.closes);
}

const char* const kAsk = "バッチファイルに保存しますか？|67|";

INSTANTIATE_TEST_SUITE_P(
    Matrix, CloseRequest,
    ::testing::Values(
        CloseCase{"copyRunning", true, true, {}, false, "コピー中です。終了できません|64|", false},
        CloseCase{"unsavedCancel", false, true, {msg::kAnswerCancel}, false, kAsk, false},
        CloseCase{"unsavedYes", false, true, {msg::kAnswerYes}, true, kAsk, true},
        CloseCase{"unsavedNo", false, true, {msg::kAnswerNo}, true, kAsk, false},
        CloseCase{"nothingUnsaved", false, false, {}, true, "", false}),
    [](const auto& info) { return std::string(info.param.name); });

} // namespace
} // namespace xcpy::test
