#include "companions/component_error.h"
#include "companions/console_window.h"
#include "companions/qt_shell_helper.h"
#include "companions/run_progress.h"
#include "files/batch_file.h"
#include "files/test_helpers.h"
#include "support/silent_share.h"

#include <QApplication>
#include <QDir>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPointer>
#include <QProgressBar>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextLayout>
#include <QTimer>

#include <functional>
#include <vector>

#include <gtest/gtest.h>

namespace xcpy {
namespace {

int distance(const QColor& a, const QColor& b) {
    return std::abs(a.red() - b.red()) + std::abs(a.green() - b.green()) +
           std::abs(a.blue() - b.blue());
}

// The colour the widget draws with, as it appears on screen: for the bar the filled part near
// its start, for a label the pixel that stands out most from its background.
QColor drawnColour(QWidget& widget, bool bar) {
    const QImage image = widget.grab().toImage();
    if (bar)
        return image.pixelColor(image.width() / 10, image.height() / 2);
    const QColor background = image.pixelColor(0, 0);
    QColor most = background;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            if (distance(image.pixelColor(x, y), background) > distance(most, background))
                most = image.pixelColor(x, y);
        }
    return most;
}

TEST(ConsoleWindow, splitCharactersAndFloods_showAsTheyShould) {
    ConsoleWindow console(QStringLiteral("xcpycmd"), QStringLiteral("xcpycmd /c x.bat"));
    for (const char byte :
         QStringLiteral("上書きしますか (Yes/No/All)?\a\r\n見つかりません\n").toUtf8())
        console.appendOutput(QByteArray(1, byte));
    EXPECT_EQ(console.outputText(),
              QStringLiteral("上書きしますか (Yes/No/All)?\n見つかりません\n"));
    console.appendOutput(QByteArray("line\n").repeated(ConsoleWindow::kMaxLines - 1));
    console.outputText();
    EXPECT_LE(console.outputArea()->blockCount(), ConsoleWindow::kMaxLines);
}

// A run told through the channel at known times on the console's clock: the bar moves within a
// line and goes on from where the last line ended, the time left is what is left at the pace so
// far, and the copy's time leaves out a question and the final pause.
TEST(ConsoleWindow, scriptedRun_barAndTimesFollowTheCopyNotTheWaits) {
    qint64 now = 0;
    ConsoleWindow console(QStringLiteral("xcpycmd"), QStringLiteral("xcpycmd /c x.bat"), nullptr,
                          [&] { return now; });
    QStringList ended;
    QObject::connect(&console, &ConsoleWindow::copyEnded,
                     [&](const QString& result, const QString& counts) {
                         ended << result + QStringLiteral(" | ") + counts;
                     });
    const auto at = [&](qint64 ms, const QByteArray& events) {
        now = ms;
        console.appendProgress(events);
    };
    const auto counts = [&] { return console.findChild<QLabel*>("progressText")->text(); };

    // Two XCOPY lines of four files each; a question holds the first one for 4 s.
    at(0, "line 1 2\nplan 4 0\n");
    EXPECT_EQ(console.progressBar()->value(), 0);
    at(2000, "wait\n");
    at(6000, "resume\n");
    at(14000, "done 2 0\n"); // half of the first line in 10 s of copying
    EXPECT_EQ(console.progressBar()->value(), 25);
    EXPECT_EQ(counts(), QStringLiteral("2 / 4 ファイル, 0.0 / 0.0 MB   経過 0:10   残り 約 0:30"));
    EXPECT_EQ(console.windowTitle(), QStringLiteral("25% XCOPY実行中 - xcpycmd"));
    at(20000, "done 4 0\nend 0\nline 2 2\nplan 4 0\n");
    EXPECT_EQ(console.progressBar()->value(), 50) << "the second line starts where the first ended";
    EXPECT_TRUE(ended.isEmpty());

    // The copy ends and the final pause waits: the result is there at once.
    at(26000, "done 4 0\nend 0\n");
    EXPECT_EQ(ended,
              QStringList(QStringLiteral("正常に終了しました (終了コード 0) | 8 / 8 ファイル, "
                                         "0.0 / 0.0 MB   所要時間 0:22")));
    EXPECT_EQ(console.resultLine()->text(), QStringLiteral("正常に終了しました (終了コード 0)"));
    EXPECT_FALSE(console.resultLine()->isHidden());
    QTest::qWait(400); // the bar's own redraws, a few times a second, leave the result alone
    EXPECT_EQ(counts(), QStringLiteral("8 / 8 ファイル, 0.0 / 0.0 MB   所要時間 0:22"));
    // The user closes the console at the pause, a minute later: the copy's result and time stay.
    at(27000, "wait\n");
    at(90000, "");
    EXPECT_EQ(
        console.showResult(-1),
        QStringLiteral(
            "正常に終了しました (終了コード 0), 8 / 8 ファイル, 0.0 / 0.0 MB, 所要時間 0:22"));
    EXPECT_EQ(ended.size(), 1);
}

// The result's colour is what the bar and the result line are drawn in, for every kind of
// result; status 1 with nothing left uncopied is no failure to copy.
TEST(ConsoleWindow, results_showTheirTextAndAreDrawnInTheirColour) {
    const QColor green(0x2e, 0x9d, 0x3e), amber(0xd9, 0x8c, 0x00), red(0xc6, 0x28, 0x28),
        grey(0x54, 0x6e, 0x7a);
    const struct {
        QByteArray channel;
        qint32 status;
        QString text;
        QColor colour;
        bool processLeft = false;
    } cases[] = {
        {"line 1 1\nplan 2 10\ndone 2 10\nend 0\n", 0, "正常に終了しました (終了コード 0)", green},
        {"line 1 1\nplan 2 10\ndone 1 5\nend 0\n", 0,
         "コピーされなかったファイルがあります (終了コード 0)", amber},
        {"line 1 1\nplan 2 10\ndone 1 5\nend 4\n", 0, "エラーで終了しました (終了コード 4)", red},
        {"line 1 1\nplan 2 10\ndone 1 5\n", -1, "エラーで終了しました (強制終了)", red},
        {"line 1 1\nplan 2 10\ndone 1 5\n", -1,
         "コピーを中止しました (xcpycmd "
         "はシステムの応答を待っています。応答があれば自動的に終了します)",
         red, true},
        {"line 1 1\nplan 0 0\ndone 0 0\nend 1\n", 1,
         "コピーするファイルがありませんでした (終了コード 1)", grey},
        {"", 1, "コピーするファイルがありませんでした (終了コード 1)", grey},
        {"line 1 2\nplan 2 10\ndone 2 10\nend 0\nline 2 2\nplan 0 0\ndone 0 0\nend 1\n", 1,
         "コピーするファイルがない行がありました (終了コード 1)", grey},
    };
    for (const auto& c : cases) {
        ConsoleWindow console(QStringLiteral("xcpycmd"), QStringLiteral("xcpycmd /c x.bat"));
        console.appendProgress(c.channel);
        console.showResult(c.status, c.processLeft);
        EXPECT_EQ(console.resultLine()->text(), c.text) << c.channel.toStdString();
        // A long result wraps rather than widening the window.
        EXPECT_LT(console.resultLine()->minimumSizeHint().width(),
                  console.resultLine()->fontMetrics().horizontalAdvance(c.text))
            << c.text.toStdString();
        // A finished run fills the bar; the others here stopped halfway and show it.
        EXPECT_EQ(console.progressBar()->value(), c.colour == green || c.colour == grey ? 100 : 50)
            << c.text.toStdString();
        // Drawn in the colour, give or take the style's shading: amber and red are 119 apart.
        EXPECT_LT(distance(drawnColour(*console.progressBar(), true), c.colour), 50)
            << c.text.toStdString();
        EXPECT_LT(distance(drawnColour(*console.resultLine(), false), c.colour), 50)
            << c.text.toStdString();
    }
}

// A question after a path that wraps to more lines than the view holds is in sight, and so is
// what follows, in a narrow window and a wide one, with output drawn a moment after it came or
// at once (a flood); a user who scrolled up to read stays at the same line until back at the end.
TEST(ConsoleWindow, viewFollowsTheOutputPastLongLines_butNotAUserWhoScrolledUp) {
    QString path = QStringLiteral("/home/user");
    while (path.size() < 890)
        path += QStringLiteral("/写真フォルダ写真フォルダ");
    const QByteArray question = (path + QStringLiteral(" をコピーしますか (Y/N)? ")).toUtf8();
    const QByteArray answered = QStringLiteral("Y\n1 個のファイルをコピーしました\n").toUtf8();
    for (const QSize size : {QSize(400, 300), QSize(720, 420)}) {
        for (const bool atOnce : {false, true}) {
            SCOPED_TRACE(std::to_string(size.width()) +
                         (atOnce ? " px, at once" : " px, in turns"));
            ConsoleWindow console(QStringLiteral("xcpycmd"), QStringLiteral("xcpycmd /c x.bat"));
            console.resize(size);
            console.show();
            ASSERT_TRUE(QTest::qWaitForWindowExposed(&console));
            QPlainTextEdit* area = console.outputArea();
            const auto show = [&](const QByteArray& output) {
                console.appendOutput(output);
                if (atOnce)
                    console.outputText();
                return QTest::qWaitFor(
                    [&] { return area->toPlainText().endsWith(QString::fromUtf8(output)); });
            };
            const auto endInSight = [&] {
                QTextCursor end(area->document());
                end.movePosition(QTextCursor::End);
                return area->viewport()->rect().contains(area->cursorRect(end));
            };
            for (const QByteArray& output :
                 {QByteArray("\n/tmp>XCopy.exe \"/home/user\" \"/media/backup\" /E /P\n"), question,
                  "Y\n" + question, answered.repeated(5) + question}) {
                ASSERT_TRUE(show(output));
                EXPECT_TRUE(QTest::qWaitFor(endInSight, 2000));
            }

            const auto topOfView = [&] {
                const QTextCursor top = area->cursorForPosition(QPoint(1, 1));
                return std::make_pair(
                    top.blockNumber(),
                    top.block().layout()->lineForTextPosition(top.positionInBlock()).lineNumber());
            };
            QScrollBar* bar = area->verticalScrollBar();
            bar->triggerAction(QAbstractSlider::SliderPageStepSub);
            const auto readingAt = topOfView();
            ASSERT_TRUE(show(QByteArray("more\n").repeated(40)));
            QCoreApplication::processEvents();
            EXPECT_FALSE(endInSight());
            EXPECT_EQ(topOfView(), readingAt);
            bar->triggerAction(QAbstractSlider::SliderToMaximum);
            ASSERT_TRUE(show("last\n"));
            EXPECT_TRUE(QTest::qWaitFor(endInSight, 2000));
        }
    }
}

// Records the notifications; the test clicks them.
struct FakeNotifier : DesktopNotifier {
    struct Shown {
        QString summary;
        QString body;
        std::function<void()> clicked;
    };
    explicit FakeNotifier(std::vector<Shown>& shown) : shown(shown) {}
    void notify(const QString& summary, const QString& body,
                std::function<void()> clicked) override {
        shown.push_back({summary, body, std::move(clicked)});
    }
    std::vector<Shown>& shown;
};

class ShellHelperRun : public ::testing::Test {
protected:
    // Writes `bytes` to `name` in the temporary folder and returns its path.
    QString writeFile(const QString& name, const QByteArray& bytes) {
        EXPECT_TRUE(writeBytes(dir.filePath(name), bytes)) << name.toStdString();
        return dir.filePath(name);
    }

