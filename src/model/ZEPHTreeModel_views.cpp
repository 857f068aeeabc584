// The model's views: the partial view every model owns and the factories of the filter, group and
// paging views. The only place where the model reaches up into the views.
#include "model/ZEPHTreeModel.h"

#include "model/ZEPHTreeModelPrivate.h"
#include "views/FilterModelImp.h"
#include "views/GroupModelImp.h"
#include "views/PagingModelImp.h"
#include "views/PartialModel.h"

#include <QQmlEngine>

void ZEPHTreeModelPrivate::makePartialModel() {
    Q_Q(ZEPHTreeModel);
    partialModel.reset(new PartialModel(q, q));
    QQmlEngine::setObjectOwnership(partialModel.data(), QQmlEngine::CppOwnership);
}

int ZEPHTreeModel::FirstPartialModelRow() const {
    Q_D(const ZEPHTreeModel);
    return d->partialModel ? d->partialModel->firstRow() : 0;
}

void ZEPHTreeModel::SetFirstPartialModelRow(int row) {
    Q_D(ZEPHTreeModel);
    if (d->partialModel) d->partialModel->setFirstRow(row);
    emit firstPartialModelRowChanged();
}

void ZEPHTreeModel::SetPartialModelCount(int count) {
    Q_D(ZEPHTreeModel);
    if (d->partialModel) d->partialModel->setWindowSize(count);
}

QObject* ZEPHTreeModel::GetPartialModel(int count) {
    SetPartialModelCount(count);
    return d_func()->partialModel.data();
}

QObject* ZEPHTreeModel::GetFilterModel(QVariantList filterRules, bool orAllRules, int newItemPos) {
    return new FilterModelImp(this, filterRules, orAllRules, newItemPos);
}

QObject* ZEPHTreeModel::GetFilterModelByUserDefinedRules(QVariant filterRules, int newItemPos) {
    return new FilterModelImp(this, d_func()->userFilter, FilterModelImp::userRulesOf(filterRules),
                              newItemPos);
}

QObject* ZEPHTreeModel::GetGroupModel(int role, bool keepSortWithSource) {
    return new GroupModelImp(this, role, keepSortWithSource);
}

QObject* ZEPHTreeModel::GetGroupModel(const QString& roleName, bool keepSortWithSource) {
    return GetGroupModel(d_func()->roleForName(roleName), keepSortWithSource);
}

QObject* ZEPHTreeModel::GetPagingModel(unsigned int numPerPage) {
    return new PagingModelImp(this, numPerPage);
}
