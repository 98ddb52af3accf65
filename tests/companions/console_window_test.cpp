#include "companions/console_window.h"

#include <gtest/gtest.h>

namespace xcpy {
namespace {

TEST(ConsoleWindow, bytesSplitInsideCharacters_showWholeTextWithoutCarriageReturns) {
    ConsoleWindow console(QStringLiteral("xcpycmd"), QStringLiteral("xcpycmd /c x.bat"));
    const QByteArray out = QStringLiteral("上書きしますか (Yes/No/All)?\r\n").toUtf8();
    const QByteArray err = QStringLiteral("ファイルが見つかりません\n").toUtf8();
    // One byte at a time on both channels, so every character is split.
    for (qsizetype i = 0; i < out.size(); ++i)
        console.appendOutput(out.mid(i, 1), ConsoleWindow::Channel::Output);
    for (qsizetype i = 0; i < err.size(); ++i)
        console.appendOutput(err.mid(i, 1), ConsoleWindow::Channel::Error);
    EXPECT_EQ(console.outputText(),
              QStringLiteral("上書きしますか (Yes/No/All)?\nファイルが見つかりません\n"));
}

} // namespace
} // namespace xcpy
