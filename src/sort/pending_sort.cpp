// Placeholder until the sorting lands; removed by the sorting work.
#include "ZEPHTreeModel.h"
void ZEPHTreeModel::SortByRole(int, bool, PF_LESS_THAN) {}
void ZEPHTreeModel::SortByRole(const QString&, bool, PF_LESS_THAN) {}
void ZEPHTreeModel::SortByRoleAndKeep(int, bool, PF_LESS_THAN) {}
void ZEPHTreeModel::SortByRoleAndKeep(const QString&, bool, PF_LESS_THAN) {}
void ZEPHTreeModel::SortByRoleByQMLFunction(int, bool, QString, QString) {}
void ZEPHTreeModel::SortByRoleByQMLFunction(const QString&, bool, QString, QString) {}
void ZEPHTreeModel::SortByRoleByScriptFunction(int, bool, QString, QString) {}
void ZEPHTreeModel::SortByRoleByScriptFunction(const QString&, bool, QString, QString) {}
void ZEPHTreeModel::SortByRules(const QVariantList&, int) {}
