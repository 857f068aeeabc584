#include "views/FilterModelImp.h"

#include <QJSValue>
#include <QSet>

#include <algorithm>
#include <typeinfo>

// Marks a test of source rows in progress, from the first test to the last change of the view's rows
// that follows from it. A test that starts inside another one (a listener changed the source
// meanwhile) may leave rows held otherwise than they answer now, and unsettles the view.
class FilterModelImp::Testing {
public:
    explicit Testing(FilterModelImp* view) : m_view(view), m_outer(!view->m_testing) {
        if (!m_outer) m_view->m_settled = false;
        m_view->m_testing = true;
    }
    ~Testing() {
        if (m_outer) m_view->m_testing = false;
    }
    Testing(const Testing&) = delete;
    Testing& operator=(const Testing&) = delete;

private:
    FilterModelImp* m_view;
    bool m_outer;
};

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
    // The base class may still announce row changes while it is destroyed.
    for (const QMetaObject::Connection& connection : qAsConst(m_ownRowWatch))
        disconnect(connection);
    if (m_source) m_link->removeListener(this);
}

QVariant FilterModelImp::userRulesOf(const QVariant& value) {
    if (value.userType() == qMetaTypeId<QJSValue>()) return value.value<QJSValue>().toVariant();
    return value;
}

