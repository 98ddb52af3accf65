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
    void fill(int rows) {
        for (int i = 0; i < rows; ++i)
            insert(-1, QString::number(i));
        QApplication::processEvents();
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

TEST_F(batchlist_View, insert_isCurrentSelectedAndVisibleAtOnce) {
    fill(300);
    expectShownAsCurrent(299);
    EXPECT_EQ(insert(1, "top"), 0); // the view has to scroll back
    expectShownAsCurrent(0);
    QApplication::processEvents();
    EXPECT_EQ(insert(150, "middle"), 149);
    expectShownAsCurrent(149);
}

TEST_F(batchlist_View, burstOfInserts_endsWithLastRowShownAfterEventLoop) {
    fill(50);
    for (int i = 0; i < 500; ++i)
        insert(-1, "burst" + QString::number(i));
    EXPECT_EQ(currentRow1Based(&view), 550); // merged, but row lookups already see it
    QApplication::processEvents();
    expectShownAsCurrent(549);
    // A merged row follows later inserts above it until it is applied.
    insert(-1, "a");
    insert(-1, "b"); // merged
    insert(1, "c");  // merged: "b" must not win only because its row number was kept
    finishPendingReveal(&view);
    expectShownAsCurrent(0);
    insert(-1, "d"); // still the same burst
    insert(3, "e");
    EXPECT_EQ(currentRow1Based(&view), 3);
    QApplication::processEvents();
    expectShownAsCurrent(2);
    EXPECT_EQ(model.entry(2).source, "e");
}

} // namespace
} // namespace xcpy
