#include "support/window_fixture.h"

#include "batchlist/batch_list_view.h"
#include "companions/hot_button.h"
#include "companions/prompt_box.h"

#include <QMenu>
#include <QTest>

namespace xcpy::test {
namespace {

using Commands = WindowTest;

// The enabled states of Save, Bat, Exec, Add, Delete, Up, Down on the toolbar, as a string of
// 0 and 1; the menu items must agree with their buttons.
QString states(const frmXCopy& window) {
    const std::array<std::pair<const char*, QAction*>, 7> pairs = {{
        {"Save", window.mnuF[2]},
        {"Bat", window.mnuF[4]},
        {"Exec", window.mnuF[5]},
        {"Add", window.mnuL[3]},
        {"Delete", window.mnuL[4]},
        {"Up", window.mnuL[6]},
        {"Down", window.mnuL[7]},
    }};
    QString result;
    for (const auto& [key, item] : pairs) {
        const bool enabled = findToolbarButton(window.tlbXCopy, key)->isEnabled();
        EXPECT_EQ(item->isEnabled(), enabled) << key;
        result += enabled ? '1' : '0';
    }
    return result;
}

TEST_F(Commands, commandState_followsRowsCurrentRowAndFields) {
    load();
    EXPECT_EQ(states(*window), "0000000");
    const QString a = makeFolder("a"), b = makeFolder("b");
    addPair(a, b);
    window->UpdateCommandState();
    EXPECT_EQ(states(*window), "1110100");
    addPair(a + "/", b);
    addPair(b, a);
    QCoreApplication::processEvents(); // the list applies its selection on the next turn
    struct {
        int current; // 0: no current row
        const char* expected;
    } cases[] = {{1, "1110101"}, {2, "1110111"}, {3, "1110110"}, {0, "1110100"}};
    for (const auto& c : cases) {
        window->lsvBatList->clearSelection();
        if (c.current)
            window->lsvBatList->selectionModel()->select(window->model().index(c.current - 1, 0),
                                                         QItemSelectionModel::ClearAndSelect |
                                                             QItemSelectionModel::Rows);
        window->UpdateCommandState();
        EXPECT_EQ(states(*window), c.expected) << "current row " << c.current;
    }
}

TEST_F(Commands, typedFields_leaveAddAsItWasUntilListMenuOpens) {
    load();
    window->txtFrom->setText(" "); // a single blank counts as filled
    window->txtTo->setText("/x");
    EXPECT_FALSE(button("Add")->isEnabled());
    emit window->mnuList->aboutToShow();
    EXPECT_TRUE(button("Add")->isEnabled());
    EXPECT_TRUE(window->mnuL[3]->isEnabled());
}

TEST_F(Commands, toolbarDispatch_byKeyAndUnknownKeyStillRecomputes) {
    load();
    window->txtFrom->setText(makeFolder("a"));
    window->txtTo->setText(makeFolder("b"));
    QAction stranger(QStringLiteral("?"));
    stranger.setObjectName(QStringLiteral("add")); // keys compare exactly
    window->tlbXCopy_ButtonClick(&stranger);
    EXPECT_EQ(rows(), 0);
    EXPECT_TRUE(button("Add")->isEnabled()); // recomputed after a click that matched nothing
    button("Add")->trigger();
    EXPECT_EQ(rows(), 1);
    EXPECT_TRUE(button("Delete")->isEnabled());
    addPair("/p", "/q");
    button("Delete")->trigger(); // the new row is current
    EXPECT_EQ(rows(), 1);
    EXPECT_TRUE(button("Delete")->isEnabled());
    button("Delete")->trigger();
    EXPECT_EQ(rows(), 1) << "a delete without a current row changes nothing";
}

TEST_F(Commands, menuDispatch_quitSkipsCommandStateAndOthersRecompute) {
    load();
    window->txtFrom->setText("/x");
    window->txtTo->setText("/y");
    window->mnuF[3]->trigger(); // a separator index dispatches nothing but recomputes
    EXPECT_TRUE(button("Add")->isEnabled());
    window->txtFrom->clear();
    fakes.prompt.messageAnswers = {};
    window->mnuF[7]->trigger(); // Quit: closes, no recompute
    EXPECT_TRUE(button("Add")->isEnabled());
    EXPECT_FALSE(window->isVisible());
}

TEST_F(Commands, folderMenuItems_pressTheFolderButtons) {
    load();
    fakes.shell.folderChoices = {"/picked/from", ""};
    window->mnuL[0]->trigger();
    window->mnuL[1]->trigger(); // cancelled
    EXPECT_EQ(fakes.shell.prompts,
              QStringList({"元フォルダを選択して下さい", "先フォルダを選択して下さい"}));
    EXPECT_EQ(window->txtFrom->text(), "/picked/from");
    EXPECT_TRUE(window->txtTo->text().isEmpty());
}

TEST_F(Commands, newList_asksOnlyWithUnsavedChangesAndEmptiesEverything) {
    load();
    addPair(makeFolder("a"), makeFolder("b"));
    window->txtFrom->setText("typed");
    fakes.prompt.messageAnswers = {msg::kAnswerYes};
    fakes.prompt.fileChoices = {std::nullopt}; // the save dialog is cancelled
    window->mnuF[0]->trigger();
    ASSERT_EQ(fakes.prompt.messages.size(), 1);
    EXPECT_EQ(fakes.prompt.messages[0].style, 68);
    EXPECT_EQ(fakes.prompt.messages[0].title, exeBaseName());
    EXPECT_EQ(rows(), 0);
    EXPECT_TRUE(window->txtFrom->text().isEmpty());
    EXPECT_FALSE(window->unsavedChanges());
    EXPECT_EQ(states(*window), "0000000");
    window->mnuF[0]->trigger();
    EXPECT_EQ(fakes.prompt.messages.size(), 1) << "nothing unsaved: no question";
}

TEST_F(Commands, versionInfo_getsTheProgramAndAnEmptyObject) {
    load();
    window->mnuH[0]->trigger();
    EXPECT_EQ(fakes.log.of("PromptBox"),
              QStringList({"PromptBox.VersionInfo(xcpylist, 1.0.0, null)"}));
}

class ContextMenu : public WindowTest {
protected:
    void SetUp() override {
        WindowTest::SetUp();
        load();
        window->resize(600, 400);
        addPair(makeFolder("a"), makeFolder("b"));
        addPair(makeFolder("c"), makeFolder("d"));
        QCoreApplication::processEvents();
    }
    QPoint rowCentre(int row) const {
        return window->lsvBatList->visualRect(window->model().index(row, 1)).center();
    }
    void click(Qt::MouseButton button, QPoint pos) {
        QTest::mousePress(window->lsvBatList->viewport(), button, {}, pos);
        QTest::mouseRelease(window->lsvBatList->viewport(), button, {}, pos);
    }
};

TEST_F(ContextMenu, rightClick_opensOnlyOverTheSelectedRowAndNeverSelects) {
    click(Qt::RightButton, rowCentre(0)); // row 2 is the selected one
    EXPECT_FALSE(window->mnuList->isVisible());
    EXPECT_EQ(currentRow1Based(window->lsvBatList), 2);
    click(Qt::RightButton, QPoint(5, window->lsvBatList->viewport()->height() - 5));
    EXPECT_FALSE(window->mnuList->isVisible());
    click(Qt::RightButton, rowCentre(1));
    EXPECT_TRUE(window->mnuList->isVisible());
    EXPECT_TRUE(button("Up")->isEnabled()); // opening the menu recomputed the state
    window->mnuList->hide();
}

TEST_F(ContextMenu, leftClick_selectsWithoutMenuAndRecomputes) {
    click(Qt::LeftButton, rowCentre(0));
    EXPECT_FALSE(window->mnuList->isVisible());
    EXPECT_EQ(currentRow1Based(window->lsvBatList), 1);
    EXPECT_FALSE(button("Up")->isEnabled());
    EXPECT_TRUE(button("Down")->isEnabled());
}

TEST_F(Commands, shortcutsInFolderField_keepTheirEditingMeaning) {
    load();
    window->show();
    QApplication::setActiveWindow(window.get());
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    addPair(makeFolder("a"), makeFolder("b"));
    window->txtFrom->setText("abc");
    window->txtTo->setText("xyz");
    QCoreApplication::processEvents();
    window->UpdateCommandState(); // Delete and Add are offered
    window->txtFrom->setFocus();
    window->txtFrom->setCursorPosition(0);
    QTest::keyClick(window->txtFrom, Qt::Key_Delete);
    EXPECT_EQ(window->txtFrom->text(), "bc");
    EXPECT_EQ(rows(), 1);
    QTest::keyClick(window->txtFrom, Qt::Key_A, Qt::ControlModifier);
    EXPECT_EQ(window->txtFrom->selectedText(), "bc");
    EXPECT_EQ(rows(), 1);
    // Elsewhere Del deletes the current row.
    window->lsvBatList->setFocus();
    QTest::keyClick(window->lsvBatList, Qt::Key_Delete);
    EXPECT_EQ(rows(), 0);
}

} // namespace
} // namespace xcpy::test
