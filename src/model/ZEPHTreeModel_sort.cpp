#include "model/ZEPHTreeModel.h"

#include "core/CycleGuard.h"
#include "model/ViewLink.h"
#include "model/ZEPHTreeModelPrivate.h"
#include "sort/CompareFile.h"
#include "sort/EngineObjectGuard.h"
#include "sort/QmlComparator.h"
#include "sort/RoleSort.h"
#include "sort/RuleSortCache.h"
#include "sort/ScriptComparator.h"
#include "sort/SortRules.h"

#include <QJSEngine>
#include <QPointer>
#include <QQmlEngine>

namespace {

// The models that one SortByRules call has reached through child models, so that a cycle of child
// models ends: each model is sorted at most once per call. A call of its own (by the host, or by a
// listener of a sort's signals) starts a walk of its own; only the descent into child models
// continues one.
thread_local CycleGuard::Walk t_ruleSortWalk;

// The items of `items` in `order` (a permutation of its rows).
QList<ZEPHTreeItem*> permuted(const QList<ZEPHTreeItem*>& items, const QVector<int>& order) {
    QList<ZEPHTreeItem*> result = items;
    result.detach(); // a list of the right size, written in place below
    for (int i = 0; i < order.size(); ++i)
        result[i] = items.at(order.at(i));
    return result;
}

// Where persistent indexes of the rows in `from` go when the rows are put in `order`.
QModelIndexList movedIndexes(const QAbstractItemModel* model, const QModelIndexList& from,
                             const QVector<int>& order) {
    QModelIndexList to;
    if (from.isEmpty()) return to;
    QVector<int> newRow(order.size());
    for (int i = 0; i < order.size(); ++i)
        newRow[order.at(i)] = i;
    to.reserve(from.size());
    for (const QModelIndex& old : from)
        to.append(model->index(newRow.value(old.row(), -1), old.column()));
    return to;
}

} // namespace

// Every sort works on a snapshot of the row list. A comparison that runs foreign code (a caller's
// comparator, a script, an item subclass) could insert or remove rows meanwhile; the list then no
// longer shares its data with the snapshot, and the sort keeps the rows as they are instead of
// swapping in an order of items that may be gone.

void ZEPHTreeModel::SortByRole(const QString& roleName, bool ascending, PF_LESS_THAN pfLessThan) {
    SortByRole(d_func()->roleForName(roleName), ascending, std::move(pfLessThan));
}

void ZEPHTreeModel::SortByRole(int role, bool ascending, PF_LESS_THAN pfLessThan) {
    Q_D(ZEPHTreeModel);
    if (d->rows.isEmpty()) return;
    const QList<ZEPHTreeItem*> snapshot = d->rows.items();
    const RoleSort sort(snapshot, role);
    QVector<int> order;
    bool sorted = true;
    if (pfLessThan) {
        // A throwing comparator leaves the order as it was.
        try {
            order = sort.orderBy(pfLessThan, ascending);
        } catch (...) {
            sorted = false;
        }
    } else {
        order = sort.orderByType(ascending);
    }
    if (sorted && d->rows.items().isSharedWith(snapshot)) d->putRowsInOrder(snapshot, order);
    ViewLink::announceNewOrder(this);
    d->setKeepSortingFlag(None);
}

void ZEPHTreeModel::SortByRoleAndKeep(const QString& roleName, bool ascending, PF_LESS_THAN pfLessThan) {
    SortByRoleAndKeep(d_func()->roleForName(roleName), ascending, std::move(pfLessThan));
}

void ZEPHTreeModel::SortByRoleAndKeep(int role, bool ascending, PF_LESS_THAN pfLessThan) {
    SortByRole(role, ascending, std::move(pfLessThan));
    // Later re-sorts use the rule comparison (QVariant ordering), whatever comparator sorted here.
    QVariantMap rule;
    rule.insert(QStringLiteral("RoleName"), QVariant(roleNames().value(role)));
    rule.insert(QStringLiteral("Ascending"), QVariant(ascending));
    d_func()->setKeepSorting(KeepSorting, QVariantList{rule});
}

