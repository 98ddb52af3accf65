#include "support/silent_share.h"
#include "support/window_fixture.h"

#include "app/preview_window.h"
#include "common/missing_drive.h"
#include "files/file_errors.h"
#include "files/preview_plan.h"
#include "test_helpers.h"

#include <QDateTime>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTreeWidget>

#include <unistd.h>

namespace xcpy::test {
namespace {

// The real xcpycmd beside the test program plans; its temporary batch files go to a folder of
// the test's own.
class Preview : public WindowTest {
protected:
    void SetUp() override {
        WindowTest::SetUp();
        qunsetenv("COMSPEC");
        oldTemp = qgetenv("TMPDIR");
        qputenv("TMPDIR", makeFolder("tmp").toLocal8Bit());
        load();
    }
    void TearDown() override {
        qunsetenv("COMSPEC");
        qputenv("TMPDIR", oldTemp);
    }

    frmPreview* dialog() const { return window->findChild<frmPreview*>("frmPreview"); }
    QString text(const char* label) const { return dialog()->findChild<QLabel*>(label)->text(); }
    bool waitForEnd() const {
        return QTest::qWaitFor([this] { return !dialog()->running(); }, 30000);
    }
    // The rows as the dialog shows them: "files|MB|reason".
    QStringList shownRows() const {
        const auto* list = dialog()->findChild<QTreeWidget*>("lsvPreview");
        QStringList lines;
        for (int i = 0; i < list->topLevelItemCount(); ++i) {
            const QTreeWidgetItem* item = list->topLevelItem(i);
            lines << item->text(2) + '|' + item->text(3) + '|' + item->text(4);
        }
        return lines;
    }
    void writeFile(const QString& name, qsizetype size) const {
        ASSERT_TRUE(writeBytes(path(name), QByteArray(size, 'x')));
    }
    // Every folder and file below `folder`, files with their size and time.
    QStringList snapshot(const QString& folder) const {
        QStringList entries;
        QDirIterator it(folder, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden,
                        QDirIterator::Subdirectories);
        while (it.hasNext()) {
            const QFileInfo info = it.nextFileInfo();
            // A folder's own time changes with the temporary batch made and removed in it.
            entries << (info.isDir() ? info.filePath()
                                     : info.filePath() + ' ' + QString::number(info.size()) + ' ' +
                                           info.lastModified().toString(Qt::ISODateWithMs));
        }
        entries.sort();
        return entries;
    }

    QByteArray oldTemp;
};

TEST_F(Preview, countsEachRowAsARunWouldWithTheTotalAndWritesNothing) {
    writeFile("src/a/one.txt", 1000);
    writeFile("src/a/sub/two.txt", 2000);
    writeFile("src/a/sub/three.bin", 1572864); // 1.5 MB in all
    // src/b is at dst/b already, with the same size and time: /D copies nothing.
    for (const char* name : {"src/b/x.txt", "dst/b/x.txt"}) {
        writeFile(name, 10);
        QFile file(path(name));
        ASSERT_TRUE(file.open(QIODevice::ReadWrite) &&
                    file.setFileTime(QDateTime(QDate(2024, 1, 1), QTime(12, 0)),
                                     QFileDevice::FileModificationTime));
    }
    makeFolder("src/empty");
    // A stick that is not there, where the machine has an empty /media.
    const QString stick = "/media/xcpylist-test-nodisk-" + QFileInfo(temp.path()).fileName();
    const bool drives = QFileInfo("/media").isDir() && missingDriveOf(stick.toStdString() + "/x");

    window->txtFrom->setText("/x");
    window->txtTo->setText("/y");
    window->UpdateCommandState();
    EXPECT_FALSE(button("Preview")->isEnabled() || window->mnuL[9]->isEnabled()) << "no rows";
    addPair(path("src/a"), path("dst/new"));
    addPair(path("src/b"), path("dst/b"));
    addPair(path("src/gone"), path("dst/gone"));
    addPair(path("src/a/"), path("src/a")); // the same folder
    addPair(path("src/empty"), path("dst/empty"));
    if (drives)
        addPair(path("src/a"), stick + "/backup");
    window->UpdateCommandState();
    EXPECT_TRUE(button("Preview")->isEnabled() && window->mnuL[9]->isEnabled());
    const QStringList before = snapshot(temp.path());

    showActive();
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_P, Qt::ControlModifier);
    ASSERT_NE(dialog(), nullptr);
    EXPECT_TRUE(dialog()->isVisible() && !dialog()->isModal());
    ASSERT_TRUE(waitForEnd());
    QStringList expected = {"3|1.5|", "0|0.0|最新です（コピーするファイルはありません）",
                            "||元フォルダがありません",
                            "||スイッチ文字列かフォルダの組み合わせが正しくありません",
                            "0|0.0|コピーするファイルがありません"};
    if (drives)
        expected << "||先フォルダのドライブがありません";
    EXPECT_EQ(shownRows(), expected);
    EXPECT_EQ(text("lblTotal"),
              QStringLiteral("合計 3 ファイル、1.5 MB（コピーできない行 %1）").arg(drives ? 3 : 2));
    EXPECT_EQ(text("lblStatus"), "確認が終わりました（何もコピーしていません）");
    EXPECT_FALSE(dialog()->findChild<QPushButton*>("cmdCancel")->isEnabled());

