#include "support/silent_share.h"
#include "support/window_fixture.h"

#include "batchlist/batch_list_view.h"
#include "companions/hot_button.h"
#include "files/test_helpers.h"

#include <QDragEnterEvent>
#include <QElapsedTimer>
#include <QMimeData>
#include <QTextDocument>
#include <QToolTip>

namespace xcpy::test {
namespace {

class Editing : public WindowTest {
protected:
    // The tooltip the list shows over a cell, as plain text.
    QString toolTipOver(int row, int column) {
        QTreeView* list = window->lsvBatList;
        const QPoint pos = list->visualRect(window->model().index(row, column)).center();
        QHelpEvent help(QEvent::ToolTip, pos, list->viewport()->mapToGlobal(pos));
        QCoreApplication::sendEvent(list->viewport(), &help);
        QTextDocument shown;
        shown.setHtml(QToolTip::text());
        QToolTip::hideText();
        return shown.toPlainText();
    }
    // Drags URLs from a file manager onto a widget and drops them; true when it took the drop.
    static bool drop(QWidget* target, const QList<QUrl>& urls) {
        QMimeData data;
        data.setUrls(urls);
        const QPoint pos = target->rect().center();
        QDragEnterEvent enter(pos, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(target, &enter);
        QDropEvent dropped(pos, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(target, &dropped);
        QCoreApplication::processEvents(); // the drop is handled once it has ended
        return enter.isAccepted() && dropped.isAccepted();
    }
    QUrl folderUrl(const QString& name) const { return QUrl::fromLocalFile(makeFolder(name)); }
};

TEST_F(Editing, add_refusesIdenticalTextsAndAcceptsNearMatches) {
    load();
    const QString a = makeFolder("A");
    addPair("", "");
    addPair(a, a);
    EXPECT_EQ(shownMessages().value(1), "元フォルダと先フォルダが同じです|48|" + exeBaseName());
    EXPECT_EQ(rows(), 0);
    EXPECT_EQ(window->txtFrom->text() + window->txtTo->text(), a + a) << "a refused add keeps them";
    EXPECT_FALSE(window->unsavedChanges());

    addPair(a, a.toLower());
    addPair(" " + a, a + "/");
    addPair(" " + a, a + "/"); // duplicates are allowed
    EXPECT_EQ(rows(), 3);
    EXPECT_EQ(source(2) + "|" + destination(2), " " + a + "|" + a + "/") << "kept as typed";
    EXPECT_EQ(window->txtFrom->text() + window->txtTo->text(), "");
    EXPECT_TRUE(window->unsavedChanges());
    EXPECT_EQ(currentRow1Based(window->lsvBatList), 3);
}

TEST_F(Editing, deleteAndMove_actOnTheCurrentRowOnly_aMovedRowIsTestedAgain) {
    load();
    const QString a = makeFolder("a"), b = makeFolder("b"), c = makeFolder("c");
    addPair(a, b);
    addPair(b, c);
    addPair(c, a);
    markSaved();
    const auto order = [&] { return QStringList({source(0), source(1), source(2)}); };

    window->MoveBatchEntry(false); // the last row cannot go down
    selectAndReveal(window->lsvBatList, 0);
    window->MoveBatchEntry(true); // the first row cannot go up
    EXPECT_FALSE(window->unsavedChanges());
    QDir(c).removeRecursively();
    selectAndReveal(window->lsvBatList, 1);
    window->MoveBatchEntry(false);
    EXPECT_EQ(order(), QStringList({a, c, b}));
    EXPECT_EQ(marks(), "OON") << "only the moved row is tested again";
    const auto shows = [&](int row, const char* picture) { // the row's picture is its mark's
        const QVariant icon = window->model().index(row, 0).data(Qt::DecorationRole);
        return icon.value<QIcon>().pixmap(16).toImage() ==
               QIcon(QString(":/icons/") + picture).pixmap(16).toImage();
    };
    EXPECT_TRUE(shows(1, "ok.png") && shows(2, "ng.png"));
    EXPECT_EQ(currentRow1Based(window->lsvBatList), 3);
    EXPECT_TRUE(window->unsavedChanges());
    window->MoveBatchEntry(true);
    window->MoveBatchEntry(true);
    EXPECT_EQ(order(), QStringList({b, a, c}));

    window->DeleteBatchEntry();
    EXPECT_EQ(rows(), 2);
    QCoreApplication::processEvents();
    EXPECT_EQ(currentRow1Based(window->lsvBatList), std::nullopt);
    markSaved();
    window->DeleteBatchEntry();
    window->MoveBatchEntry(true);
    EXPECT_EQ(rows(), 2);
    EXPECT_FALSE(window->unsavedChanges());
}

TEST_F(Editing, folderPick_cancelKeepsTextAndFocusGoesToTheField) {
    load();
    showActive();
    window->txtFrom->setText("typed");
    window->txtTo->setText("/a much longer typed path");
    fakes.shell.folderChoices = {"", "/picked"};
    fakes.log.calls.clear();
    window->lsvBatList->setFocus();
    window->cmdFrom->click();
    EXPECT_EQ(window->txtFrom->text(), "typed");
    EXPECT_EQ(QApplication::focusWidget(), window->txtFrom);
    window->cmdTo->click();
    EXPECT_EQ(window->txtTo->text(), "/picked");
    EXPECT_EQ(QApplication::focusWidget(), window->txtTo);
    EXPECT_TRUE(button("Add")->isEnabled()) << "the command state runs after a pick";
    EXPECT_EQ(fakes.log.calls, QStringList({"ShellHelper.BrowseFolder(元フォルダを選択して下さい)",
                                            "PathHelper.FieldFocus(txtFrom)",
                                            "ShellHelper.BrowseFolder(先フォルダを選択して下さい)",
                                            "PathHelper.FieldFocus(txtTo)"}));
}

TEST_F(Editing, insert_showsTheNewRow_afterALoadItsLastRow) {
    load();
    window->show();
    for (int i = 0; i < 300; ++i) // as a list file is read
        window->InsertBatchEntry("", "", -1);
    QCoreApplication::processEvents();
    const auto shown = [&](int row) {
        const QTreeView* view = window->lsvBatList;
        return view->viewport()->rect().contains(view->visualRect(window->model().index(row, 0)));
    };
    EXPECT_TRUE(shown(299));
    window->InsertBatchEntry("", "", 1);
    EXPECT_TRUE(shown(0)) << "at once";
}

TEST_F(Editing, rowTooltips_showTheWholeFolderAndSayWhichFolderIsWrongAndWhy) {
    load();
    window->resize(500, 300);
    window->show();
    const QString a = makeFolder("a"), b = makeFolder("b");
    const QString deep = makeFolder(QString("long folder/").repeated(12) + "<b>bold</b>");
    window->InsertBatchEntry(path("gone"), b, -1);
    window->InsertBatchEntry(a, path("new"), -1);
    window->InsertBatchEntry(deep, b, -1);
    QCoreApplication::processEvents();
    EXPECT_EQ(marks(), "NNO");
    EXPECT_EQ(toolTipOver(0, 0), path("gone") + "\n元フォルダがありません");
    EXPECT_EQ(toolTipOver(0, 1), b + "\n元フォルダがありません") << "the row's notes on each cell";
    EXPECT_EQ(toolTipOver(1, 1),
              path("new") + "\n先フォルダはまだありません（コピーのときに作られます）");
    EXPECT_GT(window->lsvBatList->fontMetrics().horizontalAdvance(deep),
              window->lsvBatList->columnWidth(0));
    EXPECT_EQ(toolTipOver(2, 0), deep) << "cut short in its column, whole in its tooltip";
}

TEST_F(Editing, drop_aFolderOnAFieldOrItsButtonFillsIt_anythingElseIsRefusedAndChangesNothing) {
    load();
    window->show();
    EXPECT_TRUE(drop(window->txtFrom, {folderUrl("a")}));
    EXPECT_TRUE(drop(window->cmdTo, {folderUrl("b")}));
    EXPECT_EQ(window->txtFrom->text() + "|" + window->txtTo->text(), path("a") + "|" + path("b"));
    EXPECT_TRUE(button("Add")->isEnabled()) << "the command state runs after a drop";

    ASSERT_TRUE(writeBytes(path("file.txt"), "x"));
    QWidget* list = window->lsvBatList->viewport();
    QStringList refusals;
    const auto refused = [&](const QString& text) { refusals << text + "|48|" + exeBaseName(); };
    for (const QUrl& url :
         {QUrl::fromLocalFile(path("file.txt")), QUrl::fromLocalFile(path("gone")),
          QUrl("sftp://host/home/a"), QUrl("https://example.com/a")}) {
        EXPECT_TRUE(drop(window->txtFrom, {url}));
        EXPECT_TRUE(drop(list, {url, folderUrl("c")}));
        const QString name = url.isLocalFile() ? url.toLocalFile() : url.toString();
        refused("「" + name + "」はこのコンピュータのフォルダではありません");
        refused("「" + name + "」はこのコンピュータのフォルダではありません");
    }
    drop(window->txtTo, {folderUrl("c"), folderUrl("d")});
    refused("先フォルダの欄にドロップできるのはフォルダ 1 つです");
    drop(list, {folderUrl("c"), folderUrl("d"), folderUrl("e")});
    refused("リストにドロップできるのはフォルダ 1 つか 2 つです");
    drop(list, {});
    refused("リストにドロップできるのはフォルダ 1 つか 2 つです");
    drop(list, {folderUrl("c")});
    refused(
        "元フォルダと先フォルダの欄は入力済みです。フォルダは入れたい欄の上にドロップしてください");
    EXPECT_EQ(shownMessages(), refusals);
    EXPECT_EQ(window->txtFrom->text() + "|" + window->txtTo->text(), path("a") + "|" + path("b"));
    EXPECT_EQ(rows(), 0);
    EXPECT_FALSE(window->unsavedChanges());
}

TEST_F(Editing, drop_twoFoldersOnTheList_addAPairInTheOrderTheUserConfirms) {
    load();
    window->show();
    const QUrl a = folderUrl("a"), b = folderUrl("b");
    QWidget* list = window->lsvBatList->viewport();
    fakes.prompt.messageAnswers = {msg::kAnswerCancel, msg::kAnswerYes, msg::kAnswerNo};
    drop(list, {a, b});
    EXPECT_EQ(rows(), 0) << "cancelled";
    EXPECT_FALSE(window->unsavedChanges());
    drop(list, {a, b});
    drop(list, {a, b}); // No: the other way round
    drop(list, {a, a}); // refused as Add refuses it, without a question
    EXPECT_EQ(shownMessages().value(0),
              "元フォルダ: " + path("a") + "\n先フォルダ: " + path("b") +
                  "\n\nこの向きでリストに追加しますか？\n"
                  "「いいえ」を選ぶと、元と先を入れ替えて追加します。|67|" +
                  exeBaseName());
    EXPECT_EQ(shownMessages().value(3), "元フォルダと先フォルダが同じです|48|" + exeBaseName());
    EXPECT_EQ(shownMessages().size(), 4);
    ASSERT_EQ(rows(), 2);
    EXPECT_EQ(QStringList({source(0), destination(0), source(1), destination(1)}),
              QStringList({path("a"), path("b"), path("b"), path("a")}));
    EXPECT_EQ(marks(), "OO");
    EXPECT_TRUE(window->unsavedChanges());
    EXPECT_EQ(currentRow1Based(window->lsvBatList), 2);
    EXPECT_TRUE(button("Up")->isEnabled()) << "the command state runs after the drop";

    // One folder goes into the first empty field.
    drop(list, {folderUrl("c")});
    EXPECT_EQ(window->txtFrom->text() + "|" + window->txtTo->text(), path("c") + "|");
    drop(list, {folderUrl("d")});
    EXPECT_EQ(window->txtFrom->text() + "|" + window->txtTo->text(), path("c") + "|" + path("d"));
    EXPECT_TRUE(button("Add")->isEnabled());
}

TEST_F(Editing, rowsOnASilentShare_areNgAndTheWindowIsFreeWithinTwoSeconds) {
    const SilentShare share;
    if (!share.unavailable.isEmpty())
        GTEST_SKIP() << qPrintable(share.unavailable);
    load();
    const QString local = makeFolder("local");
    const QString list = path("job.xcpy");
    ASSERT_TRUE(writeBytes(list, QStringLiteral("%1=%2\r\n%2=%3\r\n%2=%2\r\n")
                                     .arg(share.path("backup/a"), local, share.path("backup/b"))
                                     .toUtf8()));

    QElapsedTimer clock;
    clock.start();
    window->OpenBatList(list);
    EXPECT_LT(clock.elapsed(), 2000);
    EXPECT_EQ(marks(), "NNO");
    window->show();
    EXPECT_EQ(toolTipOver(1, 1), share.path("backup/b") + "\n先フォルダから応答がありません");

    // The share has a test stuck on it: a new folder there is unreachable without another wait.
    clock.restart();
    addPair(local, share.path("other"));
    EXPECT_LT(clock.elapsed(), 400);
    EXPECT_EQ(marks(), "NNON");
}

} // namespace
} // namespace xcpy::test