    // Writes an executable /bin/sh script and returns its command line with `args`.
    QString script(const QString& name, const QByteArray& body, const QString& args = {}) {
        const QString path = writeFile(name, "#!/bin/sh\n" + body + "\n");
        QFile::setPermissions(path, QFile::permissions(path) | QFileDevice::ExeOwner);
        const QString line = path.contains(u' ') ? u'"' + path + u'"' : path;
        return args.isEmpty() ? line : line + u' ' + args;
    }

    // Runs the command; `drive` acts on the console from inside the wait. A guard stops the
    // command if the test fails to end it, so a fault fails instead of hanging.
    qint32 run(const QString& commandLine, std::function<void(ConsoleWindow&)> drive = {}) {
        QObject scope;
        QObject::connect(helper.get(), &QtShellHelper::consoleShown, &scope, [&](ConsoleWindow* c) {
            console = c;
            if (drive)
                QTimer::singleShot(0, c, [&drive, c] { drive(*c); });
            QTimer::singleShot(15000, c, [c] {
                ADD_FAILURE() << "command left running";
                c->close();
                c->close();
            });
        });
        return helper->RunAndWait(commandLine, 1, true);
    }

    // The real interpreter's command line for a batch of `lines` written into the folder.
    QString batch(const QString& name, const QString& lines) {
        return QStringLiteral(XCPY_BIN_DIR "/xcpycmd /c ") + writeFile(name, lines.toUtf8());
    }

