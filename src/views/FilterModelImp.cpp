#include "views/FilterModelImp.h"

#include <QJSValue>
#include <QSet>

#include <algorithm>

FilterModelImp::FilterModelImp(ZEPHTreeModel* source, const QVariantList& filterRules, bool orAllRules,
                               int newItemPos)
    : ZEPHTreeModel(nullptr, source ? source->roleNames() : QHash<int, QByteArray>(),
                    ZEPHTreeModelPrivate::JavaScriptOwnershipFlag | ZEPHTreeModelPrivate::SharedItemsFlag),
      m_source(source), m_filterRules(filterRules), m_orAllRules(orAllRules), m_newItemPos(newItemPos),
      m_rules(filterRules, orAllRules) {
    start();
}

FilterModelImp::FilterModelImp(ZEPHTreeModel* source, PF_USER_FILTER predicate, const QVariant& userRules,
                               int newItemPos)
    : ZEPHTreeModel(nullptr, source ? source->roleNames() : QHash<int, QByteArray>(),
                    ZEPHTreeModelPrivate::JavaScriptOwnershipFlag | ZEPHTreeModelPrivate::SharedItemsFlag),
      m_source(source), m_userRules(userRules), m_predicate(std::move(predicate)), m_newItemPos(newItemPos) {
    start();
}

FilterModelImp::~FilterModelImp() {
    if (m_source) sourceLink()->removeListener(this);
}

QVariant FilterModelImp::userRulesOf(const QVariant& value) {
    if (value.userType() == qMetaTypeId<QJSValue>()) return value.value<QJSValue>().toVariant();
    return value;
}

// The view's rows are its own item list.
void FilterModelImp::start() {
    base()->setViewLink(new ViewLink(this, true));
    if (!m_source) return;
    sourceLink()->addListener(this);
    connectSource();
    refilter();
}

void FilterModelImp::connectSource() {
    ZEPHTreeModel* source = m_source.data();
    // Resets and layout changes are passed on as the view's own; afterwards the view catches up
    // with rows that the source no longer has or newly has.
    connect(source, SIGNAL(modelAboutToBeReset()), this, SIGNAL(modelAboutToBeReset()));
    connect(source, SIGNAL(modelReset()), this, SIGNAL(modelReset()));
    connect(source, &QAbstractItemModel::modelReset, this, &FilterModelImp::onSourceReset);
    connect(source, SIGNAL(dataChanged(const QModelIndex&, const QModelIndex&)), this,
            SLOT(SourceModelDataChangedHandler(const QModelIndex&, const QModelIndex&)));
    connect(source, SIGNAL(rowsInserted(const QModelIndex&, int, int)), this,
            SLOT(SourceModelItemAddedHandler(const QModelIndex&, int, int)));
    connect(source, SIGNAL(itemsRemoved(const QStringList&)), this,
            SLOT(SourceModelItemsRemovedHandler(const QStringList&)));
    connect(source, SIGNAL(allItemRemoved()), this, SLOT(SourceModelAllItemRemovedHandler()));
    connect(source, SIGNAL(layoutAboutToBeChanged()), this, SIGNAL(layoutAboutToBeChanged()));
    connect(source, SIGNAL(layoutChanged()), this, SIGNAL(layoutChanged()));
    connect(source, &QAbstractItemModel::layoutChanged, this, &FilterModelImp::onSourceLayoutChanged);
    // Removals that the source announces only by their rows (a content exchange, a paging view
    // turning a page) are settled when the source announces its new row count.
    connect(source, &QAbstractItemModel::rowsAboutToBeRemoved, this,
            &FilterModelImp::onSourceRowsAboutToBeRemoved);
    connect(source, &ZEPHTreeModel::rowCountChanged, this, &FilterModelImp::onSourceCountChanged);
}

ZEPHTreeItem* FilterModelImp::sourceItem(int row) const {
    return m_source ? sourceLink()->itemAt(row) : nullptr;
}

bool FilterModelImp::passes(const ZEPHTreeItem* item) const {
    if (m_predicate) {
        // The host's predicate must not unwind through the view: a throwing predicate rejects.
        try {
            return m_predicate(item, m_userRules);
        } catch (...) {
            return false;
        }
    }
    return m_rules.passes(item);
}

// Only an item with a child model relays child-model changes, so only such items are followed;
// an item that gets a child model later announces that as a change of its data through the source,
// and is followed from then on. An item whose changes the source does not announce (brought in by
// ReplaceItemsListEx) is followed at once.
void FilterModelImp::followChildModel(ZEPHTreeItem* item) {
    if (item->ChildModel() || (m_source && !sourceLink()->announcesChangesOf(item)))
        connect(item, &ZEPHTreeItem::childModelValueChanged, this,
                &FilterModelImp::ChildModelValueChangedHandler, Qt::UniqueConnection);
}

