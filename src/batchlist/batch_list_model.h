#pragma once

#include "batchlist/batch_entry.h"

#include <QAbstractTableModel>
#include <QIcon>
#include <QList>

namespace xcpy {

// The batch list: the one store of its rows, in list order, shown read-only by the window's list.
// Rows are numbered from 0 here; only insertEntry takes the 1-based position a user gives. A
// cell's tooltip holds its whole folder text, which the column may cut short, and the row's notes.
class BatchListModel : public QAbstractTableModel {
    Q_OBJECT

public:
    enum Column { SourceColumn = 0, DestinationColumn = 1 };
    static constexpr int kColumnCount = 2;

    enum Role {
        // The row's mark key, "OK" or "NG" (QString), on every column.
        MarkKeyRole = Qt::UserRole + 1,
    };

    explicit BatchListModel(QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

    // Pictures shown in the source column for the two marks. Until set, no picture is shown.
    void setMarkIcons(const QIcon& ok, const QIcon& ng);

    // Row `row` (0-based). Out of range gives an empty entry marked NG.
    const BatchEntry& entry(int row) const;
    const QList<BatchEntry>& entries() const { return m_entries; }

    // Inserts a row. `position` is -1 to append, or 1..rowCount()+1 to insert so that the new row
    // becomes that 1-based position. Returns the new row (0-based); any other position adds
    // nothing, emits nothing and returns -1.
    int insertEntry(int position, BatchEntry entry);

    // Removes row `row` (0-based); false, and nothing emitted, when out of range.
    bool removeEntry(int row);

    // Removes every row (one model reset; nothing emitted when already empty).
    void clear();

    // Makes room for `rows` rows, e.g. before reading a list of known length.
    void reserve(int rows);

private:
    QList<BatchEntry> m_entries;
    QIcon m_okIcon;
    QIcon m_ngIcon;
};

} // namespace xcpy
