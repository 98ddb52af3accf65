#include "batchlist/batch_list_model.h"
#include "batchlist/batch_list_view.h"

#include <QApplication>
#include <QFocusEvent>
#include <QTest>
#include <QTreeView>
#include <gtest/gtest.h>

namespace xcpy {
namespace {

class batchlist_View : public ::testing::Test {
protected:
    void SetUp() override {
        configureBatchListView(&m_view);
        m_view.setModel(&m_model);
        m_view.resize(320, 200); // room for a handful of rows only
        m_view.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&m_view));
    }

    // What the window's insert does, minus the folder test.
    int insertAndReveal(int position, const QString& name) {
        const int row = m_model.insertEntry(position, {"/s/" + name, "/d/" + name, CheckMark::NG});
        selectAndReveal(&m_view, row);
        return row;
    }

    void fill(int rows) {
        for (int i = 0; i < rows; ++i)
            insertAndReveal(-1, QString::number(i));
        QApplication::processEvents();
    }

    // The view's own state: current, the only selection, and wholly inside the viewport.
    void expectShownAsCurrent(int row) {
        const QModelIndex index = m_model.index(row, 0);
        EXPECT_EQ(m_view.currentIndex().row(), row);
        EXPECT_EQ(m_view.selectionModel()->selectedRows(),
                  QModelIndexList{index}); // both columns, nothing else
        EXPECT_TRUE(m_view.viewport()->rect().contains(m_view.visualRect(index)))
            << "row " << row << " at " << m_view.visualRect(index).y();
        EXPECT_EQ(currentRow1Based(&m_view), row + 1);
    }

    void expectNoCurrentRow() {
        EXPECT_FALSE(m_view.currentIndex().isValid());
        EXPECT_FALSE(m_view.selectionModel()->hasSelection());
        EXPECT_EQ(currentRow1Based(&m_view), std::nullopt);
    }

    BatchListModel m_model;
    QTreeView m_view;
};

TEST_F(batchlist_View, singleInsert_isCurrentSelectedAndVisibleAtOnce) {
    fill(300);
    expectShownAsCurrent(299);

    // Insert at the top of a list scrolled to its end: the view has to scroll back.
    EXPECT_EQ(insertAndReveal(1, "top"), 0);
    expectShownAsCurrent(0);

    QApplication::processEvents(); // the next user action
    EXPECT_EQ(insertAndReveal(150, "middle"), 149);
    expectShownAsCurrent(149);
}

TEST_F(batchlist_View, burstOfInserts_endsWithLastRowShownAfterEventLoop) {
    fill(50);
    for (int i = 0; i < 500; ++i)
        insertAndReveal(-1, "burst" + QString::number(i));
    // Merged, but the window's own row lookups already see the last row.
    EXPECT_EQ(currentRow1Based(&m_view), 550);
    QApplication::processEvents();
    expectShownAsCurrent(549);

    // A merged row follows later inserts above it until it is applied.
    insertAndReveal(-1, "a");
    insertAndReveal(-1, "b"); // merged
    insertAndReveal(1, "c");  // merged: "b" must not win only because its row number was kept
    finishPendingReveal(&m_view);
    expectShownAsCurrent(0);
    insertAndReveal(-1, "d"); // still the same burst
    insertAndReveal(3, "e");
    EXPECT_EQ(currentRow1Based(&m_view), 3);
    QApplication::processEvents();
    expectShownAsCurrent(2);
    EXPECT_EQ(m_model.entry(2).source, "/s/e");
}

TEST_F(batchlist_View, deleteThenClearCurrentRow_leavesNoCurrentRow) {
    fill(20);

    // A row other than the current one goes: nothing is current afterwards, and focus does not
    // bring a first row back.
    m_model.removeEntry(0);
    clearCurrentRow(&m_view);
    expectNoCurrentRow();
    QFocusEvent focusIn(QEvent::FocusIn, Qt::TabFocusReason);
    QApplication::sendEvent(&m_view, &focusIn);
    expectNoCurrentRow();

    // The current row goes: the view moves the current row to a neighbour; the helper undoes that.
    m_view.setCurrentIndex(m_model.index(5, 0));
    m_model.removeEntry(5);
    ASSERT_TRUE(m_view.currentIndex().isValid());
    clearCurrentRow(&m_view);
    QApplication::processEvents();
    expectNoCurrentRow();

    // A merged reveal whose row is removed, or that is cleared, selects nothing later.
    insertAndReveal(-1, "x");
    insertAndReveal(-1, "y");
    m_model.removeEntry(m_model.rowCount() - 1);
    clearCurrentRow(&m_view);
    QApplication::processEvents();
    expectNoCurrentRow();
}

TEST_F(batchlist_View, selectAndReveal_ignoresRowsOutsideTheList) {
    fill(3);
    selectAndReveal(&m_view, 3);
    selectAndReveal(&m_view, -1);
    QApplication::processEvents();
    expectShownAsCurrent(2);
}

} // namespace
} // namespace xcpy
