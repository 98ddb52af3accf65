#include "batchlist/batch_list_model.h"

#include <utility>

namespace xcpy {
namespace {

// Rich text with every character escaped, so that no folder name is taken for markup, and not
// wrapped, so that a folder stays on one line.
QString toolTip(const QString& folder, const QString& notes) {
    QStringList lines;
    for (const QString& line : {folder, notes})
        if (!line.isEmpty())
            lines << line.toHtmlEscaped().replace(u'\n', QStringLiteral("<br>"));
    if (lines.isEmpty())
        return {};
    return QStringLiteral("<p style=\"white-space:pre\">%1</p>")
        .arg(lines.join(QStringLiteral("<br>")));
}

} // namespace

BatchListModel::BatchListModel(QObject* parent) : QAbstractTableModel(parent) {}

int BatchListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(m_entries.size());
}

int BatchListModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : kColumnCount;
}

QVariant BatchListModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.model() != this || index.row() >= m_entries.size())
        return {};
    const BatchEntry& row = m_entries.at(index.row());
    switch (role) {
    case Qt::DisplayRole:
        return index.column() == SourceColumn ? row.source : row.destination;
    case Qt::DecorationRole:
        if (index.column() != SourceColumn)
            return {};
        {
            const QIcon& icon = row.mark == CheckMark::OK ? m_okIcon : m_ngIcon;
            return icon.isNull() ? QVariant() : QVariant(icon);
        }
    case Qt::ToolTipRole:
        return toolTip(index.column() == SourceColumn ? row.source : row.destination, row.notes);
    case MarkKeyRole:
        return checkMarkKey(row.mark);
    default:
        return {};
    }
}

QVariant BatchListModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QAbstractTableModel::headerData(section, orientation, role);
    switch (section) {
    case SourceColumn:
        return QStringLiteral("元フォルダ");
    case DestinationColumn:
        return QStringLiteral("先フォルダ");
    default:
        return {};
    }
}

Qt::ItemFlags BatchListModel::flags(const QModelIndex& index) const {
    if (!index.isValid())
        return Qt::NoItemFlags;
    // Never editable in place; ItemNeverHasChildren spares the tree view a child lookup per row.
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren;
}

void BatchListModel::setMarkIcons(const QIcon& ok, const QIcon& ng) {
    m_okIcon = ok;
    m_ngIcon = ng;
    if (!m_entries.isEmpty())
        emit dataChanged(index(0, SourceColumn), index(rowCount() - 1, SourceColumn),
                         {Qt::DecorationRole});
}

const BatchEntry& BatchListModel::entry(int row) const {
    static const BatchEntry none;
    return row >= 0 && row < m_entries.size() ? m_entries.at(row) : none;
}

int BatchListModel::insertEntry(int position, BatchEntry entry) {
    const int count = rowCount();
    int row;
    if (position == -1)
        row = count;
    else if (position >= 1 && position <= count + 1)
        row = position - 1;
    else
        return -1;
    beginInsertRows(QModelIndex(), row, row);
    m_entries.insert(row, std::move(entry));
    endInsertRows();
    return row;
}

bool BatchListModel::removeEntry(int row) {
    if (row < 0 || row >= m_entries.size())
        return false;
    beginRemoveRows(QModelIndex(), row, row);
    m_entries.removeAt(row);
    endRemoveRows();
    return true;
}

void BatchListModel::clear() {
    if (m_entries.isEmpty())
        return;
    beginResetModel();
    // Give the memory back: a cleared list is usually followed by a different one.
    QList<BatchEntry>().swap(m_entries);
    endResetModel();
}

void BatchListModel::reserve(int rows) {
    if (rows > 0)
        m_entries.reserve(rows);
}

} // namespace xcpy
