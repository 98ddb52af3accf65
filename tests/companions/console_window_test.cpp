#include "companions/console_window.h"
#include "companions/run_progress.h"

#include <QLabel>
#include <QProgressBar>

#include <gtest/gtest.h>

namespace xcpy {
namespace {

TEST(ConsoleWindow, bytesSplitInsideCharacters_showWholeTextWithoutCarriageReturns) {
    ConsoleWindow console(QStringLiteral("xcpycmd"), QStringLiteral("xcpycmd /c x.bat"));
    const QByteArray out =
        QStringLiteral("上書きしますか (Yes/No/All)?\r\nファイルが見つかりません\n").toUtf8();
    // One byte at a time, so every character is split.
    for (qsizetype i = 0; i < out.size(); ++i)
        console.appendOutput(out.mid(i, 1));
    EXPECT_EQ(console.outputText(),
              QStringLiteral("上書きしますか (Yes/No/All)?\nファイルが見つかりません\n"));
}

TEST(RunProgress, linesSplitAcrossReads_sumOverLinesAndWeighEachLineAlike) {
    RunProgress progress;
    EXPECT_FALSE(progress.known());
    const QByteArray channel = "line 1 2\nplan 4 3145728\ndone 2 1048576\n";
    for (qsizetype i = 0; i < channel.size(); i += 5)
        progress.feed(channel.mid(i, 5));
    ASSERT_TRUE(progress.known());
    // Half the line's files and a third of its bytes: between a sixth and a quarter of the run.
    EXPECT_GT(progress.fraction(), 1.0 / 6);
    EXPECT_LT(progress.fraction(), 0.25);
    progress.feed("done 4 3145728\nline 2 2\nplan 0 0\n");
    EXPECT_DOUBLE_EQ(progress.fraction(), 0.5) << "an empty line is not done before it says so";
    progress.feed("done 0 0\ngarbage\nplan x 1\n");
    EXPECT_DOUBLE_EQ(progress.fraction(), 1.0);
    EXPECT_EQ(progressCountsText(progress), QStringLiteral("4 / 4 ファイル, 3.0 / 3.0 MB"));
    EXPECT_EQ(durationText(65'000), "1:05");
    EXPECT_EQ(durationText(3'725'000), "1:02:05");
    EXPECT_FALSE(estimateLeftMs(0.5, 1000)) << "too early to judge";
    EXPECT_EQ(estimateLeftMs(0.25, 10'000), 30'000);
}

TEST(ConsoleWindow, exitStatus_givesResultInWordsAndBarState) {
    RunProgress shortRun; // one file of two copied: a question was answered No
    shortRun.feed("line 1 1\nplan 2 10\ndone 1 4\n");
    const struct {
        qint32 status;
        const RunProgress* progress;
        const char* text;
        RunState state;
    } cases[] = {
        {0, nullptr, "正常に終了しました (終了コード 0)", RunState::Success},
        {1, nullptr, "コピーされなかったファイルがあります (終了コード 1)", RunState::Partial},
        {2, nullptr, "コピーされなかったファイルがあります (終了コード 2)", RunState::Partial},
        {4, nullptr, "エラーで終了しました (終了コード 4)", RunState::Failure},
        {5, nullptr, "エラーで終了しました (終了コード 5)", RunState::Failure},
        {-1, nullptr, "エラーで終了しました (強制終了)", RunState::Failure},
        {0, &shortRun, "コピーされなかったファイルがあります (終了コード 0)", RunState::Partial},
    };
    for (const auto& c : cases) {
        ConsoleWindow console(QStringLiteral("xcpycmd"), QStringLiteral("xcpycmd /c x.bat"));
        if (c.progress)
            console.appendProgress("line 1 1\nplan 2 10\ndone 1 4\n");
        if (!c.progress) {
            EXPECT_EQ(console.progressBar()->maximum(), 0) << "busy without a progress channel";
        }
        const QString summary = console.showResult(c.status);
        EXPECT_EQ(console.resultLine()->text(), QString::fromUtf8(c.text));
        EXPECT_FALSE(console.resultLine()->isHidden());
        EXPECT_EQ(console.progressBar()->property("state").toInt(), static_cast<int>(c.state))
            << c.text;
        EXPECT_TRUE(summary.startsWith(QString::fromUtf8(c.text) +
                                       (c.progress ? ", 1 / 2 ファイル" : ", 所要時間 ")))
            << summary.toStdString();
    }
}

} // namespace
} // namespace xcpy
