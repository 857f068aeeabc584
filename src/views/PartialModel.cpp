#include "views/PartialModel.h"

#include "model/ZEPHTreeModel.h"

PartialModel::PartialModel(ZEPHTreeModel* source, QObject* parent)
    : QAbstractListModel(parent), m_source(source) {
    if (!source) return;
    // Resets and layout changes are passed on as the window's own, announcements included; a reset
    // goes through the view's own reset so that its persistent indexes are reset too.
    connect(source, &QAbstractItemModel::modelAboutToBeReset, this, &PartialModel::onSourceAboutToBeReset);
    connect(source, &QAbstractItemModel::modelReset, this, &PartialModel::onSourceReset);
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

void PartialModel::onSourceAboutToBeReset() {
    beginResetModel();
}

void PartialModel::onSourceReset() {
    const int oldCount = m_count;
    m_count = effectiveCount();
    endResetModel();
    if (m_count != oldCount) emit rowCountChanged();
}

// The count announced last: the model has changed already when the window announces what that did
// to it, so listeners must see the count that goes with the announcements. A list: rows have no
// children.
int PartialModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : m_count;
}

QVariant PartialModel::data(const QModelIndex& index, int role) const {
    const int row = index.row();
    if (!m_source || row < 0 || row >= m_count) return QVariant();
    if (role == Qt::DisplayRole) return m_source->data(m_source->index(m_firstRow + row, 0), role);
    return m_source->FindItemValue(m_firstRow + row, role);
}

QHash<int, QByteArray> PartialModel::roleNames() const {
    return m_source ? m_source->roleNames() : QHash<int, QByteArray>();
}

QVariantMap PartialModel::get(int row) {
    if (!m_source || row < 0 || row >= m_count) return QVariantMap();
    return m_source->get(m_firstRow + row);
}

int PartialModel::FindItemRow(QString id) {
    return m_source ? m_source->FindItemRow(id) : -1;
}

// Every row is announced as removed, then the rows of the new window as inserted; the count changes
// inside each announcement.
void PartialModel::setWindowSize(int count) {
    const int oldCount = m_count;
    if (oldCount > 0) {
        beginRemoveRows(QModelIndex(), 0, oldCount - 1);
        m_count = 0;
        endRemoveRows();
    }
    m_windowSize = qMax(count, 0);
    const int newCount = effectiveCount();
    if (newCount > 0) {
        beginInsertRows(QModelIndex(), 0, newCount - 1);
        m_count = newCount;
        endInsertRows();
    }
    if (m_count != oldCount) emit rowCountChanged();
}

// The rows that stay are refreshed before the rows that come or go are announced; the count
// changes inside that announcement.
void PartialModel::setFirstRow(int row) {
    if (row == m_firstRow || !m_source) return;
    const int oldCount = m_count;
    const int sourceCount = m_source->rowCount();
    if (row >= sourceCount) row = sourceCount - 1;
    m_firstRow = qMax(row, 0);
    const int newCount = effectiveCount();
    // An empty range would name invalid indexes.
    const int kept = qMin(oldCount, newCount);
    if (kept > 0) emit dataChanged(index(0, 0), index(kept - 1, 0), QVector<int>());
    if (newCount == oldCount) return;
    if (newCount < oldCount) {
        beginRemoveRows(QModelIndex(), newCount, oldCount - 1);
        m_count = newCount;
        endRemoveRows();
    } else {
        beginInsertRows(QModelIndex(), oldCount, newCount - 1);
        m_count = newCount;
        endInsertRows();
    }
    emit rowCountChanged();
}

// A change that begins in the window or right after it is passed on as a reset. Any other change
// that moved the window's count (none should) is announced the same way, never silently.
void PartialModel::SourceModelCountChangedHandler(const QModelIndex& parent, int start, int end) {
    Q_UNUSED(parent)
    Q_UNUSED(end)
    const int newCount = effectiveCount();
    if (start > m_firstRow + newCount && newCount == m_count) return;
    beginResetModel();
    m_count = newCount;
    endResetModel();
    emit rowCountChanged();
}

void PartialModel::SourceModelDataChangedHandler(const QModelIndex& topLeft, const QModelIndex& bottomRight) {
    const int first = topLeft.row();
    const int last = bottomRight.row();
    const int end = m_firstRow + m_count;
    if (first >= end || last < m_firstRow || first > last) return;
    for (int row = qMax(first, m_firstRow); row <= last && row < end; ++row) {
        const QModelIndex changed = index(row - m_firstRow, 0);
        emit dataChanged(changed, changed, QVector<int>());
    }
}
