// A user's session through the real widgets; only prompts, pickers and the process are fakes.
#include "support/window_fixture.h"

#include "companions/hot_button.h"
#include "companions/prompt_box.h"
#include "files/test_helpers.h"
#include "options/frmOption.h"

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
};

TEST_F(EndToEnd, pickTypeAddMoveChangeSwitchesAndWriteTheBatchFile) {
    load();
    showActive();
    const QString a = makeFolder("src/a"), b = makeFolder("dst/b"), c = makeFolder("src/c");

    // Pick two folders with the buttons and add the pair from the toolbar; type a second pair
    // and add it through the List menu; move it up.
    fakes.shell.folderChoices = {a, b};
    QTest::mouseClick(window->cmdFrom, Qt::LeftButton);
    QTest::mouseClick(window->cmdTo, Qt::LeftButton);
    clickToolbar("Add");
    QTest::keyClicks(window->txtFrom, c);
    QTest::keyClicks(window->txtTo, path("dst/none"));
    chooseFromMenu(window->mnuList, window->mnuL[3]);
    ASSERT_EQ(marks(), "ON");
    QCoreApplication::processEvents();
    clickToolbar("Up");
    EXPECT_EQ(source(0), c);

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
    fakes.prompt.fileChoices = {path("job.bat")};
    clickToolbar("Bat");
    EXPECT_EQ(QString::fromLatin1(readBytes(path("job.bat"))),
              "XCopy.exe \"" + c + "\" \"" + path("dst/none") + "\" /E /I /Y\r\n" + "XCopy.exe \"" +
                  a + "\" \"" + b + "\" /E /I /Y\r\n");
    EXPECT_EQ(fakes.logLines.first(), "バッチ作成");
}

} // namespace
} // namespace xcpy::test
