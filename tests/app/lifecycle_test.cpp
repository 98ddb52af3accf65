#include "support/window_fixture.h"

#include "companions/prompt_box.h"

#include <QDir>
#include <QLabel>
#include <QStatusBar>

namespace xcpy::test {
namespace {

using Lifecycle = WindowTest;

TEST_F(Lifecycle, formLoad_callsCompanionsInOrderWithDefaults) {
    load();
    const QString cwd = QDir::currentPath();
    QStringList expected = {
        "SettingsStore.AttachWindow(frmXCopy)",
        "SettingsStore.Section(" + exeBaseName() + ")",
        "SettingsStore.ReadSetting(InitDir, " + cwd + ")",
        "SettingsStore.ReadSetting(BatDir, " + cwd + ")",
        "SettingsStore.ReadSetting(XOption, /D /E )",
        "SettingsStore.ReadSetting(FileName, )",
    };
    const QStringList settingsCalls = fakes.log.of("SettingsStore");
    ASSERT_EQ(settingsCalls.size(), 9);
    EXPECT_EQ(settingsCalls.mid(0, 6), expected);
    EXPECT_TRUE(settingsCalls[6].startsWith("SettingsStore.ToolbarHeight("));
    EXPECT_EQ(settingsCalls[7], "SettingsStore.StoreOption1(true)");
    EXPECT_EQ(settingsCalls[8], "SettingsStore.StoreOption2(true)");
    EXPECT_EQ(fakes.log.of("RunLog"),
              QStringList({"RunLog.LogPath(" + temp.path() + "/X.log)", "RunLog.LogOption(true)"}));
    // The settings come before the log, and nothing was asked or loaded.
    EXPECT_LT(fakes.log.calls.indexOf(settingsCalls.last()),
              fakes.log.calls.indexOf("RunLog.LogOption(true)"));
    EXPECT_TRUE(fakes.log.of("PromptBox").isEmpty());
    EXPECT_EQ(window->initDir(), cwd);
    EXPECT_EQ(window->xOption(), "/D /E ");
    EXPECT_TRUE(window->txtFrom->text().isEmpty());
    EXPECT_FALSE(window->unsavedChanges());
}

TEST_F(Lifecycle, formUnload_writesFourSettingsWithFileNameFromPanel) {
    fakes.settings.values = {{"InitDir", "/a"}, {"BatDir", "/b"}, {"XOption", "/E "}};
    load();
    window->findChild<QLabel*>("FileName")->setText("/lists/job.xcpy");
    fakes.log.calls.clear();
    ASSERT_TRUE(closeWindow());
    EXPECT_EQ(fakes.log.of("SettingsStore"),
              QStringList({"SettingsStore.WriteSetting(InitDir, /a)",
                           "SettingsStore.WriteSetting(BatDir, /b)",
                           "SettingsStore.WriteSetting(XOption, /E )",
                           "SettingsStore.WriteSetting(FileName, <FileName>)"}));
    EXPECT_EQ(fakes.settings.values["FileName"], "/lists/job.xcpy");
}

struct CloseCase {
    const char* name;
    bool copyRunning;
    bool unsaved;
    std::deque<qint32> answers;
    bool closes;
    QStringList messages; // "text|style|title"
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
    fakes.prompt.messages.clear();
    bool closed = false;
    if (c.copyRunning) {
        fakes.prompt.messageAnswers.push_front(msg::kAnswerOk); // the run's confirmation
        fakes.shell.onRun = [&](const QString&) {
            closed = closeWindow();
            return 0;
        };
        window->ExecXCopy();
        fakes.prompt.messages.removeFirst();
    } else {
        closed = closeWindow();
    }
    EXPECT_EQ(closed, c.closes);
    QStringList shown;
    for (const ShownMessage& m : fakes.prompt.messages)
        shown << QStringLiteral("%1|%2|%3").arg(m.text).arg(m.style).arg(m.title);
    EXPECT_EQ(shown, c.messages);
    EXPECT_EQ(!fakes.prompt.dialogs.isEmpty(), c.saveDialogShown);
    // Settings are written only by a close that went on.
    EXPECT_EQ(fakes.log.calls.filter("SettingsStore.WriteSetting").isEmpty(), !c.closes);
}

const QString kSaveQuestion = QStringLiteral("バッチファイルに保存しますか？|67|");

INSTANTIATE_TEST_SUITE_P(
    Matrix, CloseRequest,
    ::testing::Values(
        CloseCase{
            "copyRunning", true, true, {}, false, {"コピー中です。終了できません|64|"}, false},
        CloseCase{
            "unsavedCancel", false, true, {msg::kAnswerCancel}, false, {kSaveQuestion}, false},
        CloseCase{"unsavedYes", false, true, {msg::kAnswerYes}, true, {kSaveQuestion}, true},
        CloseCase{"unsavedNo", false, true, {msg::kAnswerNo}, true, {kSaveQuestion}, false},
        CloseCase{"nothingUnsaved", false, false, {}, true, {}, false}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(Lifecycle, closeAfterRun_behavesAsUsual) {
    load();
    addPair(makeFolder("a"), makeFolder("b"));
    fakes.prompt.messageAnswers = {msg::kAnswerOk};
    window->ExecXCopy();
    EXPECT_FALSE(window->copyRunning());
    fakes.prompt.messageAnswers = {msg::kAnswerNo};
    EXPECT_TRUE(closeWindow());
}

} // namespace
} // namespace xcpy::test
