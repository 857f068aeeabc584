#pragma once

#include <QAbstractListModel>
#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVariantList>
#include <QVariantMap>

#include <functional>

class ZEPHTreeItem;

typedef std::function<bool(const QVariant&, const QVariant&)> PF_LESS_THAN;
typedef std::function<void(const QObject* source, QObject* target)> PF_DUPLICATE_HANDLER;
typedef std::function<bool(const QObject* item, const QVariant& filterRules)> PF_USER_FILTER;

// The abstract model interface. Every internal composition goes through these virtual operations,
// so a view changes behaviour by overriding single ones.
class IZEPHTreeModel : public QAbstractListModel {
public:
    using QAbstractListModel::QAbstractListModel;
    ~IZEPHTreeModel() override = default;

    virtual QString FindItemID(int row) const = 0;
    virtual int FindItemRow(const QString& id) const = 0;
    virtual QVariant FindItemValue(const QString& id, const QString& roleName) const = 0;
    virtual QVariant FindItemValue(const QString& id, int role) const = 0;
    virtual QVariant FindItemValue(int row, const QString& roleName) const = 0;
    virtual QVariant FindItemValue(int row, int role) const = 0;
    virtual QVariant FindItemValueEx(const QString& id, const QString& roleName,
                                     bool includeChildModel) const = 0;
    virtual QVariant FindItemValueEx(const QString& id, int role, bool includeChildModel) const = 0;
    virtual void GetAllIDs(QList<QString>& ids, bool includeChildModel) = 0;
    virtual void SetPartialModelCount(int count) = 0;
    virtual QObject* GetPartialModel(int count) = 0;
    virtual void SortByRole(const QString& roleName, bool ascending, PF_LESS_THAN pfLessThan) = 0;
    virtual void SortByRole(int role, bool ascending, PF_LESS_THAN pfLessThan) = 0;
    virtual void SortByRoleAndKeep(const QString& roleName, bool ascending, PF_LESS_THAN pfLessThan) = 0;
    virtual void SortByRoleAndKeep(int role, bool ascending, PF_LESS_THAN pfLessThan) = 0;
    virtual void SortByRoleByQMLFunction(const QString& roleName, bool ascending, QString fileName,
                                         QString compareFunctionName) = 0;
    virtual void SortByRoleByQMLFunction(int role, bool ascending, QString fileName,
                                         QString compareFunctionName) = 0;
    virtual void SortByRoleByScriptFunction(const QString& roleName, bool ascending, QString fileName,
                                            QString compareFunctionName) = 0;
    virtual void SortByRoleByScriptFunction(int role, bool ascending, QString fileName,
                                            QString compareFunctionName) = 0;
    virtual void SortByRules(const QVariantList& rules, int flag) = 0;
    virtual void MoveRow(int sourceRowIndex, int destinationRowIndex) = 0;
    virtual QVariantMap get(int index) = 0;
    virtual void clear() = 0;
    virtual bool InsertItem(int row, ZEPHTreeItem* item) = 0;
    virtual bool AppendItem(ZEPHTreeItem* item) = 0;
    virtual bool AppendItemsList(QList<ZEPHTreeItem*> itemList) = 0;
    virtual bool PrependItem(ZEPHTreeItem* item) = 0;
    virtual bool PrependItemsList(QList<ZEPHTreeItem*> itemList) = 0;
    virtual bool ReplaceItemsList(QList<ZEPHTreeItem*> itemList) = 0;
    virtual QObject* FindItem(const QString& id, bool includeChildModel) const = 0;
    virtual QObject* FindItem(int row) const = 0;
    virtual void RemoveAll() = 0;
    virtual bool RemoveOne(const QString& id) = 0;
    virtual bool Remove(int rowH, int rowT) = 0;
    virtual bool Remove(const QStringList& idList) = 0;
    virtual int FirstPartialModelRow() const = 0;
    virtual void SetFirstPartialModelRow(int row) = 0;
    virtual void ClearAllSourceContainer() = 0;
    virtual QObject* GetGroupModel(const QString& roleName, bool keepSortWithSource) = 0;
    virtual QObject* GetGroupModel(int role, bool keepSortWithSource) = 0;
    virtual bool UpdateGroupRole(const QString& roleName) = 0;
    virtual bool UpdateGroupRole(int role) = 0;
    virtual QObject* GetFilterModel(QVariantList filterRules, bool orAllRules, int newItemPos) = 0;
    virtual bool UpdateFilterRules(QVariantList filterRules, bool orAllRules) = 0;
    virtual QObject* GetFilterModelByUserDefinedRules(QVariant filterRules, int newItemPos) = 0;
    virtual bool UpdateUserDefinedFilterRules(QVariant filterRules) = 0;
    virtual QObject* GetPagingModel(unsigned int numPerPage) = 0;
    virtual int page() const = 0;
    virtual void setPage(int page) = 0;
    virtual int totalPage() const = 0;
    virtual QList<ZEPHTreeItem*>* GetModelItemList() = 0;
};
