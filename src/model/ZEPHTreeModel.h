#pragma once

#include "IZEPHTreeModel.h"
#include "ZEPHTreeItem.h"
#include "ZEPHTreeModelGlobal.h"

#include <QHash>
#include <QList>
#include <QScopedPointer>
#include <QVariant>

class ZEPHTreeModelPrivate;

// Xlib defines None as a macro, which would break the enumerator of that name: it is set aside
// here and restored at the end of this header.
#ifdef None
#pragma push_macro("None")
#undef None
#define ZEPH_RESTORE_NONE
#endif

// An observable list model whose rows are ZEPHTreeItem objects; items may carry child models, so
// lists become trees. Mutations may be called from any thread and run in the owner thread.
class ZEPH_EXPORT ZEPHTreeModel : public IZEPHTreeModel {
    Q_OBJECT
    Q_PROPERTY(int firstPartialModelRow READ FirstPartialModelRow WRITE SetFirstPartialModelRow NOTIFY
                   firstPartialModelRowChanged)
    Q_PROPERTY(int count READ rowCount NOTIFY rowCountChanged)
    Q_PROPERTY(int page READ page WRITE setPage NOTIFY pageChanged)
    Q_PROPERTY(int totalPage READ totalPage NOTIFY totalPageChanged)

public:
    enum FilterRuleColne { Eq = 0, Ne, Ge, Gt, Le, Lt, SubStr, InsensitiveSubStr };
    Q_ENUM(FilterRuleColne)
    enum SortFlagColne { None = 0, KeepSorting, RecursiveKeepSorting };
    Q_ENUM(SortFlagColne)
    enum NewItemAddedPosition { POS_TAIL = 0, POS_HEAD };
    Q_ENUM(NewItemAddedPosition)

    /// The main constructor. Creation flags: 1 JavaScript ownership, 2 shared items (the model owns
    /// none of its items), 4 merge items whose ID is already present. An empty role table gets the
    /// roles 257 "idRole", 258 "nameRole", 259 "childModelRole".
    ZEPHTreeModel(QObject* parent, const QHash<int, QByteArray>& roles, int flags = 0,
                  PF_DUPLICATE_HANDLER handler = {}, PF_USER_FILTER filter = {});
    /// The constructor QML uses: no parent, flags 0, the default role table.
    ZEPHTreeModel();
    /// Empties the model with RemoveAll() (disposing of owned items) and releases its views.
    ~ZEPHTreeModel() override;
    /// Registers the QML type "IZEPHTreeModel" of "com.zephora.izephtreemodel" 1.0, once per
    /// process; constructing a model and importing the module do it too.
    static void RegisterQmlType();

    // Read side.
    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QHash<int, QByteArray> roleNames() const override;

    // Lookups.
    /// ID of the item at `row`, or an empty string.
    Q_INVOKABLE QString FindItemID(int row) const override;
    /// First row whose item has ID `id`, or -1.
    Q_INVOKABLE int FindItemRow(const QString& id) const override;
    /// Role value of the item at `row`; invalid when there is none.
    Q_INVOKABLE QVariant FindItemValue(int row, int role) const override;
    /// Role value by role name of the item at `row`; invalid when there is none.
    Q_INVOKABLE QVariant FindItemValue(int row, const QString& roleName) const override;
    /// Role value of the item with ID `id`; invalid when there is none.
    Q_INVOKABLE QVariant FindItemValue(const QString& id, int role) const override;
    /// Role value by role name of the item with ID `id`; invalid when there is none.
    Q_INVOKABLE QVariant FindItemValue(const QString& id, const QString& roleName) const override;
    /// As FindItemValue, optionally searching the child models too.
    Q_INVOKABLE QVariant FindItemValueEx(const QString& id, int role, bool includeChildModel) const override;
    /// As FindItemValue by role name, optionally searching the child models too.
    Q_INVOKABLE QVariant FindItemValueEx(const QString& id, const QString& roleName,
                                         bool includeChildModel) const override;
    /// Appends every ID in row order to `ids`, optionally pre-order through the child models.
    Q_INVOKABLE void GetAllIDs(QList<QString>& ids, bool includeChildModel) override;
    /// Role name to value map of the item at `index`; empty when there is none.
    Q_INVOKABLE QVariantMap get(int index) override;
    /// Removes every row (RemoveAll()).
    Q_INVOKABLE void clear() override;
    /// Sets the window size of the partial view.
    Q_INVOKABLE void SetPartialModelCount(int count) override;
    /// Sets the window size of the partial view and returns it (owned by this model).
    Q_INVOKABLE QObject* GetPartialModel(int count) override;
    /// Moves a row to another position; announced as a model reset.
    Q_INVOKABLE void MoveRow(int sourceRowIndex, int destinationRowIndex) override;
    /// The item at `row`, or null.
    Q_INVOKABLE QObject* FindItem(int row) const override;
    /// The item with ID `id`, optionally searching the child models depth-first; null when none.
    Q_INVOKABLE QObject* FindItem(const QString& id, bool includeChildModel = false) const override;

