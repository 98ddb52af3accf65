#include "support/window_fixture.h"

#include "batchlist/batch_list_view.h"
#include "common/twips.h"
#include "companions/prompt_box.h"
#include "files/test_helpers.h"

#include <QTest>

namespace xcpy::test {
namespace {

using WindowBehaviour = WindowTest;

TEST_F(WindowBehaviour, resize_placesAreasInTwipsAndSplitsColumnsEqually) {
    load();
    window->show();
    const auto grow = [&](int dw, int dh) {
        window->resize(window->width() + dw, window->height() + dh);
        QCoreApplication::processEvents();
    };
    grow(0, 0);
    const QRect folder = window->picFolder->geometry(), list = window->picBatList->geometry();
    const int twips30 = twips::toPixels(30, window->logicalDpiY());
    EXPECT_EQ(folder.top(), twips30) << "30 twips below the toolbar";
    EXPECT_EQ(list.top(), folder.bottom() + 1);
    EXPECT_EQ(list.bottom() + 1, window->centralWidget()->height()) << "ends at the status bar";
    EXPECT_EQ(window->txtFrom->geometry().right(), folder.width() - 1);

    grow(200, 0);
    EXPECT_EQ(window->picFolder->width(), folder.width() + 200);
    EXPECT_EQ(window->txtTo->width(), window->txtFrom->width());
    EXPECT_EQ(window->lsvBatList->columnWidth(1), window->lsvBatList->columnWidth(0));
    grow(0, 100);
    EXPECT_EQ(window->picFolder->height(), folder.height()) << "only the list grows in height";
    EXPECT_EQ(window->picBatList->height(), list.height() + 100);
}

TEST_F(WindowBehaviour, newWithUnsavedRows_asksFirstThenEmptiesEverythingButTheSettings) {
    load();
    addPair("/a", "/b");
    window->txtFrom->setText("/typed");
    window->txtTo->setText("/typed too");
    panel("BatName")->setText("/lists/job.bat");
    fakes.prompt.messageAnswers = {msg::kAnswerYes};
    fakes.prompt.fileChoices = {path("kept.xcpy")};
    window->mnuF[0]->trigger();
    EXPECT_EQ(shownMessages(), QStringList{"バッチファイルに保存しますか？|68|" + exeBaseName()});
    EXPECT_EQ(readBytes(path("kept.xcpy")), "/a=/b\r\n") << "saved before the list is emptied";
    EXPECT_EQ(rows(), 0);
    EXPECT_EQ(window->txtFrom->text() + window->txtTo->text() + panel("FileName")->text() +
                  panel("BatName")->text(),
              "");
    EXPECT_FALSE(window->unsavedChanges());
    ASSERT_TRUE(window->close());
    EXPECT_EQ(fakes.settings["FileName"], "");
}

TEST_F(WindowBehaviour, newWhoseSaveDidNotHappen_keepsTheList) {
    load();
    addPair("/a", "/b");
    // The save dialog cancelled, then a save that fails.
    for (const std::optional<QString>& saveTo :
         {std::optional<QString>(), std::optional(path("no/such/folder/job.xcpy"))}) {
        fakes.prompt.messageAnswers = {msg::kAnswerYes};
        fakes.prompt.fileChoices = {saveTo};
        window->mnuF[0]->trigger();
        EXPECT_EQ(rows(), 1) << saveTo.value_or("(cancelled)").toStdString();
        EXPECT_TRUE(window->unsavedChanges());
    }
}

TEST_F(WindowBehaviour, runFromMaximizedThenMinimized_endsInTheNormalState) {
    load();
    addPair("/a", "/b");
    window->showMaximized();
    fakes.shell.onRun = [&](const QString&) {
        window->showMinimized();
        return 0;
    };
    window->ExecXCopy();
    EXPECT_EQ(window->windowState(), Qt::WindowNoState);
}

} // namespace
} // namespace xcpy::test
