#pragma once

#include "SignalLog.h"
#include "model/ZEPHTreeModelPrivate.h"

#include <ZEPHTreeModel.h>

#include <QThread>

// A model that logs each keep-sorting pass as "sort" into a signal log, so that the pass shows in
// its place among the signals, remembers how and in which thread it was asked to sort, and opens
// protected steps to the tests. It can answer lookups by ID with an item that is not one of its
// rows (`foreign`) and claim another row count (`claimedRows`), as a view may.
class ProbeModel : public ZEPHTreeModel {
public:
    using ZEPHTreeModel::CopyItem;
    using ZEPHTreeModel::FindItem;
    using ZEPHTreeModel::HandleDuplicatedItem;
    using ZEPHTreeModel::RemoveOne;
    using ZEPHTreeModel::ZEPHTreeModel;

    void SortByRules(const QVariantList& rules, int flag) override {
        sorts << QStringLiteral("%1/%2").arg(flag).arg(rules.size());
        sortThreads << QThread::currentThread();
        if (log) log->entries << QStringLiteral("sort");
    }
    void keepSorting(const QVariantList& rules = {}) {
        ZEPHTreeModelPrivate::get(this)->setKeepSorting(KeepSorting, rules);
    }
    QObject* FindItem(const QString& id, bool includeChildModel = false) const override {
        return foreign ? foreign : ZEPHTreeModel::FindItem(id, includeChildModel);
    }
    int rowCount(const QModelIndex& parent = QModelIndex()) const override {
        return claimedRows >= 0 ? claimedRows : ZEPHTreeModel::rowCount(parent);
    }

    SignalLog* log = nullptr;
    QStringList sorts;
    QList<QThread*> sortThreads;
    ZEPHTreeItem* foreign = nullptr;
    int claimedRows = -1;
};