    // Removal.
    /// Removes every row; announces allItemRemoved() and rowCountChanged().
    Q_INVOKABLE void RemoveAll() override;
    /// Removes the item with ID `id`; false when there is none.
    Q_INVOKABLE bool RemoveOne(const QString& id) override;
    /// Removes the items with these IDs; unknown IDs are skipped.
    Q_INVOKABLE bool Remove(const QStringList& idList) override;
    /// Removes rows `rowH` to `rowT`; false unless 0 <= rowH <= rowT < count.
    Q_INVOKABLE bool Remove(int rowH, int rowT) override;

    // Sorting.
    /// Sorts once by a role, with `pfLessThan` or the built-in type comparison.
    Q_INVOKABLE void SortByRole(int role, bool ascending, PF_LESS_THAN pfLessThan = PF_LESS_THAN()) override;
    /// Sorts once by a role name, with `pfLessThan` or the built-in type comparison.
    Q_INVOKABLE void SortByRole(const QString& roleName, bool ascending,
                                PF_LESS_THAN pfLessThan = PF_LESS_THAN()) override;
    /// Sorts by a role and keeps the model sorted by it after insertions.
    Q_INVOKABLE void SortByRoleAndKeep(int role, bool ascending,
                                       PF_LESS_THAN pfLessThan = PF_LESS_THAN()) override;
    /// Sorts by a role name and keeps the model sorted by it after insertions.
    Q_INVOKABLE void SortByRoleAndKeep(const QString& roleName, bool ascending,
                                       PF_LESS_THAN pfLessThan = PF_LESS_THAN()) override;
    /// Sorts by a compare function of a QML document.
    Q_INVOKABLE void SortByRoleByQMLFunction(int role, bool ascending, QString fileName,
                                             QString compareFunctionName) override;
    /// Sorts by a role name with a compare function of a QML document.
    Q_INVOKABLE void SortByRoleByQMLFunction(const QString& roleName, bool ascending, QString fileName,
                                             QString compareFunctionName) override;
    /// Sorts by a global compare function of a JavaScript file.
    Q_INVOKABLE void SortByRoleByScriptFunction(int role, bool ascending, QString fileName,
                                                QString compareFunctionName) override;
    /// Sorts by a role name with a global compare function of a JavaScript file.
    Q_INVOKABLE void SortByRoleByScriptFunction(const QString& roleName, bool ascending, QString fileName,
                                                QString compareFunctionName) override;
    /// Sorts by a list of {RoleName, Ascending} rules and stores them with a SortFlagColne flag.
    Q_INVOKABLE void SortByRules(const QVariantList& rules, int flag = 0) override;

