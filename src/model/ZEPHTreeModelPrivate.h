#pragma once

#include "model/RowStore.h"
#include "model/ZEPHTreeModel.h"

#include <QHash>
#include <QSet>
#include <QSharedPointer>
#include <QVariantList>

#include <functional>
#include <memory>

class PartialModel;
class QJSEngine;
class ViewLink;
class ZEPHTreeModelWorker;

// The state of a ZEPHTreeModel behind its one pointer, and the steps that its operations share.
// The library's views reach the state of a model through get(), never through the model's members.
class ZEPHTreeModelPrivate {
    Q_DECLARE_PUBLIC(ZEPHTreeModel)
public:
    enum CreationFlag { JavaScriptOwnershipFlag = 1, SharedItemsFlag = 2, MergeDuplicatesFlag = 4 };

    ZEPHTreeModelPrivate(ZEPHTreeModel* model, int flags, PF_DUPLICATE_HANDLER handler,
                         PF_USER_FILTER filter);
    ~ZEPHTreeModelPrivate();
    ZEPHTreeModelPrivate(const ZEPHTreeModelPrivate&) = delete;
    ZEPHTreeModelPrivate& operator=(const ZEPHTreeModelPrivate&) = delete;
    /// Completes the construction: the default role table, the partial view and the worker.
    void init();
    /// Makes the partial view (in the file of the view factories).
    void makePartialModel();

    static ZEPHTreeModelPrivate* get(ZEPHTreeModel* model) { return model->d_func(); }
    static const ZEPHTreeModelPrivate* get(const ZEPHTreeModel* model) { return model->d_func(); }
    /// The model behind `object` when it is one of this library's models, else null.
    static ZEPHTreeModel* modelOf(QObject* object);

    bool isOwnerThread() const;
    bool ownsItems() const { return !(flags & SharedItemsFlag); }
    /// Resolves a role name against roleNames(): first byte-for-byte match, else 0.
    int roleForName(const QString& roleName) const;

    // Keep-sorting state: the flag (a SortFlagColne) and the rules SortByRules re-applies.
    int keepSortingFlag() const { return m_keepSortingFlag; }
    const QVariantList& keepSortingRules() const { return m_keepSortingRules; }
    void setKeepSorting(int flag, const QVariantList& rules) {
        m_keepSortingFlag = flag;
        // The stored list is often passed back in; assigning it to itself is harmless with Qt's
        // implicitly shared lists.
        m_keepSortingRules = rules;
    }
    void setKeepSortingFlag(int flag) { m_keepSortingFlag = flag; }

    /// How views made from `model` reach it: its rows, and the notice before a silent drop.
    static ViewLink* viewLinkOf(ZEPHTreeModel* model);
    /// Makes `link` (owned from now on) answer for this model; a view class calls this in its
    /// constructor.
    void setViewLink(ViewLink* link);
    /// Tells the views made from this model that `items` leave without a removal announcement.
    void tellViewsOfSilentDrop(const QList<ZEPHTreeItem*>& items);

    /// The item with ID `id` in the child models, depth-first; null when none.
    QObject* findInChildModels(const QString& id) const;
    /// Appends `item` as a row without any signal (value-change connection and ID index included).
    void appendRowSilently(ZEPHTreeItem* item);

    // Sorting.
    /// Puts the rows of `snapshot` (the current rows) in `order`, carrying persistent indexes along.
    void putRowsInOrder(const QList<ZEPHTreeItem*>& snapshot, const QVector<int>& order);
    /// What a file sort compares with: the engine that runs the compare function and the
    /// comparison made in it (empty: the built-in comparison by type).
    struct FileComparison {
        std::unique_ptr<QJSEngine> engine;
        PF_LESS_THAN compare;
    };
    void sortByFile(int role, bool ascending, bool resetAfter,
                    const std::function<bool(FileComparison*)>& prepare);

    // Calls from other threads.
    using ItemCall = std::function<bool(ZEPHTreeModelWorker*, const QVariant& item)>;
    using ListCall = std::function<bool(ZEPHTreeModelWorker*, const QVariantList& items)>;
    /// Runs `call` with the worker in the owner thread and waits; false when it could not run.
    bool forward(const std::function<bool(ZEPHTreeModelWorker*)>& call);
    /// Forwards a call that hands over `item`; the item is adopted by the owner thread first.
    bool forwardItem(ZEPHTreeItem* item, const ItemCall& call);
    /// Forwards a call that hands over `items`; they are adopted by the owner thread first.
    bool forwardList(const QList<ZEPHTreeItem*>& items, const ListCall& call);
    void adoptIntoOwnerThread(const QList<ZEPHTreeItem*>& items);

    // Insertion.
    enum class SingleInsertion { Append, Prepend, AtRow };
    bool insertOne(SingleInsertion kind, int row, ZEPHTreeItem* item);
    bool insertListAt(QList<ZEPHTreeItem*> itemList, bool atHead);
    bool mergeApplies(const ZEPHTreeItem* item) const;
    void mergeDuplicate(ZEPHTreeItem* item, ZEPHTreeItem* existing);

    // Removal and disposal.
    bool keptAlive(const QObject* object) const { return keepAlive && keepAlive->contains(object); }
    QSet<const QObject*> keepSetFor(const QList<ZEPHTreeItem*>& items) const;
    void disposeItem(ZEPHTreeItem* item);
    void disposeChildModel(QObject* childModel);
    bool emptyForDisposal(QObject* child, bool silently);
    void disposeOfTaken(const QList<ZEPHTreeItem*>& items, bool silently,
                        const std::function<void(QObject*)>& dispose);
    void emptyBeforeRelease(ZEPHTreeModel* model, bool clearOnly);
    void clearSilently();
    QList<ZEPHTreeItem*> takeAllRows();
    void destroyTakenRows(const QList<ZEPHTreeItem*>& items);

    ZEPHTreeModel* const q_ptr;
    const int flags;
    PF_DUPLICATE_HANDLER duplicateHandler;
    PF_USER_FILTER userFilter;
    QHash<int, QByteArray> roles;
    RowStore rows;
    QSharedPointer<PartialModel> partialModel;
    QSharedPointer<ZEPHTreeModelWorker> worker;
    // Made when the first view of this model asks for it.
    std::unique_ptr<ViewLink> viewLink;
    // Items and child models that an operation in progress must not dispose of (replacements that
    // keep some of the old rows).
    const QSet<const QObject*>* keepAlive = nullptr;
    // Set while a model whose owner thread has ended is emptied and destroyed from another thread.
    bool runInPlace = false;
    // Set while the model is emptied right before it is released.
    bool releasing = false;

private:
    int m_keepSortingFlag = ZEPHTreeModel::None;
    QVariantList m_keepSortingRules;
};
