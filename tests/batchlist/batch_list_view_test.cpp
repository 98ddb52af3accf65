#include "batchlist/batch_list_model.h"
#include "batchlist/batch_list_view.h"

#include <QApplication>
#include <QTest>
#include <QTreeView>
#include <gtest/gtest.h>

namespace xcpy {
namespace {

class batchlist_View : public ::testing::Test {
protected:
    void SetUp() override {
        configureBatchListView(&view);
        view.setModel(&model);
        view.resize(320, 200); // room for a handful of rows only
        view.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&view));
    }
    // What the window's insert does, minus the folder test.
    int insert(int position, const QString& name) {
        const int row = model.insertEntry(position, {name, "/d", CheckMark::NG});
        selectAndReveal(&view, row);
        return row;
    }
    // Current, the only selection, and wholly inside the viewport.
    void expectShownAsCurrent(int row) {
        const QModelIndex index = model.index(row, 0);
        EXPECT_EQ(view.selectionModel()->selectedRows(), QModelIndexList{index});
        EXPECT_TRUE(view.viewport()->rect().contains(view.visualRect(index))) << row;
        EXPECT_EQ(currentRow1Based(&view), row + 1);
    }
    BatchListModel model;
    QTreeView view;
};

TEST_F(batchlist_View, insert_isCurrentSelectedAndVisible_aBurstShowsItsLastRowAfterEventLoop) {
    for (int i = 0; i < 300; ++i) // as a list file is read
        insert(-1, QString::number(i));
    EXPECT_EQ(currentRow1Based(&view), 300); // merged, but row lookups already see it
    QApplication::processEvents();
    expectShownAsCurrent(299);
    EXPECT_EQ(insert(1, "top"), 0); // at once: the view has to scroll back
    expectShownAsCurrent(0);
    QApplication::processEvents();
    EXPECT_EQ(insert(150, "middle"), 149);
    expectShownAsCurrent(149);
}

} // namespace
} // namespace xcpy