    // Views.
    /// A new group view with one row per distinct value of `role`.
    Q_INVOKABLE QObject* GetGroupModel(int role, bool keepSortWithSource = false) override;
    /// A new group view with one row per distinct value of the role named `roleName`.
    Q_INVOKABLE QObject* GetGroupModel(const QString& roleName, bool keepSortWithSource = false) override;
    /// Regroups a group view by another role; false on other models.
    Q_INVOKABLE bool UpdateGroupRole(int role) override;
    /// Regroups a group view by another role name; false on other models.
    Q_INVOKABLE bool UpdateGroupRole(const QString& roleName) override;
    /// A new live filter view driven by a rule list.
    Q_INVOKABLE QObject* GetFilterModel(QVariantList filterRules = QVariantList(), bool orAllRules = true,
                                        int newItemPos = 0) override;
    /// Replaces a filter view's rules; false on other models.
    Q_INVOKABLE bool UpdateFilterRules(QVariantList filterRules = QVariantList(),
                                       bool orAllRules = true) override;
    /// A new live filter view driven by the host's user filter predicate and `filterRules`.
    Q_INVOKABLE QObject* GetFilterModelByUserDefinedRules(QVariant filterRules = QVariant(),
                                                          int newItemPos = 0) override;
    /// Replaces a user-filtered view's rule value; false on other models.
    Q_INVOKABLE bool UpdateUserDefinedFilterRules(QVariant filterRules = QVariant()) override;
    /// A new paging view showing `numPerPage` rows per page (0: one page with every row).
    Q_INVOKABLE QObject* GetPagingModel(unsigned int numPerPage) override;

    // Insertion and replacement (native code only).
    /// Inserts at `row`; false for null, a row outside 0..count, a duplicate ID with flag 4, or a row.
    bool InsertItem(int row, ZEPHTreeItem* item) override;
    /// Appends an item (or merges it into the item with its ID, flag 4); false for null.
    bool AppendItem(ZEPHTreeItem* item) override;
    /// Appends a list with one insertion announcement; null entries are skipped.
    bool AppendItemsList(QList<ZEPHTreeItem*> itemList) override;
    /// Puts an item at row 0 (or merges it, flag 4); false for null.
    bool PrependItem(ZEPHTreeItem* item) override;
    /// Puts a list at the head, keeping its order, with one insertion announcement.
    bool PrependItemsList(QList<ZEPHTreeItem*> itemList) override;
    /// Replaces the content: RemoveAll() then AppendItemsList().
    bool ReplaceItemsList(QList<ZEPHTreeItem*> itemList) override;
    /// Replaces the content with the fewest signals: a count change and dataChanged over all rows.
    bool ReplaceItemsListEx(QList<ZEPHTreeItem*> itemList);
    /// Empties the model at once, announced as a reset, then deletes owned items and their child
    /// models.
    void ClearAllSourceContainer() override;

    // Partial view and paging.
    int FirstPartialModelRow() const override;
    /// Moves the partial view's window; always emits firstPartialModelRowChanged().
    void SetFirstPartialModelRow(int row) override;
    /// The current page; -1 on models that are not paging views.
    int page() const override;
    /// Shows another page; does nothing on models that are not paging views.
    void setPage(int page) override;
    /// The number of pages; 0 on models that are not paging views.
    int totalPage() const override;

    /// The item list itself; changing it bypasses the ID index and every signal.
    QList<ZEPHTreeItem*>* GetModelItemList() override;

signals:
    void rowCountChanged();
    void firstPartialModelRowChanged();
    void itemsRemoved(QStringList idList);
    void allItemRemoved();
    void filterModelChanged();
    void pageChanged(int page);
    void totalPageChanged(int totalPage);

public slots:
    /// Turns a valueChanged() of the sending item into dataChanged for its row.
    void EmitValueChange();

protected:
    /// Merges `newItem` into `existingItem` with the duplicate handler or CopyItem().
    void HandleDuplicatedItem(ZEPHTreeItem* newItem, ZEPHTreeItem* existingItem);
    /// Copies every role of roleNames() from `source` to `target` through setData().
    void CopyItem(ZEPHTreeItem* source, ZEPHTreeItem* target);
    /// Takes one item out of the rows (child model disposed of on an owning model); not the item.
    void RemoveOne(ZEPHTreeItem* item);
    /// Re-applies the stored sort rules when keep-sorting is on.
    void KeepSortingCheck();

private:
    QScopedPointer<ZEPHTreeModelPrivate> d_ptr;
    Q_DECLARE_PRIVATE(ZEPHTreeModel)
};

#ifdef ZEPH_RESTORE_NONE
#pragma pop_macro("None")
#undef ZEPH_RESTORE_NONE
#endif
