#include "support/window_fixture.h"

#include "files/test_helpers.h"

#include <QStatusBar>

namespace xcpy::test {
namespace {

using WindowBehaviour = WindowTest;

TEST_F(WindowBehaviour, resize_folderFieldsTakeTheWidthTheListTheHeightColumnsSplitEqually) {
    load();
    window->show();
    const auto grow = [&](int dw, int dh) {
        window->resize(window->width() + dw, window->height() + dh);
        QCoreApplication::processEvents();
    };
    grow(0, 0);
    const QRect folder = window->picFolder->geometry(), list = window->picBatList->geometry();
    EXPECT_EQ(list.bottom() + 1, window->centralWidget()->height()) << "ends at the status bar";
    EXPECT_EQ(window->lsvBatList->y(), window->stbBatList->geometry().bottom() + 1);

    // Each column is half the list's width in twips, halved toward zero, less 30: at 96 DPI a
    // list 618 pixels (9270 twips) wide has columns of 4605 twips, 307 pixels, and one of 619
    // pixels (9285 twips: 4642 less 30) still 307, where exact halves would round to 308.
    ASSERT_EQ(window->logicalDpiX(), 96);
    for (const auto& [listWidth, columnWidth] :
         {std::pair(618, 307), std::pair(619, 307), std::pair(620, 308), std::pair(900, 448)}) {
        grow(listWidth - window->lsvBatList->width(), 0);
        ASSERT_EQ(window->lsvBatList->width(), listWidth);
        EXPECT_EQ(window->lsvBatList->columnWidth(0), columnWidth) << listWidth;
        EXPECT_EQ(window->lsvBatList->columnWidth(1), columnWidth) << listWidth;
    }
    EXPECT_EQ(window->txtTo->geometry().right(), window->centralWidget()->width() - 1);
    grow(0, 100);
    EXPECT_EQ(window->picFolder->height(), folder.height()) << "only the list grows in height";
    EXPECT_EQ(window->picBatList->height(), list.height() + 100);
}

TEST_F(WindowBehaviour, new_asksFirstAndEmptiesEverythingButTheSettingsOnlyOnceSaved) {
    load();
    addPair("/a", "/b");
    window->txtFrom->setText("/typed");
    window->txtTo->setText("/typed too");
    panel("BatName")->setText("/lists/job.bat");
    // The save dialog cancelled, a save that fails, then one that works.
    for (const QString& saveTo : {QString(), path("no/such/folder/job.xcpy"), path("kept.xcpy")}) {
        EXPECT_EQ(rows(), 1) << "kept without the save";
        EXPECT_TRUE(window->unsavedChanges());
        fakes.prompt.messageAnswers = {msg::kAnswerYes};
        fakes.prompt.fileChoices = {saveTo.isEmpty() ? std::nullopt : std::optional(saveTo)};
        window->mnuF[0]->trigger();
    }
    EXPECT_EQ(shownMessages().value(0), "バッチファイルに保存しますか？|68|" + exeBaseName());
    EXPECT_EQ(readBytes(path("kept.xcpy")), "/a=/b\r\n");
    EXPECT_EQ(rows(), 0);
    EXPECT_EQ(window->txtFrom->text() + window->txtTo->text() + panel("FileName")->text() +
                  panel("BatName")->text(),
              "");
    EXPECT_FALSE(window->unsavedChanges());
    ASSERT_TRUE(window->close());
    EXPECT_EQ(fakes.settings["FileName"], "");
}

} // namespace
} // namespace xcpy::test
