#include "PartialModel.h"

#include "ZEPHTreeModel.h"

PartialModel::PartialModel(ZEPHTreeModel* source, QObject* parent)
    : QAbstractListModel(parent), m_source(source) {
    if (!source)
        return;
    // Resets and layout changes are passed on as the window's own, announcements included.
    connect(source, SIGNAL(modelAboutToBeReset()), this, SIGNAL(modelAboutToBeReset()));
    connect(source, SIGNAL(modelReset()), this, SIGNAL(modelReset()));
    connect(source, &QAbstractItemModel::dataChanged, this, &PartialModel::SourceModelDataChangedHandler);
    connect(source, &QAbstractItemModel::rowsInserted, this, &PartialModel::SourceModelCountChangedHandler);
    connect(source, &QAbstractItemModel::rowsRemoved, this, &PartialModel::SourceModelCountChangedHandler);
    connect(source, SIGNAL(layoutAboutToBeChanged()), this, SIGNAL(layoutAboutToBeChanged()));
    connect(source, SIGNAL(layoutChanged()), this, SIGNAL(layoutChanged()));
}

// The window never reports a negative count: when the model shrinks below the first row it is empty.
int PartialModel::effectiveCount() const {
    if (!m_source)
        return m_windowSize;
    return qMax(0, qMin(m_windowSize, m_source->rowCount() - m_firstRow));
}

int PartialModel::rowCount(const QModelIndex& parent) const {
    Q_UNUSED(parent)
    return effectiveCount();
}

QVariant PartialModel::data(const QModelIndex& index, int role) const {
    const int row = index.row();
    if (!m_source || row < 0 || row >= effectiveCount())
        return QVariant();
    return m_source->FindItemValue(m_firstRow + row, role);
}

QHash<int, QByteArray> PartialModel::roleNames() const {
    return m_source ? m_source->roleNames() : QHash<int, QByteArray>();
}

QVariantMap PartialModel::get(int row) {
    if (!m_source || row < 0 || row >= effectiveCount())
        return QVariantMap();
    return m_source->get(m_firstRow + row);
}

int PartialModel::FindItemRow(QString id) { return m_source ? m_source->FindItemRow(id) : -1; }

void PartialModel::setWindowSize(int count) {
    const int oldCount = effectiveCount();
    if (oldCount > 0) {
        beginRemoveRows(QModelIndex(), 0, oldCount - 1);
        endRemoveRows();
    }
    if (count < 1) {
        m_windowSize = 0;
    } else {
        m_windowSize = count;
        const int newCount = effectiveCount();
        if (newCount > 0) {
            beginInsertRows(QModelIndex(), 0, newCount - 1);
            endInsertRows();
        }
    }
    if (effectiveCount() != oldCount)
        emit rowCountChanged();
}

void PartialModel::setFirstRow(int row) {
    if (row == m_firstRow || !m_source)
        return;
    const int oldCount = effectiveCount();
    const int sourceCount = m_source->rowCount();
    if (row >= sourceCount)
        row = sourceCount - 1;
    m_firstRow = qMax(row, 0);
    const int newCount = effectiveCount();
    emit dataChanged(index(0, 0), index(qMax(newCount - 1, 0), 0), QVector<int>());
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
    if (start > m_firstRow + effectiveCount())
        return;
    beginResetModel();
    endResetModel();
    emit rowCountChanged();
}

void PartialModel::SourceModelDataChangedHandler(const QModelIndex& topLeft, const QModelIndex& bottomRight) {
    const int first = topLeft.row();
    const int last = bottomRight.row();
    const int end = m_firstRow + effectiveCount();
    if (first >= end || last < m_firstRow || first > last)
        return;
    for (int row = qMax(first, m_firstRow); row <= last && row < end; ++row) {
        const QModelIndex changed = index(row - m_firstRow, 0);
        emit dataChanged(changed, changed, QVector<int>());
    }
}