// Items that arrive later go where newItemPos says: as a block at the tail or at the head, or
// nowhere for any other value.
void FilterModelImp::addAtNewItemPos(const QList<ZEPHTreeItem*>& items) {
    if (items.isEmpty()) return;
    if (m_newItemPos == POS_TAIL)
        AppendItemsList(items);
    else if (m_newItemPos == POS_HEAD)
        PrependItemsList(items);
}

bool FilterModelImp::refilter() {
    if (!m_source) return false;
    // The walk also follows the child models of the source's items (see followChildModel).
    QList<ZEPHTreeItem*> passing;
    for (int row = 0; row < m_source->rowCount(); ++row) {
        ZEPHTreeItem* item = sourceItem(row);
        if (!item) continue;
        followChildModel(item);
        if (passes(item)) passing.append(item);
    }
    const bool result = ReplaceItemsList(passing);
    emit filterModelChanged();
    return result;
}

bool FilterModelImp::UpdateFilterRules(QVariantList filterRules, bool orAllRules) {
    if (orAllRules == m_orAllRules && filterRules == m_filterRules) return true;
    m_filterRules = filterRules;
    m_orAllRules = orAllRules;
    m_rules = FilterRules(m_filterRules, m_orAllRules);
    return refilter();
}

bool FilterModelImp::UpdateUserDefinedFilterRules(QVariant filterRules) {
    const QVariant value = userRulesOf(filterRules);
    if (value == m_userRules) return true;
    m_userRules = value;
    return refilter();
}

// Takes one row out the way RemoveOne(id) does, but by identity: the row of this very item, not
// whatever row the ID leads to.
void FilterModelImp::dropRow(ZEPHTreeItem* item) {
    RemoveOne(item);
    emit itemsRemoved(QStringList{item->ID()});
    emit rowCountChanged();
}

// Drops the rows (all, or those among `candidates`) whose items are no longer rows of the source,
// in runs of consecutive rows from the bottom up, so the rows still to go keep their numbers.
void FilterModelImp::dropDepartedRows(const QList<ZEPHTreeItem*>* candidates) {
    if (!m_source || rowCount() == 0) return;
    const auto isSourceRow = sourceLink()->rowTest();
    QList<ZEPHTreeItem*> departed;
    const QList<ZEPHTreeItem*> pool = candidates ? *candidates : *GetModelItemList();
    for (ZEPHTreeItem* item : pool) {
        if (hasRow(item) && !isSourceRow(item)) departed.append(item);
    }
    removeRuns(std::move(departed));
}

void FilterModelImp::removeRuns(QList<ZEPHTreeItem*> items) {
    if (items.isEmpty()) return;
    QVector<QPair<int, ZEPHTreeItem*>> ordered;
    ordered.reserve(items.size());
    for (ZEPHTreeItem* item : items)
        ordered.append({base()->rows.rowOf(item), item});
    std::sort(ordered.begin(), ordered.end());
    ordered.erase(std::unique(ordered.begin(), ordered.end()), ordered.end());
    int i = ordered.size() - 1;
    while (i >= 0) {
        ZEPHTreeItem* tail = ordered.at(i).second;
        --i;
        // Listeners of an earlier run may have changed the rows; only current rows are removed.
        if (!hasRow(tail)) continue;
        const int last = base()->rows.rowOf(tail);
        int first = last;
        while (i >= 0 && first > 0 && FindItem(first - 1) == ordered.at(i).second) {
            --first;
            --i;
        }
        Remove(first, last);
    }
}

void FilterModelImp::flushLeaving() {
    if (m_allLeaving) {
        m_allLeaving = false;
        m_leaving.clear();
        dropDepartedRows(nullptr);
        return;
    }
    if (m_leaving.isEmpty()) return;
    const QList<ZEPHTreeItem*> leaving = std::move(m_leaving);
    m_leaving.clear();
    dropDepartedRows(&leaving);
}

// The views made from this one let go first, while this view still holds the items; then the rows
// go with the view's own removal signals.
void FilterModelImp::sourceDropsSilently(const QList<ZEPHTreeItem*>& items) {
    QList<ZEPHTreeItem*> held;
    for (ZEPHTreeItem* item : items) {
        if (hasRow(item)) held.append(item);
    }
    if (!m_leaving.isEmpty()) {
        const QSet<ZEPHTreeItem*> dropped(items.cbegin(), items.cend());
        m_leaving.erase(std::remove_if(m_leaving.begin(), m_leaving.end(),
                                       [&dropped](ZEPHTreeItem* item) { return dropped.contains(item); }),
                        m_leaving.end());
    }
    if (held.isEmpty()) return;
    ZEPHTreeModelPrivate::viewLinkOf(this)->tellSilentDrop(held);
    removeRuns(std::move(held));
}

