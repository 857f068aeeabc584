// Placeholder until the filter view lands; removed by the filter work.
#include "ZEPHTreeModel.h"
QObject* ZEPHTreeModel::GetFilterModel(QVariantList, bool, int) { return nullptr; }
QObject* ZEPHTreeModel::GetFilterModelByUserDefinedRules(QVariant, int) { return nullptr; }