// Persistent indexes (selections, a view's current item, proxies inside a layout change) stay on
// their items.
void ZEPHTreeModelPrivate::putRowsInOrder(const QList<ZEPHTreeItem*>& snapshot, const QVector<int>& order) {
    Q_Q(ZEPHTreeModel);
    rows.setOrder(permuted(snapshot, order));
    const QModelIndexList from = q->persistentIndexList();
    q->changePersistentIndexList(from, movedIndexes(q, from, order));
}

// The two file sorts: `prepare` makes the engine that runs the compare function and the comparison
// it offers (none: the built-in comparison by type), or answers false when there is no function to
// call, and then nothing happens. The objects that the values hold keep their ownership through the
// engine's end. The sort is announced as a layout change, with a reset after it when `resetAfter`.
void ZEPHTreeModelPrivate::sortByFile(int role, bool ascending, bool resetAfter,
                                      const std::function<bool(FileComparison*)>& prepare) {
    Q_Q(ZEPHTreeModel);
    const QList<ZEPHTreeItem*> snapshot = rows.items();
    const RoleSort sort(snapshot, role);
    QVector<int> order;
    bool sorted = true;
    {
        const EngineObjectGuard guard(sort.values());
        FileComparison comparison;
        if (!prepare(&comparison)) return;
        try {
            order = comparison.compare ? sort.orderBy(comparison.compare, ascending)
                                       : sort.orderByType(ascending);
        } catch (...) {
            sorted = false;
        }
    }
    sorted = sorted && rows.items().isSharedWith(snapshot);

    // Proxies and selections keep their persistent indexes on the same items.
    emit q->layoutAboutToBeChanged(QList<QPersistentModelIndex>(), QAbstractItemModel::NoLayoutChangeHint);
    if (sorted) putRowsInOrder(snapshot, order);
    emit q->dataChanged(q->index(0, 0), q->index(rows.count() - 1, 0), QVector<int>());
    emit q->layoutChanged(QList<QPersistentModelIndex>(), QAbstractItemModel::NoLayoutChangeHint);
    if (resetAfter) {
        q->beginResetModel();
        q->endResetModel();
    }
}

void ZEPHTreeModel::SortByRoleByQMLFunction(const QString& roleName, bool ascending, QString fileName,
                                            QString compareFunctionName) {
    SortByRoleByQMLFunction(d_func()->roleForName(roleName), ascending, std::move(fileName),
                            std::move(compareFunctionName));
}

// Without a root object the comparison falls through to the built-in one.
void ZEPHTreeModel::SortByRoleByQMLFunction(int role, bool ascending, QString fileName,
                                            QString compareFunctionName) {
    if (fileName.isEmpty() || compareFunctionName.isEmpty()) return;
    d_func()->sortByFile(role, ascending, false, [&](ZEPHTreeModelPrivate::FileComparison* comparison) {
        auto* engine = new QQmlEngine;
        comparison->engine.reset(engine);
        engine->setOutputWarningsToStandardError(false);
        auto comparator = std::make_shared<const QmlComparator>(engine, fileName, compareFunctionName);
        if (comparator->hasObject())
            comparison->compare = [comparator](const QVariant& placed, const QVariant& incoming) {
                return (*comparator)(placed, incoming);
            };
        return true;
    });
}

void ZEPHTreeModel::SortByRoleByScriptFunction(const QString& roleName, bool ascending, QString fileName,
                                               QString compareFunctionName) {
    SortByRoleByScriptFunction(d_func()->roleForName(roleName), ascending, std::move(fileName),
                               std::move(compareFunctionName));
}