void FilterModelImp::onSourceRowsAboutToBeRemoved(const QModelIndex& parent, int first, int last) {
    Q_UNUSED(parent)
    if (!m_source || rowCount() == 0) return;
    if (first <= 0 && last >= m_source->rowCount() - 1) {
        m_allLeaving = true;
        return;
    }
    for (int row = first; row <= last; ++row) {
        ZEPHTreeItem* item = sourceItem(row);
        if (item && hasRow(item)) m_leaving.append(item);
    }
}

// A source that reads its rows through from elsewhere (a paging view) may already show other items
// when it announces a removal, so the leaving ones cannot be read then: after its count changed,
// every row that it no longer shows goes.
void FilterModelImp::onSourceCountChanged() {
    flushLeaving();
    if (m_source && sourceLink()->readsThrough()) dropDepartedRows(nullptr);
}

// The source may show anything after a reset: rows that left go, and rows that are new here join
// where newItemPos puts arrivals, when they pass. Rows that stay are not tested again.
void FilterModelImp::onSourceReset() {
    flushLeaving();
    dropDepartedRows(nullptr);
    if (!m_source) return;
    QList<ZEPHTreeItem*> arriving;
    QSet<const ZEPHTreeItem*> seen;
    for (int row = 0; row < m_source->rowCount(); ++row) {
        ZEPHTreeItem* item = sourceItem(row);
        if (!item || hasRow(item) || seen.contains(item)) continue;
        seen.insert(item);
        followChildModel(item);
        if (passes(item)) arriving.append(item);
    }
    addAtNewItemPos(arriving);
}

void FilterModelImp::onSourceLayoutChanged() {
    flushLeaving();
    dropDepartedRows(nullptr);
}

void FilterModelImp::SourceModelDataChangedHandler(const QModelIndex& topLeft,
                                                   const QModelIndex& bottomRight) {
    if (!m_source) return;
    flushLeaving();
    const int first = topLeft.row();
    const int last = bottomRight.row();
    // A change over every row may be an exchange of the whole content: rows that left the source
    // go first.
    if (first <= 0 && last >= m_source->rowCount() - 1) dropDepartedRows(nullptr);
    // Membership is decided by identity (this item is a row), an O(1) lookup per changed row. A
    // source that answers its rows at once shows each item once; any other may repeat one.
    bool allNew = true;
    const bool maybeRepeated = !sourceLink()->knowsRowsAtOnce();
    QList<ZEPHTreeItem*> leaving;
    QList<ZEPHTreeItem*> arriving;
    QSet<const ZEPHTreeItem*> arrivingSet;
    for (int row = first; row <= last; ++row) {
        ZEPHTreeItem* item = sourceItem(row);
        if (!item) continue;
        followChildModel(item);
        if (!passes(item)) {
            if (hasRow(item)) leaving.append(item);
        } else if (hasRow(item)) {
            allNew = false;
        } else if (!maybeRepeated || !arrivingSet.contains(item)) {
            if (maybeRepeated) arrivingSet.insert(item);
            arriving.append(item);
        }
    }
    // The removals below let listeners run; arrivals that meanwhile died or left are not added.
    QVector<QPointer<ZEPHTreeItem>> guarded;
    if (!leaving.isEmpty() && !arriving.isEmpty()) {
        for (ZEPHTreeItem* item : arriving)
            guarded.append(item);
    }
    for (ZEPHTreeItem* item : leaving) {
        if (hasRow(item)) dropRow(item);
    }
    if (!guarded.isEmpty()) {
        arriving.clear();
        const auto isSourceRow = sourceLink()->rowTest();
        for (const QPointer<ZEPHTreeItem>& item : guarded) {
            if (item && !hasRow(item) && isSourceRow(item)) arriving.append(item);
        }
    }
    // New rows always go to the tail here, announced with one insert pair.
    if (!arriving.isEmpty()) {
        const int count = rowCount();
        beginInsertRows(QModelIndex(), count, count + arriving.size() - 1);
        for (ZEPHTreeItem* item : arriving)
            base()->appendRowSilently(item);
        endInsertRows();
    }
    if (base()->keepSortingFlag() != None)
        KeepSortingCheck();
    else if (rowCount() > 0 && allNew)
        emit dataChanged(index(0, 0), index(rowCount() - 1, 0), QVector<int>());
    if (!arriving.isEmpty()) emit rowCountChanged();
}

