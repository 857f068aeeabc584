#pragma once

#include "model/ViewLink.h"
#include "model/ZEPHTreeModel.h"
#include "model/ZEPHTreeModelPrivate.h"
#include "views/FilterRules.h"

#include <QPointer>
#include <QSet>

// A live view of the items of a source model that pass a filter: a rule list, or the host's user
// filter predicate with a rule value of its own. It holds the source's own item objects (it never
// copies, owns or deletes one), in an order of its own, and follows the source's signals so that
// it only ever holds current rows of the source, each once. Through the view, child models are seen
// filtered too: their role hands out a new filter view with the same rules.
class FilterModelImp : public ZEPHTreeModel, private SourceListener {
    Q_OBJECT
public:
    /// A view of the items of `source` that pass `filterRules` combined with `orAllRules`; items
    /// that the source inserts later go to the tail (newItemPos 0) or the head (1).
    FilterModelImp(ZEPHTreeModel* source, const QVariantList& filterRules, bool orAllRules, int newItemPos);
    /// A view of the items of `source` that `predicate` accepts for `userRules` (every item when the
    /// predicate is empty).
    FilterModelImp(ZEPHTreeModel* source, PF_USER_FILTER predicate, const QVariant& userRules,
                   int newItemPos);
    ~FilterModelImp() override;

    /// The view's rows; the child-model role answers a new filter view over the child model.
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant FindItemValue(int row, int role) const override;
    QVariant FindItemValue(int row, const QString& roleName) const override;
    QVariant FindItemValue(const QString& id, int role) const override;
    QVariant FindItemValue(const QString& id, const QString& roleName) const override;
    QVariant FindItemValueEx(const QString& id, int role, bool includeChildModel) const override;
    QVariant FindItemValueEx(const QString& id, const QString& roleName,
                             bool includeChildModel) const override;

    /// Replaces the rule list and combination flag and refilters; true at once when both are unchanged.
    bool UpdateFilterRules(QVariantList filterRules, bool orAllRules) override;
    /// Replaces the user rule value and refilters; true at once when it is unchanged.
    bool UpdateUserDefinedFilterRules(QVariant filterRules) override;

    /// A user rule value as the view stores it: a script value becomes its plain variant, anything
    /// else stays as it is.
    static QVariant userRulesOf(const QVariant& value);

public slots:
    void SourceModelDataChangedHandler(const QModelIndex& topLeft, const QModelIndex& bottomRight);
    void SourceModelItemAddedHandler(const QModelIndex& parent, int start, int end);
    void SourceModelItemRemovedHandler(const QString& id);
    void SourceModelItemsRemovedHandler(const QStringList& idList);
    void SourceModelAllItemRemovedHandler();
    void ChildModelValueChangedHandler();

private:
    class Testing;

    void start();
    void connectSource();
    bool refilter();
    bool passes(const ZEPHTreeItem* item) const;
    ZEPHTreeModelPrivate* base() { return ZEPHTreeModelPrivate::get(this); }
    const ZEPHTreeModelPrivate* base() const { return ZEPHTreeModelPrivate::get(this); }
    bool hasRow(const ZEPHTreeItem* item) const { return base()->rows.isRow(item); }
    ZEPHTreeItem* sourceItem(int row) const;
    bool followChildModel(ZEPHTreeItem* item);
    bool answerFollowsAnnouncements(const ZEPHTreeItem* item) const;
    void addAtNewItemPos(const QList<ZEPHTreeItem*>& items);

    bool canSkipRetests() const;
    bool settled() const;
    void settle();
    void noteTested(ZEPHTreeItem* item, bool followsAnnouncements, bool heldAsAnswered);
    QList<ZEPHTreeItem*> rowsToRetest();
    template <typename Change> void ownChange(int events, Change change);
    void onOwnRowsChanged();

    void dropRow(ZEPHTreeItem* item);
    void dropDepartedRows(const QList<ZEPHTreeItem*>* candidates);
    void removeRuns(QList<ZEPHTreeItem*> items);
    void flushLeaving();
    void sourceDropsSilently(const QList<ZEPHTreeItem*>& items) override;

    void onSourceRowsAboutToBeRemoved(const QModelIndex& parent, int first, int last);
    void onSourceCountChanged();
    void onSourceReset();
    void onSourceLayoutChanged();

    QVariant childFilterView(const ZEPHTreeItem* item, bool resort, bool asListModel) const;
    QVariant valueOf(QObject* found, int role) const;
    QVariant valueOf(QObject* found, const QString& roleName) const;

    QPointer<ZEPHTreeModel> m_source;
    // The source's link (it lives as long as the source).
    ViewLink* m_link = nullptr;
    QVariantList m_filterRules;
    QVariant m_userRules;
    bool m_orAllRules = false;
    PF_USER_FILTER m_predicate;
    int m_newItemPos = POS_TAIL;
    FilterRules m_rules;
    // Rows of this view that the source announced it is removing; dropped once the source's
    // announcement is over unless they are still rows of the source.
    QList<ZEPHTreeItem*> m_leaving;
    bool m_allLeaving = false;

    // While settled, this view holds only rows of the source, and every row of the source has been
    // tested and is held exactly when it passed, except the rows in m_retest. The answer of any
    // other row can only change through a change that the source announces for that row, which the
    // view tests at once; so a re-sort of the source, announced as a change of every row, only needs
    // to test the rows in m_retest again. A change of this view's rows from elsewhere unsettles it,
    // and the next test of every row settles it again.
    bool m_settled = false;
    // Rows to test again: item subclasses (their values may be computed), items with a child model
    // (changes further down are not relayed), items whose changes the source does not announce,
    // rows held otherwise than they answered; and rows that left the source since (dropped later).
    QSet<ZEPHTreeItem*> m_retest;
    // Row insertions and removals of this view that the change in progress makes itself.
    int m_ownRowEvents = 0;
    QVector<QMetaObject::Connection> m_ownRowWatch;
    // Set while source rows are tested and the view follows their answers.
    bool m_testing = false;
};
