// Placeholder until the group view lands; removed by the group view work.
#include "ZEPHTreeModel.h"
QObject* ZEPHTreeModel::GetGroupModel(int, bool) { return nullptr; }
QObject* ZEPHTreeModel::GetGroupModel(const QString&, bool) { return nullptr; }
