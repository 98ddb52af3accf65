#include "support/window_fixture.h"

#include "batchlist/batch_list_view.h"
#include "companions/hot_button.h"
#include "files/test_helpers.h"

#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QTimer>

namespace xcpy::test {
namespace {

using Commands = WindowTest;

// Enabled states of Save, Bat, Exec, Add, Delete, Up, Down as 0/1; menu items must agree.
QString states(const frmXCopy& w) {
    const std::pair<const char*, QAction*> pairs[] = {
        {"Save", w.mnuF[2]},   {"Bat", w.mnuF[4]}, {"Exec", w.mnuF[5]}, {"Add", w.mnuL[3]},
        {"Delete", w.mnuL[4]}, {"Up", w.mnuL[6]},  {"Down", w.mnuL[7]}};
    QString result;
    for (const auto& [key, item] : pairs) {
        const bool enabled = findToolbarButton(w.tlbXCopy, key)->isEnabled();
        EXPECT_EQ(item->isEnabled(), enabled) << key;
        result += enabled ? '1' : '0';
    }
    return result;
}

TEST_F(Commands, commandState_followsRowsCurrentRowAndFields) {
    load();
    // Opening the List menu recomputes the state; a single blank counts as filled.
    window->txtFrom->setText(" ");
    window->txtTo->setText("/x");
    emit window->mnuList->aboutToShow();
    EXPECT_EQ(states(*window), "0001000");
    window->txtTo->clear();
    emit window->mnuList->aboutToShow();
    EXPECT_EQ(states(*window), "0000000") << "both fields are needed";
    const QString a = makeFolder("a"), b = makeFolder("b");
    addPair(a, b);
    window->UpdateCommandState();
    EXPECT_EQ(states(*window), "1110100");
    addPair(a + "/", b);
    addPair(b, a);
    QCoreApplication::processEvents(); // the list applies its selection on the next turn
    const std::pair<int, const char*> cases[] = {
        {1, "1110101"}, {2, "1110111"}, {3, "1110110"}, {0, "1110100"}}; // 0: none current
    for (const auto& [current, expected] : cases) {
        window->lsvBatList->clearSelection();
        if (current)
            window->lsvBatList->selectionModel()->select(window->model().index(current - 1, 0),
                                                         QItemSelectionModel::ClearAndSelect |
                                                             QItemSelectionModel::Rows);
        window->UpdateCommandState();
        EXPECT_EQ(states(*window), expected) << "current row " << current;
    }
}

TEST_F(Commands, optionsAndVersionInformation_recomputeTheStateAfterwards) {
    load();
    QTimer::singleShot(0, [] { QApplication::activeModalWidget()->close(); }); // Options
    for (QAction* item : {window->mnuO[0], window->mnuH[0]}) {
        window->txtFrom->clear();
        window->UpdateCommandState();
        window->txtFrom->setText("/x");
        window->txtTo->setText("/y");
        item->trigger();
        EXPECT_TRUE(button("Add")->isEnabled()) << item->objectName().toStdString();
    }
}

TEST_F(Commands, contextMenu_opensOnRightClickOverTheSelectedRowOnly) {
    load();
    window->resize(600, 400);
    addPair(makeFolder("a"), makeFolder("b"));
    addPair(makeFolder("c"), makeFolder("d")); // row 2 is selected
    QCoreApplication::processEvents();
    QWidget* viewport = window->lsvBatList->viewport();
    const auto click = [&](Qt::MouseButton mouse, int row) {
        const QPoint pos = window->lsvBatList->visualRect(window->model().index(row, 1)).center();
        QTest::mousePress(viewport, mouse, {}, pos);
        QTest::mouseRelease(viewport, mouse, {}, pos);
        return pos;
    };
    QTest::mouseDClick(viewport, Qt::RightButton, {}, click(Qt::RightButton, 0));
    EXPECT_FALSE(window->mnuList->isVisible());
    EXPECT_EQ(currentRow1Based(window->lsvBatList), 2) << "a right click never selects";
    click(Qt::RightButton, 1);
    EXPECT_TRUE(window->mnuList->isVisible());
    window->mnuList->hide();

    click(Qt::LeftButton, 0);
    EXPECT_FALSE(window->mnuList->isVisible());
    EXPECT_EQ(states(*window), "1110101") << "the clicked row is current, the state recomputed";
}

// One line per menu ("title: caption shortcut, ...") and one for the toolbar ("key tooltip, ...");
// "-" stands for a separator.
QStringList composition(const frmXCopy& w) {
    QStringList lines;
    const auto line = [](const QString& title, const QList<QAction*>& actions, auto describe) {
        QStringList items;
        for (QAction* action : actions)
            items << (action->isSeparator() ? QStringLiteral("-") : describe(action).trimmed());
        return title + ": " + items.join(", ");
    };
    for (QAction* menu : w.menuBar()->actions())
        lines << line(menu->text(), menu->menu()->actions(), [](QAction* item) {
            return item->text() + ' ' + item->shortcut().toString();
        });
    lines << line("toolbar", w.tlbXCopy->actions(),
                  [](QAction* button) { return button->objectName() + ' ' + button->toolTip(); });
    return lines;
}

TEST_F(Commands, composition_menusToolbarAndShortcutsAsTheUserMeetsThem) {
    EXPECT_EQ(composition(*window),
              QStringList({"ファイル(&F): 新規(&N), 開く(&O) Ctrl+O, 保存(&S) Ctrl+S, -, "
                           "バッチ作成(&B), 実行(&X), -, 終了(&Q) Ctrl+Q",
                           "リスト(&L): 元フォルダ(&F) Ctrl+F, 先フォルダ(&T) Ctrl+T, -, "
                           "追加(&A) Ctrl+A, 削除(&D) Del, -, 順序を上へ Ctrl+Up, "
                           "順序を下へ Ctrl+Down, -, 見るだけ(&V) Ctrl+P",
                           "オプション(&O): XCopyのオプション", "ヘルプ(&H): バージョン情報(&A)",
                           "toolbar: Open バックアップリストを開く, Save バックアップリストを保存, "
                           "-, Add リストに追加, Delete リストから削除, -, Up 上へ移動, "
                           "Down 下へ移動, -, Bat バッチファイル作成, Exec バッチ実行, "
                           "Preview 見るだけ（コピーせずに確認）"}));
}

// A user's session through the real widgets, by mouse and by keys; only prompts, pickers and
// the process are fakes.
TEST_F(Commands, session_pickTypeAddMoveChangeSwitchesWriteTheBatchFileByMouseAndKeys) {
    load();
    showActive();
    const auto clickToolbar = [&](const char* key) {
        QTest::mouseClick(window->tlbXCopy->widgetForAction(button(key)), Qt::LeftButton);
    };
    const auto ctrl = [](QWidget* widget, Qt::Key key) {
        widget->setFocus();
        QTest::keyClick(widget, key, Qt::ControlModifier);
    };
    const QString a = makeFolder("src/a"), b = makeFolder("dst/b"), c = makeFolder("src/c");
    fakes.shell.folderChoices = {a, b};
    QTest::mouseClick(window->cmdFrom, Qt::LeftButton);
    QTest::mouseClick(window->cmdTo, Qt::LeftButton);
    clickToolbar("Add");
    QTest::keyClicks(window->txtFrom, c);
    QTest::keyClicks(window->txtTo, path("dst/none"));
    emit window->mnuList->aboutToShow(); // opening the menu brings its items up to date
    window->mnuL[3]->trigger();
    ASSERT_EQ(rows(), 2);
    QCoreApplication::processEvents();
    clickToolbar("Up");
    EXPECT_EQ(source(0), c);
    // Ctrl+Down and Ctrl+Up move the current row, from a folder field as from the list.
    ctrl(window->txtTo, Qt::Key_Down);
    EXPECT_EQ(QStringList({source(0), source(1)}), QStringList({a, c}));
    EXPECT_EQ(currentRow1Based(window->lsvBatList), 2);
    ctrl(window->lsvBatList, Qt::Key_Up);
    EXPECT_EQ(QStringList({source(0), source(1)}), QStringList({c, a}));

    QTimer::singleShot(0, [] {
        QWidget* dialog = QApplication::activeModalWidget();
        ASSERT_NE(dialog, nullptr);
        dialog->findChild<QLineEdit*>("txtXOption")->setText("/E /I /Y");
        QTest::mouseClick(dialog->findChild<QPushButton*>("cmdOK"), Qt::LeftButton);
    });
    window->mnuO[0]->trigger();
    fakes.prompt.fileChoices = {path("job.bat")};
    clickToolbar("Bat");
    EXPECT_EQ(QString::fromLatin1(readBytes(path("job.bat"))),
              "XCopy.exe \"" + c + "\" \"" + path("dst/none") + "\" /E /I /Y\r\n" + "XCopy.exe \"" +
                  a + "\" \"" + b + "\" /E /I /Y\r\n");
    EXPECT_EQ(fakes.logLines.first(), "バッチ作成");

    showActive(); // the keys need the window back from the dialogs
    window->lsvBatList->setFocus();
    for (Qt::Key key : {Qt::Key_O, Qt::Key_S, Qt::Key_F, Qt::Key_T}) // pickers are cancelled
        ctrl(QApplication::focusWidget(), key);
    EXPECT_EQ(
        fakes.prompt.dialogKinds,
        QList<FileDialogKind>({FileDialogKind::Save, FileDialogKind::Open, FileDialogKind::Save}));
    const QString from = "ShellHelper.BrowseFolder(元フォルダを選択して下さい)",
                  to = "ShellHelper.BrowseFolder(先フォルダを選択して下さい)";
    EXPECT_EQ(fakes.log.calls.filter("BrowseFolder"), QStringList({from, to, from, to}));

    // In a folder field Del and Ctrl+A keep their editing meaning; elsewhere Del deletes the row.
    window->txtFrom->setText("abc");
    window->txtFrom->setFocus();
    window->txtFrom->setCursorPosition(0);
    QTest::keyClick(window->txtFrom, Qt::Key_Delete);
    ctrl(window->txtFrom, Qt::Key_A);
    EXPECT_EQ(window->txtFrom->selectedText(), "bc");
    EXPECT_EQ(rows(), 2);
    window->lsvBatList->setFocus();
    QTest::keyClick(window->lsvBatList, Qt::Key_Delete);
    EXPECT_EQ(QStringList({source(0)}), QStringList({a}));
    QTest::mouseClick(window->lsvBatList->viewport(), Qt::LeftButton, {},
                      window->lsvBatList->visualRect(window->model().index(0, 0)).center());
    clickToolbar("Delete");
    EXPECT_EQ(rows(), 0);
    clickToolbar("Open");
    EXPECT_EQ(fakes.prompt.dialogKinds.last(), FileDialogKind::Open);
    fakes.prompt.messageAnswers = {msg::kAnswerNo}; // do not save
    ctrl(window->lsvBatList, Qt::Key_Q);
    EXPECT_FALSE(window->isVisible()) << "Ctrl+Q closes";
}

} // namespace
} // namespace xcpy::test
