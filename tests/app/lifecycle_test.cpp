#include "support/window_fixture.h"

#include "app/modMain.h"
#include "app/outside_close.h"
#include "files/test_helpers.h"

#include <QEventLoop>
#include <QTimer>

#include <csignal>

namespace xcpy::test {
namespace {

using Lifecycle = WindowTest;

const QString kAsk = QStringLiteral("バッチファイルに保存しますか？|67|");

TEST_F(Lifecycle, start_loadsTheListOfTheCommandLineElseTheRememberedOne_closeWritesSettings) {
    ASSERT_TRUE(writeBytes(path("remembered.xcpy"), "/r=/s\r\n"));
    ASSERT_TRUE(writeBytes(path("My List.xcpy"), "/a=/b\r\n/c=/d\r\n"));
    fakes.settings = {{"InitDir", "/i"}, {"BatDir", "/b"}, {"XOption", "/E "}};
    fakes.settings["FileName"] = path("remembered.xcpy");
    // An unquoted path with a blank arrives as two arguments.
    startMainWindow(*window, {"xcpylist", path("My"), "List.xcpy"});
    EXPECT_EQ(rows(), 2);
    // The command state and the layout follow the loaded list, whose last row is current.
    EXPECT_TRUE(button("Up")->isEnabled() && !button("Down")->isEnabled());
    EXPECT_NEAR(2 * window->lsvBatList->columnWidth(0), window->lsvBatList->width(), 8);

    window = std::make_unique<frmXCopy>(fakes);
    startMainWindow(*window, {"xcpylist"});
    EXPECT_EQ(source(0), "/r");
    // A command line that names no file loads nothing, not even the remembered list.
    window = std::make_unique<frmXCopy>(fakes);
    startMainWindow(*window, {"xcpylist", "\"" + path("missing.xcpy") + "\""});
    EXPECT_EQ(rows(), 0);
    EXPECT_TRUE(shownMessages().isEmpty());

    // Closing writes the four settings in order, FileName from its panel, and reports once that
    // they were not stored.
    fakes.settingsWriteFailure = QStringLiteral("設定を保存できませんでした。\n/c/xcpylist.ini");
    panel("FileName")->setText("/lists/job.xcpy");
    ASSERT_TRUE(window->close());
    EXPECT_EQ(fakes.log.calls.filter("WriteSetting"),
              QStringList({"SettingsStore.WriteSetting(InitDir, /i)",
                           "SettingsStore.WriteSetting(BatDir, /b)",
                           "SettingsStore.WriteSetting(XOption, /E )",
                           "SettingsStore.WriteSetting(FileName, /lists/job.xcpy)"}));
    EXPECT_EQ(shownMessages(), QStringList{fakes.settingsWriteFailure + "|48|" + exeBaseName()});
}

struct CloseCase {
    const char* name;
    bool unsaved;
    std::optional<qint32> answer; // to the save question
    bool saveSucceeds;            // else the save dialog is cancelled
    bool closes;
    QString message; // "text|style|title", or empty for none
};

class CloseRequest : public WindowTest, public ::testing::WithParamInterface<CloseCase> {};

TEST_P(CloseRequest, answersDecideTheClose) {
    const CloseCase& c = GetParam();
    load();
    if (c.unsaved)
        addPair(makeFolder("a"), makeFolder("b"));
    if (c.answer)
        fakes.prompt.messageAnswers = {*c.answer};
    if (c.saveSucceeds)
        fakes.prompt.fileChoices = {path("saved.xcpy")};
    EXPECT_EQ(window->close(), c.closes);
    EXPECT_EQ(shownMessages().join(";"), c.message);
    EXPECT_EQ(fakes.prompt.dialogs.isEmpty(), c.answer != msg::kAnswerYes);
    // Settings are written only by a close that went on.
    EXPECT_EQ(fakes.log.calls.filter("WriteSetting").isEmpty(), !c.closes);
}

INSTANTIATE_TEST_SUITE_P(
    Matrix, CloseRequest,
    ::testing::Values(CloseCase{"unsavedCancel", true, msg::kAnswerCancel, false, false, kAsk},
                      CloseCase{"unsavedYes", true, msg::kAnswerYes, true, true, kAsk},
                      CloseCase{"unsavedYesSaveCancelled", true, msg::kAnswerYes, false, false,
                                kAsk},
                      CloseCase{"unsavedNo", true, msg::kAnswerNo, false, true, kAsk},
                      CloseCase{"nothingUnsaved", false, {}, false, true, ""}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(Lifecycle, terminationSignals_askLikeACloseAndOneDuringTheQuestionEndsWithTheSettings) {
    load();
    addPair("/a", "/b");
    const OutsideCloseRequests outsideCloses(*window);
    fakes.prompt.messageAnswers = {msg::kAnswerCancel, msg::kAnswerCancel};
    ::raise(SIGHUP);
    EXPECT_TRUE(QTest::qWaitFor([&] { return !shownMessages().isEmpty(); }, 5000));

    // The question stays open in its own loop until a second signal ends every loop.
    QObject guard;
    QTimer::singleShot(5000, &guard, [] {
        ADD_FAILURE() << "the second signal did not end the program";
        QCoreApplication::exit(1);
    });
    fakes.prompt.onMessage = [] {
        QTimer::singleShot(0, [] { ::raise(SIGTERM); });
        QEventLoop().exec();
    };
    ::raise(SIGINT);
    EXPECT_EQ(QCoreApplication::exec(), 0);
    EXPECT_EQ(shownMessages(), QStringList({kAsk, kAsk}));
    EXPECT_EQ(fakes.log.calls.filter("WriteSetting").size(), 4);
}

} // namespace
} // namespace xcpy::test
