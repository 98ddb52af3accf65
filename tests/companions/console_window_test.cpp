#include "companions/console_window.h"

#include <QApplication>
#include <QKeyEvent>
#include <QPlainTextEdit>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

namespace xcpy {
namespace {

using Channel = ConsoleWindow::Channel;

TEST(ConsoleWindow, bytesSplitInsideCharacters_showWholeTextWithoutCarriageReturns) {
    ConsoleWindow console(QStringLiteral("xcpycmd"), QStringLiteral("xcpycmd /c x.bat"));
    const QByteArray out = QStringLiteral("上書きしますか (Yes/No/All)?\r\n").toUtf8();
    const QByteArray err = QStringLiteral("ファイルが見つかりません\n").toUtf8();
    // One byte at a time on both channels, interleaved, so every character is split.
    for (qsizetype i = 0; i < out.size(); ++i)
        console.appendOutput(out.mid(i, 1), Channel::Output);
    for (qsizetype i = 0; i < err.size(); ++i)
        console.appendOutput(err.mid(i, 1), Channel::Error);
    EXPECT_EQ(console.outputText(),
              QStringLiteral("上書きしますか (Yes/No/All)?\nファイルが見つかりません\n"));
}

TEST(ConsoleWindow, manyLines_keepOnlyTheNewestAndJoinPartialLines) {
    ConsoleWindow console(QStringLiteral("p"), QStringLiteral("p"));
    // About 2.5 million characters: more than is ever held back undrawn.
    const QByteArray pad(90, '.');
    QByteArray chunk;
    for (int line = 0; line < 25000; ++line) {
        chunk += "line " + QByteArray::number(line) + ' ' + pad + '\n';
        if (line % 997 == 0) {
            console.appendOutput(chunk);
            chunk.clear();
        }
    }
    console.appendOutput(chunk + "tail ");
    console.outputText();
    console.appendOutput("end");
    const QString text = console.outputText();
    const QString dots = QString::fromLatin1(pad);
    EXPECT_LE(console.outputArea()->blockCount(), ConsoleWindow::kMaxLines + 1);
    EXPECT_FALSE(text.contains(QStringLiteral("line 0 ")));
    EXPECT_TRUE(text.contains(QStringLiteral("line 20000 %1\nline 20001 ").arg(dots)));
    EXPECT_TRUE(text.endsWith(QStringLiteral("line 24999 %1\ntail end").arg(dots)));
}

TEST(ConsoleWindow, typedKeys_becomeInputAndEchoOrControlTheCommand) {
    ConsoleWindow console(QStringLiteral("p"), QStringLiteral("p"));
    QSignalSpy input(&console, &ConsoleWindow::inputTyped);
    QSignalSpy interrupt(&console, &ConsoleWindow::interruptRequested);
    QSignalSpy endOfInput(&console, &ConsoleWindow::endOfInputRequested);
    QWidget* area = console.outputArea();

    QTest::keyClick(area, 'a');
    QKeyEvent kana(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, QStringLiteral("は"));
    QApplication::sendEvent(area, &kana);
    QTest::keyClick(area, Qt::Key_Return);
    QTest::keyClick(area, Qt::Key_Backspace);
    QTest::keyClick(area, Qt::Key_Down);
    ASSERT_EQ(input.size(), 3);
    EXPECT_EQ(input[0][0].toByteArray(), QByteArray("a"));
    EXPECT_EQ(input[1][0].toByteArray(), QStringLiteral("は").toUtf8());
    EXPECT_EQ(input[2][0].toByteArray(), QByteArray("\n"));
    EXPECT_EQ(console.outputText(), QStringLiteral("aは\n"));

    QTest::keyClick(area, Qt::Key_C, Qt::ControlModifier);
    QTest::keyClick(area, Qt::Key_D, Qt::ControlModifier);
    EXPECT_EQ(interrupt.size(), 1);
    EXPECT_EQ(endOfInput.size(), 1);
    // Ctrl+C over a selection copies instead of interrupting.
    console.outputArea()->selectAll();
    QTest::keyClick(area, Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(interrupt.size(), 1);
    EXPECT_EQ(input.size(), 3);
}

} // namespace
} // namespace xcpy