void FilterModelImp::SourceModelItemAddedHandler(const QModelIndex& parent, int start, int end) {
    Q_UNUSED(parent)
    if (!m_source) return;
    flushLeaving();
    QList<ZEPHTreeItem*> passing;
    for (int row = start; row <= end; ++row) {
        ZEPHTreeItem* item = sourceItem(row);
        if (!item) continue;
        followChildModel(item);
        if (passes(item)) passing.append(item);
    }
    addAtNewItemPos(passing);
}

void FilterModelImp::SourceModelItemRemovedHandler(const QString& id) {
    if (!m_source) return;
    RemoveOne(id);
}

// The items of `idList` leave the view when they are no longer rows of the source; an ID whose
// item here is still a row of the source (two items sharing an ID) keeps its row.
void FilterModelImp::SourceModelItemsRemovedHandler(const QStringList& idList) {
    if (!m_source) return;
    const auto isSourceRow = sourceLink()->rowTest();
    QStringList removed;
    for (const QString& id : idList) {
        auto* item = qobject_cast<ZEPHTreeItem*>(FindItem(id, false));
        if (!item || !hasRow(item) || isSourceRow(item)) continue;
        RemoveOne(item);
        removed.append(id);
    }
    if (!removed.isEmpty()) emit itemsRemoved(removed);
    emit rowCountChanged();
}

void FilterModelImp::SourceModelAllItemRemovedHandler() {
    RemoveAll();
}

void FilterModelImp::ChildModelValueChangedHandler() {
    auto* item = qobject_cast<ZEPHTreeItem*>(sender());
    // Only a current row of the source counts: an item the source removed must not come back.
    if (!item || !m_source || !sourceLink()->isRow(item)) return;
    if (passes(item)) {
        if (!hasRow(item)) AppendItem(item);
    } else if (hasRow(item)) {
        dropRow(item);
    }
}

// A new filter view over the item's child model with this view's rules; none for an item without
// a child model or whose child object is not one of this library's models.
QVariant FilterModelImp::childFilterView(const ZEPHTreeItem* item, bool resort, bool asListModel) const {
    ZEPHTreeModel* child = ZEPHTreeModelPrivate::modelOf(item->ChildModel());
    if (!child) return QVariant();
    QObject* view = child->GetFilterModel(m_filterRules, m_orAllRules, POS_TAIL);
    ZEPHTreeModel* childView = ZEPHTreeModelPrivate::modelOf(view);
    if (resort && childView && base()->keepSortingFlag() == RecursiveKeepSorting)
        childView->SortByRules(base()->keepSortingRules(), RecursiveKeepSorting);
    if (asListModel) return QVariant::fromValue<QAbstractListModel*>(childView);
    return QVariant::fromValue<QObject*>(view);
}

QVariant FilterModelImp::data(const QModelIndex& index, int role) const {
    if (!m_source) return QVariant();
    if (role != ZEPHTreeItem::ChildModelRole) return ZEPHTreeModel::data(index, role);
    auto* item = qobject_cast<ZEPHTreeItem*>(FindItem(index.row()));
    return item ? childFilterView(item, true, true) : QVariant();
}

QVariant FilterModelImp::valueOf(QObject* found, int role) const {
    auto* item = qobject_cast<ZEPHTreeItem*>(found);
    if (!item) return QVariant();
    if (role == ZEPHTreeItem::ChildModelRole) return childFilterView(item, false, false);
    return item->getData(role);
}

QVariant FilterModelImp::valueOf(QObject* found, const QString& roleName) const {
    auto* item = qobject_cast<ZEPHTreeItem*>(found);
    if (!item) return QVariant();
    if (roleName == QLatin1String("childModelRole")) return childFilterView(item, false, false);
    return item->getData(roleName);
}

QVariant FilterModelImp::FindItemValue(int row, int role) const {
    return valueOf(FindItem(row), role);
}

QVariant FilterModelImp::FindItemValue(int row, const QString& roleName) const {
    return valueOf(FindItem(row), roleName);
}

QVariant FilterModelImp::FindItemValue(const QString& id, int role) const {
    return valueOf(FindItem(id, false), role);
}

QVariant FilterModelImp::FindItemValue(const QString& id, const QString& roleName) const {
    return valueOf(FindItem(id, false), roleName);
}

QVariant FilterModelImp::FindItemValueEx(const QString& id, int role, bool includeChildModel) const {
    return valueOf(FindItem(id, includeChildModel), role);
}

QVariant FilterModelImp::FindItemValueEx(const QString& id, const QString& roleName,
                                         bool includeChildModel) const {
    return valueOf(FindItem(id, includeChildModel), roleName);
}
