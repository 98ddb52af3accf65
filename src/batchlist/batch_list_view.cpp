#include "batchlist/batch_list_view.h"

#include <QAbstractItemModel>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QMetaObject>
#include <QPersistentModelIndex>
#include <QTreeView>

namespace xcpy {

namespace {

// Reveal state of one view, kept as the view's child so it lives and dies with the view.
class RevealState : public QObject {
    Q_OBJECT

public:
    explicit RevealState(QTreeView* view) : QObject(view), m_view(view) {}

    static RevealState* of(const QTreeView* view) {
        return view->findChild<RevealState*>(QString(), Qt::FindDirectChildrenOnly);
    }

    static RevealState* ensure(QTreeView* view) {
        RevealState* state = of(view);
        return state ? state : new RevealState(view);
    }

    void request(const QModelIndex& index) {
        if (m_burst) {
            // A persistent index follows its row through later inserts and removals.
            m_pending = index;
            return;
        }
        apply(index);
        // Everything requested until the event loop runs again joins this burst.
        m_burst = true;
        QMetaObject::invokeMethod(
            this,
            [this] {
                m_burst = false;
                finish();
            },
            Qt::QueuedConnection);
    }

    void finish() {
        if (!m_pending.isValid())
            return;
        const QModelIndex index = m_pending;
        m_pending = QPersistentModelIndex();
        if (index.model() == m_view->model())
            apply(index);
    }

    void cancel() { m_pending = QPersistentModelIndex(); }

    std::optional<int> pendingRow() const {
        if (m_pending.isValid() && m_pending.model() == m_view->model())
            return m_pending.row();
        return std::nullopt;
    }

private:
    void apply(const QModelIndex& index) {
        QItemSelectionModel* selection = m_view->selectionModel();
        if (!selection)
            return;
        selection->setCurrentIndex(index,
                                   QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
        m_view->scrollTo(index, QAbstractItemView::EnsureVisible);
    }

    QTreeView* m_view;
    QPersistentModelIndex m_pending;
    bool m_burst = false;
};

} // namespace

void configureBatchListView(QTreeView* view) {
    view->setRootIsDecorated(false);
    view->setItemsExpandable(false);
    view->setExpandsOnDoubleClick(false);
    view->setUniformRowHeights(true);
    view->setSelectionMode(QAbstractItemView::SingleSelection);
    view->setSelectionBehavior(QAbstractItemView::SelectRows);
    view->setEditTriggers(QAbstractItemView::NoEditTriggers);
    view->setIconSize(QSize(16, 16));
    view->setAllColumnsShowFocus(true);
    // The order of the rows is the order of the copies: never sort.
    view->setSortingEnabled(false);
    view->setHeaderHidden(false);
}

void selectAndReveal(QTreeView* view, int row) {
    if (!view || !view->model())
        return;
    const QModelIndex index = view->model()->index(row, 0);
    if (index.isValid())
        RevealState::ensure(view)->request(index);
}

void finishPendingReveal(QTreeView* view) {
    if (RevealState* state = view ? RevealState::of(view) : nullptr)
        state->finish();
}

void clearCurrentRow(QTreeView* view) {
    if (!view)
        return;
    if (RevealState* state = RevealState::of(view))
        state->cancel();
    // Through the view, so that it also stops choosing a row of its own on focus.
    view->setCurrentIndex(QModelIndex());
    if (QItemSelectionModel* selection = view->selectionModel())
        selection->clear();
}

std::optional<int> currentRow1Based(const QTreeView* view) {
    if (!view)
        return std::nullopt;
    if (const RevealState* state = RevealState::of(view))
        if (const std::optional<int> row = state->pendingRow())
            return *row + 1;
    const QItemSelectionModel* selection = view->selectionModel();
    if (!selection || !selection->hasSelection())
        return std::nullopt;
    int top = -1;
    for (const QItemSelectionRange& range : selection->selection())
        if (top < 0 || range.top() < top)
            top = range.top();
    return top + 1;
}

} // namespace xcpy

#include "batch_list_view.moc"
