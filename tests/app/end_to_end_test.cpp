// A user's session through the real widgets; only prompts, pickers and the process are fakes.
#include "support/window_fixture.h"

#include "companions/hot_button.h"
#include "companions/prompt_box.h"
#include "options/frmOption.h"

#include <QFile>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QToolButton>

namespace xcpy::test {
namespace {

class EndToEnd : public WindowTest {
protected:
    void clickToolbar(const char* key) {
        QAction* action = button(key);
        ASSERT_TRUE(action->isEnabled()) << key;
        QTest::mouseClick(window->tlbXCopy->widgetForAction(action), Qt::LeftButton);
    }
    void chooseFromMenu(QMenu* menu, QAction* item) {
        emit menu->aboutToShow(); // opening the menu brings its items up to date
        ASSERT_TRUE(item->isEnabled()) << item->text().toStdString();
        item->trigger();
    }
    QStringList sources() const {
        QStringList result;
        for (int row = 0; row < rows(); ++row)
            result << source(row);
        return result;
    }
};

TEST_F(EndToEnd, pickAddMoveDeleteSaveNewOpenWriteBatchChangeSwitches) {
    load();
    window->show();
    QApplication::setActiveWindow(window.get());
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    const QString a = makeFolder("src/a"), b = makeFolder("dst/b"), c = makeFolder("src/c"),
                  d = makeFolder("dst/d"), e = makeFolder("src/e");

    // Pick two folders with the buttons and add the pair from the toolbar.
    fakes.shell.folderChoices = {a, b};
    QTest::mouseClick(window->cmdFrom, Qt::LeftButton);
    QTest::mouseClick(window->cmdTo, Qt::LeftButton);
    clickToolbar("Add");
    // A second and third pair: picked through the List menu, typed by hand.
    fakes.shell.folderChoices = {c, d};
    chooseFromMenu(window->mnuList, window->mnuL[0]);
    chooseFromMenu(window->mnuList, window->mnuL[1]);
    chooseFromMenu(window->mnuList, window->mnuL[3]);
    QTest::keyClicks(window->txtFrom, e);
    QTest::keyClicks(window->txtTo, b);
    chooseFromMenu(window->mnuList, window->mnuL[3]);
    ASSERT_EQ(sources(), QStringList({a, c, e}));
    EXPECT_EQ(window->model().entry(2).mark, CheckMark::OK);

    // Move the last row up, click the first row and delete it.
    QCoreApplication::processEvents();
    clickToolbar("Up");
    EXPECT_EQ(sources(), QStringList({a, e, c}));
    const QRect first = window->lsvBatList->visualRect(window->model().index(0, 1));
    QTest::mouseClick(window->lsvBatList->viewport(), Qt::LeftButton, {}, first.center());
    EXPECT_FALSE(button("Up")->isEnabled());
    clickToolbar("Delete");
    EXPECT_EQ(sources(), QStringList({e, c}));
    EXPECT_TRUE(window->unsavedChanges());

    // Save, start a new list, open the saved one again.
    const QString list = path("job.xcpy");
    fakes.prompt.fileChoices = {list};
    clickToolbar("Save");
    EXPECT_FALSE(window->unsavedChanges());
    chooseFromMenu(window->mnuFile, window->mnuF[0]);
    EXPECT_EQ(rows(), 0);
    fakes.prompt.fileChoices = {list};
    clickToolbar("Open");
    EXPECT_EQ(sources(), QStringList({e, c}));

    // Change the switch string in the options dialog, then write a batch file.
    QTimer::singleShot(0, [] {
        auto* dialog = qobject_cast<frmOption*>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        auto* field = dialog->findChild<QLineEdit*>("txtXOption");
        field->selectAll();
        QTest::keyClicks(field, "/E /I /Y");
        QTest::mouseClick(dialog->findChild<QPushButton*>("cmdOK"), Qt::LeftButton);
    });
    chooseFromMenu(window->mnuOption, window->mnuO[0]);
    EXPECT_EQ(window->xOption(), "/E /I /Y");
    fakes.prompt.fileChoices = {path("job.bat")};
    clickToolbar("Bat");

    QFile batch(path("job.bat"));
    ASSERT_TRUE(batch.open(QIODevice::ReadOnly));
    EXPECT_EQ(QString::fromLatin1(batch.readAll()), "XCopy.exe \"" + e + "\" \"" + b +
                                                        "\" /E /I /Y\r\n" + "XCopy.exe \"" + c +
                                                        "\" \"" + d + "\" /E /I /Y\r\n");
    EXPECT_EQ(fakes.logLines.first(), "バッチ作成");
}

} // namespace
} // namespace xcpy::test
