#include "PartialModel.h"

#include "ZEPHTreeModel.h"

PartialModel::PartialModel(ZEPHTreeModel* source, QObject* parent)
    : QAbstractListModel(parent), m_source(source) {
    if (!source) return;
    // Resets and layout changes are passed on as the window's own, announcements included; a reset
    // goes through the view's own reset so that its persistent indexes are reset too.
    connect(source, &QAbstractItemModel::modelAboutToBeReset, this, &PartialModel::sourceAboutToBeReset);
    connect(source, &QAbstractItemModel::modelReset, this, &PartialModel::sourceReset);
    connect(source, &QAbstractItemModel::dataChanged, this, &PartialModel::SourceModelDataChangedHandler);
    connect(source, &QAbstractItemModel::rowsInserted, this, &PartialModel::SourceModelCountChangedHandler);
    connect(source, &QAbstractItemModel::rowsRemoved, this, &PartialModel::SourceModelCountChangedHandler);
    connect(source, &QAbstractItemModel::layoutAboutToBeChanged, this,
            &QAbstractItemModel::layoutAboutToBeChanged);
    connect(source, &QAbstractItemModel::layoutChanged, this, &QAbstractItemModel::layoutChanged);
}

// The window never reports a negative count: when the model shrinks below the first row it is empty.
// Without its model (only while the model is being destroyed) it shows nothing.
int PartialModel::effectiveCount() const {
    if (!m_source) return 0;
    return qMax(0, qMin(m_windowSize, m_source->rowCount() - m_firstRow));
}

void PartialModel::sourceAboutToBeReset() {
    beginResetModel();
}

void PartialModel::sourceReset() {
    endResetModel();
}

// A list: rows have no children.
int PartialModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : effectiveCount();
}

QVariant PartialModel::data(const QModelIndex& index, int role) const {
    const int row = index.row();
    if (!m_source || row < 0 || row >= effectiveCount()) return QVariant();
    if (role == Qt::DisplayRole) return m_source->data(m_source->index(m_firstRow + row, 0), role);
    return m_source->FindItemValue(m_firstRow + row, role);
}

QHash<int, QByteArray> PartialModel::roleNames() const {
    return m_source ? m_source->roleNames() : QHash<int, QByteArray>();
}

QVariantMap PartialModel::get(int row) {
    if (!m_source || row < 0 || row >= effectiveCount()) return QVariantMap();
    return m_source->get(m_firstRow + row);
}

int PartialModel::FindItemRow(QString id) {
    return m_source ? m_source->FindItemRow(id) : -1;
}

// Every row is announced as removed, then the rows of the new window as inserted; the size changes
// inside each announcement, so listeners always read the count that was announced.
void PartialModel::setWindowSize(int count) {
    const int oldCount = effectiveCount();
    if (oldCount > 0) {
        beginRemoveRows(QModelIndex(), 0, oldCount - 1);
        m_windowSize = 0;
        endRemoveRows();
    }
    m_windowSize = qMax(count, 0);
    const int newCount = effectiveCount();
    if (newCount > 0) {
        m_windowSize = 0;
        beginInsertRows(QModelIndex(), 0, newCount - 1);
        m_windowSize = count;
        endInsertRows();
    }
    if (effectiveCount() != oldCount) emit rowCountChanged();
}

void PartialModel::setFirstRow(int row) {
    if (row == m_firstRow || !m_source) return;
    const int oldCount = effectiveCount();
    const int sourceCount = m_source->rowCount();
    if (row >= sourceCount) row = sourceCount - 1;
    m_firstRow = qMax(row, 0);
    const int newCount = effectiveCount();
    // An empty window has nothing to refresh: an empty range would name invalid indexes.
    if (newCount > 0) emit dataChanged(index(0, 0), index(newCount - 1, 0), QVector<int>());
    if (newCount != oldCount) {
        if (newCount < oldCount) {
            beginRemoveRows(QModelIndex(), newCount, oldCount - 1);
            endRemoveRows();
        } else {
            beginInsertRows(QModelIndex(), oldCount, newCount - 1);
            endInsertRows();
        }
        emit rowCountChanged();
    }
}

void PartialModel::SourceModelCountChangedHandler(const QModelIndex& parent, int start, int end) {
    Q_UNUSED(parent)
    Q_UNUSED(end)
    if (start > m_firstRow + effectiveCount()) return;
    beginResetModel();
    endResetModel();
    emit rowCountChanged();
}

void PartialModel::SourceModelDataChangedHandler(const QModelIndex& topLeft, const QModelIndex& bottomRight) {
    const int first = topLeft.row();
    const int last = bottomRight.row();
    const int end = m_firstRow + effectiveCount();
    if (first >= end || last < m_firstRow || first > last) return;
    for (int row = qMax(first, m_firstRow); row <= last && row < end; ++row) {
        const QModelIndex changed = index(row - m_firstRow, 0);
        emit dataChanged(changed, changed, QVector<int>());
    }
}