    // Nothing written: no folder, no run file, no log line, and the temporary batch is gone.
    EXPECT_EQ(snapshot(temp.path()), before);
    EXPECT_TRUE(fakes.logLines.isEmpty());
    EXPECT_FALSE(QFileInfo::exists(stick));
}

TEST_F(Preview, refusesWhatARunRefusesAndSaysWhyTheInterpreterToldNothing) {
    window->InsertBatchEntry("/a", "/say\"hi", -1);
    window->UpdateCommandState();
    window->mnuL[9]->trigger();
    ASSERT_EQ(shownMessages().size(), 1);
    EXPECT_TRUE(shownMessages()[0].startsWith("1 行目の先フォルダ"));
    window->DeleteBatchEntry();
    window->InsertBatchEntry("/絵文字😀", "/b", -1);
    window->UpdateCommandState();
    window->mnuL[9]->trigger();
    ASSERT_EQ(errorRoutines(), QStringList("PreviewXCopy"));
    EXPECT_EQ(fakes.prompt.errors[0].second.number, kErrorInvalidText);
    EXPECT_EQ(dialog(), nullptr);

    window->DeleteBatchEntry();
    addPair(path("gone"), path("b"));
    window->mnuL[9]->trigger();
    ASSERT_TRUE(waitForEnd());
    const auto* messages = dialog()->findChild<QPlainTextEdit*>();
    EXPECT_TRUE(!messages->isHidden() && messages->toPlainText().contains(path("gone")));
    qputenv("COMSPEC", path("no/xcpycmd").toLocal8Bit());
    window->mnuL[9]->trigger();
    ASSERT_TRUE(waitForEnd());
    EXPECT_TRUE(text("lblStatus").startsWith("xcpycmd を起動できません: "))
        << qPrintable(text("lblStatus"));
    EXPECT_EQ(shownRows(), QStringList("||確認できませんでした"));
    EXPECT_TRUE(messages->isHidden() && messages->toPlainText().isEmpty()) << "the last ones";
    qputenv("COMSPEC", "/bin/true"); // runs, but has no preview to tell
    button("Preview")->trigger();
    ASSERT_TRUE(waitForEnd());
    EXPECT_EQ(text("lblStatus"), "true から予定を受け取れませんでした（終了コード 0）");
    EXPECT_TRUE(QDir(path("tmp")).isEmpty());
}

// The process of the interpreter this test started, "" when there is none; else its state
// letter and where it waits in the kernel.
QString interpreterChild() {
    for (const QString& pid : QDir("/proc").entryList(QDir::Dirs)) {
        const QByteArray stat = readBytes("/proc/" + pid + "/stat");
        const QList<QByteArray> fields = stat.mid(stat.lastIndexOf(')') + 2).split(' ');
        if (stat.contains("(xcpycmd)") && fields.value(1).toInt() == ::getpid())
            return fields[0] + ' ' + readBytes("/proc/" + pid + "/wchan");
    }
    return {};
}

TEST_F(Preview, cancelReturnsAtOnceFromAnInterpreterStuckOnASilentShare) {
    const SilentShare share;
    if (!share.unavailable.isEmpty())
        GTEST_SKIP() << qPrintable(share.unavailable);
    addPair(share.path("docs"), makeFolder("dst"));
    window->UpdateCommandState();
    window->mnuL[9]->trigger();
    // Waiting for the share's answer, or for another lookup of the same name (the row's folder
    // test) that waits for it.
    ASSERT_TRUE(QTest::qWaitFor(
        [] {
            const QString child = interpreterChild();
            return child.contains("request_wait_answer") || child.contains("d_alloc_parallel");
        },
        10000))
        << qPrintable(interpreterChild());

    QElapsedTimer clock;
    clock.start();
    QTest::mouseClick(dialog()->findChild<QPushButton*>("cmdCancel"), Qt::LeftButton);
    EXPECT_LT(clock.elapsed(), 1000);
    EXPECT_TRUE(interpreterChild().startsWith('D')) << "killed, still stuck, and not waited for";
    EXPECT_EQ(shownRows(), QStringList("||中止しました"));
    EXPECT_EQ(text("lblStatus"), "中止しました（1 行のうち 0 行を確認）");

    // The window goes on: another preview runs while the first interpreter is still stuck.
    window->DeleteBatchEntry(); // the only row
    writeFile("src/f.txt", 5);
    addPair(path("src"), path("dst"));
    window->UpdateCommandState();
    window->mnuL[9]->trigger();
    ASSERT_TRUE(waitForEnd());
    EXPECT_EQ(shownRows(), QStringList("1|0.0|"));
    EXPECT_TRUE(interpreterChild().startsWith('D'));
}

TEST(PreviewPlan, readsLinesSplitAnywhereAndKeepsUntoldRowsApart) {
    PreviewPlan plan(4);
    // Each piece, the files to copy found so far and the rows the window shows anew.
    const struct {
        const char* piece;
        qint64 files;
        std::pair<int, int> changed;
    } pieces[] = {{"line 1 4\nsc", 0, {0, 0}},
                  {"an 1 10\nscan 9 x\nscan -9 9\n", 1, {0, 0}}, // a broken line changes nothing
                  {"plan 3 4096\nfou", 3, {0, 0}},
                  {"nd 3\n", 3, {0, 0}},
                  {"line 2 4\ndone 7 7\n", 3, {1, 1}}, // a run's line, never a preview's
                  {"plan 9 9\nrefused dog-ate-it\nfound 9\nline 1 4\nline 9 4\n", 3, {1, 1}},
                  {"line 3 4\nscan 2 2048", 3, {2, 2}}};
    for (const auto& [piece, files, changed] : pieces) {
        plan.feed(piece);
        EXPECT_EQ(plan.files(), files) << piece;
        EXPECT_EQ(plan.takeChangedRows(), changed) << piece;
    }
    plan.end(true);
    EXPECT_EQ(plan.takeChangedRows(), std::make_pair(2, 3));
    const auto [first, last] = plan.takeChangedRows();
    EXPECT_GT(first, last) << "nothing since";
    QStringList outcomes;
    for (const PreviewRow& row : plan.rows())
        outcomes << QString::number(row.files) + ' ' + QString::number(row.bytes) + ' ' +
                        outcomeText(row);
    EXPECT_EQ(outcomes, QStringList({"3 4096 ", "0 0 コピーできません（dog-ate-it）",
                                     "0 0 中止しました", "0 0 中止しました"}));
    EXPECT_EQ(plan.failures(), 1);
    EXPECT_EQ(plan.rowsDone(), 4);
}

} // namespace
} // namespace xcpy::test
