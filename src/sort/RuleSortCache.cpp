#include "sort/RuleSortCache.h"

#include <QAbstractItemModel>

RuleSortCache* RuleSortCache::find(QAbstractItemModel* model) {
    return model->findChild<RuleSortCache*>(QString(), Qt::FindDirectChildrenOnly);
}

RuleSortCache* RuleSortCache::of(QAbstractItemModel* model) {
    if (RuleSortCache* cache = find(model)) return cache;
    return new RuleSortCache(model);
}

RuleSortCache::RuleSortCache(QAbstractItemModel* model) : QObject(model) {
    connect(model, &QAbstractItemModel::dataChanged, this, &RuleSortCache::onDataChanged);
    connect(model, &QAbstractItemModel::rowsInserted, this,
            [this](const QModelIndex&, int first, int last) { onRowsInserted(first, last); });
    // Dropped as soon as a change is announced.
    connect(model, &QAbstractItemModel::rowsAboutToBeRemoved, this, &RuleSortCache::invalidate);
    connect(model, &QAbstractItemModel::rowsAboutToBeMoved, this, &RuleSortCache::invalidate);
    connect(model, &QAbstractItemModel::modelAboutToBeReset, this, &RuleSortCache::invalidate);
    connect(model, &QAbstractItemModel::layoutAboutToBeChanged, this, &RuleSortCache::invalidate);
    connect(model, &QAbstractItemModel::rowsRemoved, this, &RuleSortCache::invalidate);
    connect(model, &QAbstractItemModel::rowsMoved, this, &RuleSortCache::invalidate);
    connect(model, &QAbstractItemModel::modelReset, this, &RuleSortCache::invalidate);
    connect(model, &QAbstractItemModel::layoutChanged, this, &RuleSortCache::invalidate);
}

bool RuleSortCache::usable(const QVector<SortRules::Rule>& rules, int count) const {
    if (!m_valid || m_state.rules.size() != rules.size() || count != m_count + m_insertedCount) return false;
    for (int r = 0; r < rules.size(); ++r) {
        if (m_state.rules.at(r).role != rules.at(r).role ||
            m_state.rules.at(r).ascending != rules.at(r).ascending)
            return false;
    }
    return true;
}

void RuleSortCache::store(int count, State state) {
    if (!state.isSet()) {
        invalidate();
        return;
    }
    m_count = count;
    m_state = std::move(state);
    m_valid = true;
    m_insertedFirst = 0;
    m_insertedCount = 0;
}

void RuleSortCache::invalidate() {
    m_valid = false;
    m_ownDataChanged = false;
    m_count = 0;
    m_state = State();
    m_insertedFirst = 0;
    m_insertedCount = 0;
}

// While the sort announces itself, the first dataChanged is taken as its own; anything else (also
// a change that a listener makes while the sort's signal is delivered) drops the state. Should the
// sort's own signal arrive second, the state is dropped too, which only costs a full sort.
void RuleSortCache::onDataChanged() {
    if (m_ownDataChanged) {
        m_ownDataChanged = false;
        return;
    }
    if (m_valid) invalidate();
}

// One block of inserted rows is placed by the next sort; a second block before it drops the state.
void RuleSortCache::onRowsInserted(int first, int last) {
    if (!m_valid) return;
    if (m_insertedCount > 0) {
        invalidate();
        return;
    }
    m_insertedFirst = first;
    m_insertedCount = last - first + 1;
}
