#include "support/window_fixture.h"

#include "app/twips.h"
#include "batchlist/batch_list_view.h"
#include "companions/prompt_box.h"
#include "options/frmOption.h"

#include <QHeaderView>
#include <QPushButton>
#include <QStatusBar>
#include <QTest>
#include <QTimer>

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
    EXPECT_EQ(window->lsvBatList->columnWidth(0), window->lsvBatList->columnWidth(1));

    grow(200, 0);
    EXPECT_EQ(window->picFolder->width(), folder.width() + 200);
    EXPECT_EQ(window->txtTo->width(), window->txtFrom->width());
    EXPECT_EQ(window->lsvBatList->columnWidth(1), window->lsvBatList->columnWidth(0));
    grow(0, 100);
    EXPECT_EQ(window->picFolder->height(), folder.height()) << "only the list grows in height";
    EXPECT_EQ(window->picBatList->height(), list.height() + 100);
    grow(-window->width() + 40, 0); // narrower than the fields' left edge: they keep their width
    EXPECT_GT(window->txtFrom->width(), 0);
}

TEST_F(WindowBehaviour, newList_emptiesPanelsAndTheNextStartLoadsNothing) {
    load();
    window->findChild<QLabel*>("FileName")->setText("/lists/job.xcpy");
    window->findChild<QLabel*>("BatName")->setText("/lists/job.bat");
    window->txtTo->setText("/typed");
    window->mnuF[0]->trigger();
    EXPECT_TRUE(window->findChild<QLabel*>("FileName")->text().isEmpty());
    EXPECT_TRUE(window->findChild<QLabel*>("BatName")->text().isEmpty());
    EXPECT_TRUE(window->txtTo->text().isEmpty());
    ASSERT_TRUE(window->close());
    EXPECT_EQ(fakes.settings["FileName"], "");
}

TEST_F(WindowBehaviour, newList_keepsTheListUnlessTheChangesWereSavedOrGivenUp) {
    load();
    addPair("/a", "/b");
    const struct {
        qint32 answer;
        std::optional<QString> saveTo; // nullopt: the save dialog is cancelled
        int rowsAfter;
    } cases[] = {
        {msg::kAnswerYes, std::nullopt, 1},
        {msg::kAnswerYes, path("no/such/folder/job.xcpy"), 1}, // the save fails
        {msg::kAnswerYes, path("job.xcpy"), 0},
    };
    for (const auto& c : cases) {
        fakes.prompt.messageAnswers = {c.answer};
        fakes.prompt.fileChoices = {c.saveTo};
        window->mnuF[0]->trigger();
        EXPECT_EQ(rows(), c.rowsAfter) << c.saveTo.value_or("(cancelled)").toStdString();
    }
    QFile saved(path("job.xcpy"));
    ASSERT_TRUE(saved.open(QIODevice::ReadOnly));
    EXPECT_EQ(saved.readAll(), "/a=/b\r\n");
}

TEST_F(WindowBehaviour, rightDoubleClick_neitherSelectsNorMovesTheCurrentRow) {
    load();
    window->show();
    addPair("/a", "/b");
    addPair("/c", "/d");
    QCoreApplication::processEvents();
    const QPoint firstRow = window->lsvBatList->visualRect(window->model().index(0, 1)).center();
    QTest::mouseDClick(window->lsvBatList->viewport(), Qt::RightButton, {}, firstRow);
    EXPECT_EQ(currentRow1Based(window->lsvBatList), 2);
    EXPECT_EQ(window->lsvBatList->currentIndex().row(), 1);
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

TEST_F(WindowBehaviour, cancelledOptions_keepTheSwitchesForTheNextBatchFile) {
    load();
    addPair("/a", "/b");
    QTimer::singleShot(0, [] {
        auto* dialog = qobject_cast<frmOption*>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        dialog->findChild<QLineEdit*>("txtXOption")->setText("/S");
        QTest::mouseClick(dialog->findChild<QPushButton*>("cmdCancel"), Qt::LeftButton);
    });
    window->mnuO[0]->trigger();
    EXPECT_EQ(window->xOption(), "/D /E ");
    fakes.prompt.fileChoices = {path("job.bat")};
    window->CreateBatFile();
    EXPECT_EQ(fakes.logLines.last(), "XCopy.exe \"/a\" \"/b\" /D /E ");
}

} // namespace
} // namespace xcpy::test
