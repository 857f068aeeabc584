#pragma once

#include <QList>
#include <QObject>
#include <QPointer>
#include <QStringList>
#include <QVariant>

#include <functional>

class ZEPHTreeItem;
class ZEPHTreeModel;

// Lives in a model's owner thread and runs the calls that other threads forward to the model.
class ZEPHTreeModelWorker : public QObject {
    Q_OBJECT
public:
    explicit ZEPHTreeModelWorker(ZEPHTreeModel* model);

    /// Runs `call` in the worker's thread and blocks until it returned. False without running it
    /// when that thread does not run (not started or ended, also while the call waits) or the
    /// worker is destroyed first. Called in the worker's own thread, it runs `call` at once.
    static bool Invoke(ZEPHTreeModelWorker* worker, const std::function<bool(ZEPHTreeModelWorker*)>& call);

    /// An item pointer carried as a void* variant.
    static QVariant ItemVariant(ZEPHTreeItem* item);
    static QVariantList ItemVariants(const QList<ZEPHTreeItem*>& items);
    static ZEPHTreeItem* ItemOf(const QVariant& variant);
    static QList<ZEPHTreeItem*> ItemsOf(const QVariantList& variants);

    ZEPHTreeModel* model() const { return m_model.data(); }

    // Each slot unwraps its arguments (item variants to item pointers, null when a variant holds
    // no pointer) and calls the model operation of its name; RemoveList calls Remove(idList).
public slots:
    void MoveRow(int sourceRowIndex, int destinationRowIndex);
    bool AppendItem(QVariant item);
    bool AppendItemsList(QVariantList itemList);
    bool ReplaceItemsList(QVariantList itemList);
    bool ReplaceItemsListEx(QVariantList itemList);
    void RemoveAll();
    bool RemoveOne(QString id);
    bool Remove(int rowH, int rowT);
    bool PrependItem(QVariant item);
    bool PrependItemsList(QVariantList itemList);
    bool InsertItem(int row, QVariant item);
    bool RemoveList(QStringList idList);
    void ClearAllSourceContainer();

private:
    QPointer<ZEPHTreeModel> m_model;
};
