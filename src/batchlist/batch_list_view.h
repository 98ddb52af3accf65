#pragma once

#include <optional>

class QTreeView;

namespace xcpy {

// Sets up a tree view as the batch list's report view: flat rows without root decoration, uniform
// row heights (keeps layout and scrolling cheap on long lists), one whole row selectable at a
// time, no in-place editing, 16x16 pictures, focus drawn over the whole row, header shown.
void configureBatchListView(QTreeView* view);

// Makes row `row` (0-based) of the view's model the current row and the only selected row, and
// scrolls it into view. Out-of-range rows and views without a model are ignored.
//
// The first call after control was last in the event loop takes effect at once. Further calls
// before control returns there (a list being read row by row) are merged: only the last row is
// applied, when the event loop next runs or on finishPendingReveal(). Without this every row
// added would make the view lay out the whole list again. currentRow1Based() already reports a
// merged row; the view's own currentIndex() shows it once it is applied.
void selectAndReveal(QTreeView* view, int row);

// Applies a merged selectAndReveal() now, if one is waiting.
void finishPendingReveal(QTreeView* view);

// Leaves the view with no current row and nothing selected, and drops any merged reveal. Call it
// right after removing rows: while rows go, the view itself moves the current row to a neighbour.
// The view also no longer picks a first row by itself when it gains focus.
void clearCurrentRow(QTreeView* view);

// 1-based position of the selected row (including a merged reveal not yet applied), or none.
std::optional<int> currentRow1Based(const QTreeView* view);

} // namespace xcpy