    QTemporaryDir dir;
    std::vector<FakeNotifier::Shown> notifications;
    std::unique_ptr<QtShellHelper> helper =
        std::make_unique<QtShellHelper>(std::make_unique<FakeNotifier>(notifications));
    QPointer<ConsoleWindow> console;
};

TEST_F(ShellHelperRun, promptAnsweredByTypedKey_outputStreamsAndExitStatusReturns) {
    const QString line =
        script(QStringLiteral("a b/ask.sh"), "printf 'Continue? '; x=$(head -c1); echo \"got $x\"\n"
                                             "echo 'エラー行' >&2; printf 'キーを押してください'\n"
                                             "head -c1 >/dev/null; exit 3");
    QString shown;
    const qint32 status = run(line, [&](ConsoleWindow& c) {
        EXPECT_EQ(c.windowTitle(), QStringLiteral("XCOPY実行中 - ask.sh"));
        EXPECT_EQ(c.progressBar()->maximum(), 0) << "busy: the script has no progress channel";
        ASSERT_TRUE(QTest::qWaitFor([&] { return c.outputText().contains("Continue? "); }));
        QTest::keyClick(c.outputArea(), 'y');
        ASSERT_TRUE(QTest::qWaitFor([&] { return c.outputText().contains("キーを押して"); }));
        shown = c.outputText();
        QTest::keyClick(c.outputArea(), Qt::Key_Space);
    });
    EXPECT_EQ(status, 3);
    // Error output stays where it was written, before the last prompt.
    EXPECT_TRUE(shown.startsWith(QStringLiteral("Continue? y")) &&
                shown.contains(QStringLiteral("got y\nエラー行\nキーを押して")))
        << shown.toStdString();
    // The result stays on screen.
    ASSERT_TRUE(console && console->isVisible());
    EXPECT_EQ(console->resultLine()->text(),
              QStringLiteral("コピーされなかったファイルがあります (終了コード 3)"));
    EXPECT_TRUE(helper->LastRunSummary().startsWith(console->resultLine()->text() +
                                                    QStringLiteral(", 所要時間 ")));
    QTest::keyClick(console->outputArea(), 'z');
    EXPECT_FALSE(console->outputText().endsWith(u'z')) << "typing after the end goes nowhere";
    // Quoted arguments arrive whole.
    EXPECT_EQ(run(script("count.sh", "exit $#", QStringLiteral("\"one two\" three a b"))), 4);
}

// The batch writer's lines run by the real interpreter: a lone "%" names the folder it is in,
// a reference to a variable is expanded, and the progress channel feeds the summary.
TEST_F(ShellHelperRun, realInterpreter_copiesPercentFoldersWithCountsAndResult) {
    writeFile(QStringLiteral("src/a%b/one.txt"), QByteArray(1000, 'x'));
    writeFile(QStringLiteral("src/a%b/sub/two.txt"), QByteArray(1000, 'x'));
    qputenv("XCPY_TEST_ROOT", dir.path().toUtf8());
    const QString batch = dir.filePath("x.bat");
    ASSERT_TRUE(
        saveBatchFile(batch, {{"%XCPY_TEST_ROOT%/src/a%b", dir.filePath("dst/50%"), CheckMark::OK}},
                      "/D /E /I ", BatchKind::CopyLines)
            .ok());
    EXPECT_EQ(run(QStringLiteral(XCPY_BIN_DIR "/xcpycmd /c ") + batch), 0);
    EXPECT_TRUE(
        helper->LastRunSummary().contains(QStringLiteral(", 2 / 2 ファイル, 0.0 / 0.0 MB, ")))
        << helper->LastRunSummary().toStdString();
    EXPECT_TRUE(QFile::exists(dir.filePath("dst/50%/sub/two.txt")));
}

// An answer of the real interpreter is shown once, and the key that ends the pause not at all.
// The copy's end is told, before the final pause is answered, to a user looking at another
// window, and the notification brings the console up; one looking at the console is not told.
// An empty source says there was nothing to copy.
TEST_F(ShellHelperRun, realInterpreter_answersShownOnce_endNotifiedOnlyWhenLookingElsewhere) {
    writeFile(QStringLiteral("src/one.txt"), "1");
    QDir().mkpath(dir.filePath(QStringLiteral("empty")));
    QWidget elsewhere;
    qsizetype notifiedAtPause = -1;
    const QString copy = QStringLiteral("XCopy.exe \"%1\" \"%2\" /E /I /P\r\nPAUSE\r\n")
                             .arg(dir.filePath("src"), dir.filePath("dst"));
    EXPECT_EQ(run(batch(QStringLiteral("x.bat"), copy),
                  [&](ConsoleWindow& c) {
                      ASSERT_TRUE(QTest::qWaitFor([&] {
                          return c.progress().waiting() && c.outputText().endsWith("(Y/N)? ");
                      }));
                      elsewhere.show();
                      elsewhere.activateWindow();
                      ASSERT_TRUE(QTest::qWaitFor([&] { return elsewhere.isActiveWindow(); }));
                      QTest::keyClick(c.outputArea(), 'y');
                      ASSERT_TRUE(QTest::qWaitFor([&] {
                          return c.progress().waiting() && c.outputText().contains("キーを押して");
                      }));
                      notifiedAtPause = qsizetype(notifications.size());
                      ASSERT_EQ(notifications.size(), 1u);
                      notifications[0].clicked();
                      EXPECT_TRUE(QTest::qWaitFor([&] { return c.isActiveWindow(); }));
                      QTest::keyClick(c.outputArea(), Qt::Key_Space);
                  }),
              0);
    const QString shown = console->outputText();
    EXPECT_TRUE(shown.contains(QStringLiteral("one.txt をコピーしますか (Y/N)? Y\n")) &&
                shown.endsWith(QStringLiteral("ください . . . \n")))
        << shown.toStdString();
    EXPECT_EQ(notifiedAtPause, 1);
    ASSERT_FALSE(notifications.empty());
    EXPECT_EQ(notifications[0].summary, QStringLiteral("正常に終了しました (終了コード 0)"));
    EXPECT_TRUE(notifications[0].body.startsWith(
        QStringLiteral("1 / 1 ファイル, 0.0 / 0.0 MB   所要時間 ")))
        << notifications[0].body.toStdString();

    // The pause first, so the console is surely the active window when the copy ends.
    const QString empty = QStringLiteral("PAUSE\r\nXCopy.exe \"%1\" \"%2\" /E /I\r\n")
                              .arg(dir.filePath("empty"), dir.filePath("dst2"));
    EXPECT_EQ(run(batch(QStringLiteral("empty.bat"), empty),
                  [](ConsoleWindow& c) {
                      ASSERT_TRUE(QTest::qWaitFor(
                          [&] { return c.progress().waiting() && c.isActiveWindow(); }));
                      QTest::keyClick(c.outputArea(), Qt::Key_Space);
                  }),
              1);
    EXPECT_EQ(console->resultLine()->text(),
              QStringLiteral("コピーするファイルがありませんでした (終了コード 1)"));
    EXPECT_EQ(notifications.size(), 1u);
}

// Ctrl+C and the close box stop the command alike, and the console stays with the result; a
// command that takes no notice of the first stop is ended by the second.
TEST_F(ShellHelperRun, stopFromTheConsole_ctrlCOrCloseStops_secondStopEndsOneThatIgnoredIt) {
    const auto once = [](ConsoleWindow& c, const std::function<void()>& stop) {
        ASSERT_TRUE(QTest::qWaitFor([&] { return c.outputText().contains("ready"); }));
        stop();
    };
    const QString stoppable =
        script("stoppable.sh", "trap 'echo stopped; exit 9' TERM\necho ready\nwhile :; do :; done");
    EXPECT_EQ(
        run(stoppable,
            [&](ConsoleWindow& c) {
                once(c, [&] { QTest::keyClick(c.outputArea(), Qt::Key_C, Qt::ControlModifier); });
            }),
        9);
    EXPECT_TRUE(console->outputText().contains("stopped"));
    EXPECT_EQ(run(stoppable, [&](ConsoleWindow& c) { once(c, [&] { c.close(); }); }), 9);
    EXPECT_TRUE(console && console->isVisible()) << "the console stays with the result";

    const QString stubborn =
        script("stubborn.sh", "trap 'echo ignored' TERM\necho ready\nwhile :; do :; done");
    EXPECT_EQ(run(stubborn,
                  [&](ConsoleWindow& c) {
                      once(c, [&] { c.close(); });
                      ASSERT_TRUE(
                          QTest::qWaitFor([&] { return c.outputText().contains("ignored"); }));
                      c.close();
                  }),
              -1);
    EXPECT_EQ(console->resultLine()->text(), QStringLiteral("エラーで終了しました (強制終了)"));
}

// A command the system holds in a lookup on a share that stopped answering cannot be ended.
// After the stop and the kill the console says the copy was stopped and that the command ends
// on its own, the call returns, and the helper goes without waiting for the command.
TEST_F(ShellHelperRun, commandHeldByTheSystem_isLeftToEndOnItsOwnAndNeverWaitedFor) {
    test::SilentShare share;
    if (!share.unavailable.isEmpty())
        GTEST_SKIP() << qPrintable(share.unavailable);
    const QString pidFile = dir.filePath("pid");
    const QString stuck = script("stuck.sh", "echo $$ > '" + pidFile.toUtf8() + "'\nexec stat '" +
                                                 share.path("x").toUtf8() + "'");
    // The command is in the lookup once the share holds it and `stat` sleeps.
    const auto inLookup = [&] {
        if (!share.holdsALookup())
            return false;
        const QByteArray pid = readBytes(pidFile).trimmed();
        const QByteArray stat = readBytes("/proc/" + QString::fromLatin1(pid) + "/stat");
        const qsizetype close = stat.lastIndexOf(')');
        return !pid.isEmpty() && stat.contains("(stat)") && close > 0 &&
               (stat.mid(close + 2, 1) == "S" || stat.mid(close + 2, 1) == "D");
    };
    // Deleting a running QProcess waits for it and says so; neither the run nor the helper's
    // end may do that.
    static QStringList warnings;
    warnings.clear();
    const QtMessageHandler previous = qInstallMessageHandler(
        [](QtMsgType, const QMessageLogContext&, const QString& text) { warnings << text; });
    EXPECT_EQ(run(stuck,
                  [&](ConsoleWindow& c) {
                      ASSERT_TRUE(QTest::qWaitFor(inLookup));
                      c.close();
                  }),
              -1);
    ASSERT_TRUE(console);
    EXPECT_FALSE(console->isRunning());
    EXPECT_TRUE(console->resultLine()->text().startsWith(
        QStringLiteral("コピーを中止しました (stuck.sh はシステムの応答を待っています。")));
    EXPECT_TRUE(inLookup()) << "the command is still held";

    helper.reset();
    qInstallMessageHandler(previous);
    EXPECT_TRUE(warnings.filter("still running").isEmpty()) << warnings.join('\n').toStdString();
}

TEST_F(ShellHelperRun, programMissingOrNotExecutable_throwsByCauseAndLeavesNoConsole) {
    const QString plain = writeFile(QStringLiteral("plain.bat"), {});
    const std::pair<QString, int> cases[] = {{dir.filePath("xcpycmd"), 53}, {plain, 70}};
    for (const auto& [program, number] : cases) {
        try {
            run(program + " /c x.bat");
            ADD_FAILURE() << "started: " << program.toStdString();
        } catch (const ComponentError& error) {
            EXPECT_EQ(error.number(), number);
            EXPECT_TRUE(error.description().contains(program)) << error.what();
        }
    }
    EXPECT_TRUE(console.isNull());
}

} // namespace
} // namespace xcpy
