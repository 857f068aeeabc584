// Placeholder until the paging view lands; removed by the paging view work.
#include "ZEPHTreeModel.h"
QObject* ZEPHTreeModel::GetPagingModel(unsigned int) { return nullptr; }