// The view's rows are its own item list.
void FilterModelImp::start() {
    base()->setViewLink(new ViewLink(this, true));
    if (!m_source) return;
    m_link = ZEPHTreeModelPrivate::viewLinkOf(m_source.data());
    m_link->addListener(this);
    // The view's own row changes, before anyone else can listen to them: those that its tests do
    // not explain unsettle it.
    m_ownRowWatch = {
        connect(this, &QAbstractItemModel::rowsAboutToBeRemoved, this, &FilterModelImp::onOwnRowsChanged),
        connect(this, &QAbstractItemModel::rowsInserted, this, &FilterModelImp::onOwnRowsChanged),
        connect(this, &QAbstractItemModel::modelAboutToBeReset, this, [this] { m_settled = false; })};
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
    return m_source ? m_link->itemAt(row) : nullptr;
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
// ReplaceItemsListEx) is followed at once. Answers answerFollowsAnnouncements() for the item.
bool FilterModelImp::followChildModel(ZEPHTreeItem* item) {
    const bool announced = m_link->announcesChangesOf(item);
    if (item->ChildModel() || !announced) {
        connect(item, &ZEPHTreeItem::childModelValueChanged, this,
                &FilterModelImp::ChildModelValueChangedHandler, Qt::UniqueConnection);
        return false;
    }
    return typeid(*item) == typeid(ZEPHTreeItem);
}

// True when the item's answer can only change through a change that the source announces for its
// row: a plain item (a subclass may compute its values), without a child model (changes further
// down are not relayed), whose changes the source announces.
bool FilterModelImp::answerFollowsAnnouncements(const ZEPHTreeItem* item) const {
    return typeid(*item) == typeid(ZEPHTreeItem) && !item->ChildModel() && m_link->announcesChangesOf(item);
}

// The re-tests can be skipped for rule lists only: a host's predicate may read anything. A source
// that reads its rows through from elsewhere changes them without telling.
bool FilterModelImp::canSkipRetests() const {
    return !m_predicate && m_link && m_link->knowsRowsAtOnce() && !m_link->readsThrough();
}

// Rows put in by ReplaceItemsListEx on this view itself are no longer the rows that were tested.
bool FilterModelImp::settled() const {
    return m_settled && !base()->rows.hasSilentRows();
}

// Called before every row of the source is tested and held as it answers.
void FilterModelImp::settle() {
    m_settled = canSkipRetests();
    m_retest.clear();
}

// `heldAsAnswered`: the view holds the tested row exactly when it passed, or is about to.
void FilterModelImp::noteTested(ZEPHTreeItem* item, bool followsAnnouncements, bool heldAsAnswered) {
    if (!m_settled) return;
    if (!followsAnnouncements || !heldAsAnswered)
        m_retest.insert(item);
    else if (!m_retest.isEmpty())
        m_retest.remove(item);
}

// The current source rows among those to test again, in source order; the others are forgotten.
QList<ZEPHTreeItem*> FilterModelImp::rowsToRetest() {
    QVector<QPair<int, ZEPHTreeItem*>> ordered;
    ordered.reserve(m_retest.size());
    for (auto it = m_retest.begin(); it != m_retest.end();) {
        const int row = m_link->rowOf(*it);
        if (row < 0) {
            it = m_retest.erase(it);
            continue;
        }
        ordered.append({row, *it});
        ++it;
    }
    std::sort(ordered.begin(), ordered.end());
    QList<ZEPHTreeItem*> items;
    items.reserve(ordered.size());
    for (const auto& entry : qAsConst(ordered))
        items.append(entry.second);
    return items;
}

// Runs a change of this view's rows that follows its tests and makes `events` row insertions or
// removals. A row change from elsewhere meanwhile (a listener changing the view), or fewer changes
// than expected, unsettle the view.
template <typename Change> void FilterModelImp::ownChange(int events, Change change) {
    m_ownRowEvents = events;
    change();
    if (m_ownRowEvents != 0) m_settled = false;
    m_ownRowEvents = 0;
}

void FilterModelImp::onOwnRowsChanged() {
    if (m_ownRowEvents > 0)
        --m_ownRowEvents;
    else
        m_settled = false;
}

// Items that arrive later go where newItemPos says: as a block at the tail or at the head, or
// nowhere for any other value.
void FilterModelImp::addAtNewItemPos(const QList<ZEPHTreeItem*>& items) {
    if (items.isEmpty()) return;
    if (m_newItemPos == POS_TAIL)
        ownChange(1, [&] { AppendItemsList(items); });
    else if (m_newItemPos == POS_HEAD)
        ownChange(1, [&] { PrependItemsList(items); });
}

bool FilterModelImp::refilter() {
    if (!m_source) return false;
    bool result = false;
    {
        const Testing testing(this);
        settle();
        // The walk also follows the child models of the source's items (see followChildModel). A
        // source that shows its own list is read from it; the items are fetched a few rows ahead,
        // as the walk is bound by reading scattered items.
        QList<ZEPHTreeItem*> passing;
        const auto test = [&](ZEPHTreeItem* item) {
            const bool follows = followChildModel(item);
            if (passes(item)) passing.append(item);
            noteTested(item, follows, true);
        };
        if (const QList<ZEPHTreeItem*>* list = m_link->rowList()) {
            constexpr int kAhead = 8;
            for (int row = 0; row < list->size(); ++row) {
                if (row + kAhead < list->size()) __builtin_prefetch(list->at(row + kAhead));
                if (ZEPHTreeItem* item = list->at(row)) test(item);
            }
        } else {
            for (int row = 0; row < m_source->rowCount(); ++row) {
                if (ZEPHTreeItem* item = sourceItem(row)) test(item);
            }
        }
        const int events = (rowCount() > 0 ? 1 : 0) + (passing.isEmpty() ? 0 : 1);
        ownChange(events, [&] { result = ReplaceItemsList(passing); });
    }
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
    ownChange(1, [&] { RemoveOne(item); });
    emit itemsRemoved(QStringList{item->ID()});
    emit rowCountChanged();
}

// Drops the rows (all, or those among `candidates`) whose items are no longer rows of the source,
// in runs of consecutive rows from the bottom up, so the rows still to go keep their numbers.
void FilterModelImp::dropDepartedRows(const QList<ZEPHTreeItem*>* candidates) {
    if (!m_source || rowCount() == 0) return;
    const auto isSourceRow = m_link->rowTest();
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
        ownChange(1, [&] { Remove(first, last); });
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
        if (!m_retest.isEmpty()) m_retest.remove(item);
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
    if (!m_source) return;
    const bool allRows = first <= 0 && last >= m_source->rowCount() - 1;
    if (allRows) m_retest.clear();
    if (rowCount() == 0 && m_retest.isEmpty()) return;
    if (allRows) {
        if (rowCount() > 0) m_allLeaving = true;
        return;
    }
    for (int row = first; row <= last; ++row) {
        ZEPHTreeItem* item = sourceItem(row);
        if (!item) continue;
        if (hasRow(item)) m_leaving.append(item);
        if (!m_retest.isEmpty()) m_retest.remove(item);
    }
}

// A source that reads its rows through from elsewhere (a paging view) may already show other items
// when it announces a removal, so the leaving ones cannot be read then: after its count changed,
// every row that it no longer shows goes.
void FilterModelImp::onSourceCountChanged() {
    flushLeaving();
    if (m_source && m_link->readsThrough()) dropDepartedRows(nullptr);
}

// The source may show anything after a reset: rows that left go, and rows that are new here join
// where newItemPos puts arrivals, when they pass. Rows that stay are not tested again.
// A reset may hide any change, so the view is unsettled until it tests every row again.
void FilterModelImp::onSourceReset() {
    m_settled = false;
    m_retest.clear();
    flushLeaving();
    dropDepartedRows(nullptr);
    if (!m_source) return;
    const Testing testing(this);
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

// The source may show other rows after a layout change, which the view does not test.
void FilterModelImp::onSourceLayoutChanged() {
    m_settled = false;
    flushLeaving();
    dropDepartedRows(nullptr);
}

// A re-sort of a settled source tests only the rows that it may have changed unseen (see m_settled);
// every other row would answer as it did, and the view already holds it exactly when it passes. So
// which rows leave and arrive, in which order, and the signals are those of a test of every row.
void FilterModelImp::SourceModelDataChangedHandler(const QModelIndex& topLeft,
                                                   const QModelIndex& bottomRight) {
    if (!m_source) return;
    const bool newOrder = m_link->announcingNewOrder();
    flushLeaving();
    const int first = topLeft.row();
    const int last = bottomRight.row();
    const bool allRows = first <= 0 && last >= m_source->rowCount() - 1;
    const Testing testing(this);
    // A change over every row may be an exchange of the whole content: rows that left the source
    // go first. A settled view holds none.
    const bool wasSettled = settled();
    if (allRows && !wasSettled) {
        dropDepartedRows(nullptr);
        settle();
    }
    // With many rows to test again, testing every row costs less than ordering them.
    const bool onlyRetests = newOrder && allRows && wasSettled && m_retest.size() <= m_source->rowCount() / 4;
    const QList<ZEPHTreeItem*> retest = onlyRetests ? rowsToRetest() : QList<ZEPHTreeItem*>();
    const int heldBefore = rowCount();
    int heldAmongTested = 0;
    // Membership is decided by identity (this item is a row), an O(1) lookup per changed row. A
    // source that answers its rows at once shows each item once; any other may repeat one.
    bool allNew = true;
    const bool maybeRepeated = !m_link->knowsRowsAtOnce();
    QList<ZEPHTreeItem*> leaving;
    QList<ZEPHTreeItem*> arriving;
    QSet<const ZEPHTreeItem*> arrivingSet;
    const auto test = [&](ZEPHTreeItem* item) {
        const bool follows = followChildModel(item);
        const bool held = hasRow(item);
        if (held) ++heldAmongTested;
        if (!passes(item)) {
            if (held) leaving.append(item);
        } else if (held) {
            allNew = false;
        } else if (!maybeRepeated || !arrivingSet.contains(item)) {
            if (maybeRepeated) arrivingSet.insert(item);
            arriving.append(item);
        }
        noteTested(item, follows, true);
    };
    if (onlyRetests) {
        for (ZEPHTreeItem* item : qAsConst(retest))
            test(item);
        // Every held row that was not tested is a settled row of the source that passes.
        if (heldAmongTested < heldBefore) allNew = false;
    } else {
        for (int row = first; row <= last; ++row) {
            if (ZEPHTreeItem* item = sourceItem(row)) test(item);
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
        const auto isSourceRow = m_link->rowTest();
        for (const QPointer<ZEPHTreeItem>& item : guarded) {
            if (item && !hasRow(item) && isSourceRow(item)) arriving.append(item);
        }
    }
    // New rows always go to the tail here, announced with one insert pair.
    if (!arriving.isEmpty()) {
        ownChange(1, [&] {
            const int count = rowCount();
            beginInsertRows(QModelIndex(), count, count + arriving.size() - 1);
            for (ZEPHTreeItem* item : arriving)
                base()->appendRowSilently(item);
            endInsertRows();
        });
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
    const Testing testing(this);
    // Passing rows that the view does not take (newItemPos neither tail nor head) are held
    // otherwise than they answer.
    const bool takesArrivals = m_newItemPos == POS_TAIL || m_newItemPos == POS_HEAD;
    QList<ZEPHTreeItem*> passing;
    for (int row = start; row <= end; ++row) {
        ZEPHTreeItem* item = sourceItem(row);
        if (!item) continue;
        const bool follows = followChildModel(item);
        const bool passed = passes(item);
        if (passed) passing.append(item);
        noteTested(item, follows, takesArrivals || !passed);
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
    const auto isSourceRow = m_link->rowTest();
    QStringList removed;
    for (const QString& id : idList) {
        auto* item = qobject_cast<ZEPHTreeItem*>(FindItem(id, false));
        if (!item || !hasRow(item) || isSourceRow(item)) continue;
        ownChange(1, [&] { RemoveOne(item); });
        removed.append(id);
    }
    if (!removed.isEmpty()) emit itemsRemoved(removed);
    emit rowCountChanged();
}

// Emptying the view while the source still has rows (a host's call) unsettles it.
void FilterModelImp::SourceModelAllItemRemovedHandler() {
    if (m_source && m_source->rowCount() == 0 && rowCount() > 0)
        ownChange(1, [&] { RemoveAll(); });
    else
        RemoveAll();
}

void FilterModelImp::ChildModelValueChangedHandler() {
    auto* item = qobject_cast<ZEPHTreeItem*>(sender());
    // Only a current row of the source counts: an item the source removed must not come back.
    if (!item || !m_source || !m_link->isRow(item)) return;
    const Testing testing(this);
    if (passes(item)) {
        if (!hasRow(item)) ownChange(1, [&] { AppendItem(item); });
    } else if (hasRow(item)) {
        dropRow(item);
    }
    noteTested(item, answerFollowsAnnouncements(item), true);
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