// A program whose global of that name is an error (it is missing, or the program threw) sorts
// nothing and announces nothing.
void ZEPHTreeModel::SortByRoleByScriptFunction(int role, bool ascending, QString fileName,
                                               QString compareFunctionName) {
    if (fileName.isEmpty() || compareFunctionName.isEmpty()) return;
    QString program;
    if (!CompareFile::readText(fileName, &program)) return;
    d_func()->sortByFile(role, ascending, true, [&](ZEPHTreeModelPrivate::FileComparison* comparison) {
        auto* engine = new QJSEngine;
        comparison->engine.reset(engine);
        engine->evaluate(program, fileName, 1);
        const QJSValue function = engine->globalObject().property(compareFunctionName);
        if (function.isError()) return false;
        auto comparator = std::make_shared<const ScriptComparator>(engine, function);
        comparison->compare = [comparator](const QVariant& placed, const QVariant& incoming) {
            return (*comparator)(placed, incoming);
        };
        return true;
    });
}

void ZEPHTreeModel::SortByRules(const QVariantList& rules, int flag) {
    Q_D(ZEPHTreeModel);
    CycleGuard guard(t_ruleSortWalk, CycleGuard::PerCall);
    if (!guard.enter(this)) return;
    d->setKeepSorting(flag, rules);
    // Child models first, in row order, each with the stored rules and flag (it recurses further
    // itself). Views over shared items do not reach into child models.
    if (d->keepSortingFlag() == RecursiveKeepSorting && d->ownsItems()) {
        const QList<ZEPHTreeItem*> items = d->rows.items();
        for (ZEPHTreeItem* item : items) {
            if (!d->rows.isRow(item)) continue; // taken out by a listener of an earlier child's sort
            if (ZEPHTreeModel* child = ZEPHTreeModelPrivate::modelOf(item->ChildModel())) {
                CycleGuard::continueInto(
                    t_ruleSortWalk, [&] { child->SortByRules(d->keepSortingRules(), d->keepSortingFlag()); });
            }
        }
    }
    // A large list keeps the state of its sort, so that the re-sort after an insertion only places
    // the new rows. (The state is a child object, which only the owner thread may make.)
    // The state only describes the rows while every change of them is announced: rows brought in
    // without a value-change connection could change unseen, and so could the order of an item
    // list handed out to the host.
    QPointer<RuleSortCache> cache = RuleSortCache::find(this);
    if (d->rows.hasSilentRows() || d->rows.listHandedOut()) {
        if (cache) cache->invalidate();
        cache = nullptr;
    } else if (!cache && d->rows.count() >= RuleSortCache::MinimumRows && d->isOwnerThread()) {
        cache = RuleSortCache::of(this);
    }
    const SortRules compiled(d->keepSortingRules(),
                             [d](const QString& name) { return d->roleForName(name); });
    SortRules::State next;
    SortRules::Step step;
    if (cache && compiled.step(d->rows.items(), *cache, &step, &next)) {
        // At most one row moves and the runs of tied rows turn round: the rows change in place,
        // and so do the persistent indexes.
        const QModelIndexList from = persistentIndexList();
        if (step.from >= 0) d->rows.moveRow(step.from, step.to);
        for (const SortRules::TieRun& run : next.runs)
            d->rows.reverseRows(run.first, run.first + run.count - 1);
        QModelIndexList to;
        to.reserve(from.size());
        for (const QModelIndex& old : from)
            to.append(index(step.rowAfter(old.row(), next), old.column()));
        changePersistentIndexList(from, to);
        cache->store(d->rows.count(), std::move(next));
    } else {
        const QList<ZEPHTreeItem*> snapshot = d->rows.items();
        const QVector<int> order = compiled.order(snapshot, cache.data(), &next);
        if (d->rows.items().isSharedWith(snapshot)) {
            d->putRowsInOrder(snapshot, order);
            if (cache) cache->store(snapshot.size(), std::move(next));
        } else if (cache) {
            cache->invalidate();
        }
    }
    if (cache) cache->setAnnouncing(true);
    ViewLink::announceNewOrder(this);
    if (cache) cache->setAnnouncing(false);
}
