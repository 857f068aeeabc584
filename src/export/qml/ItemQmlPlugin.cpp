#include "ItemQmlPlugin.h"

#include <ZEPHTreeItem.h>

void ItemQmlPlugin::registerTypes(const char* uri) {
    Q_UNUSED(uri)
    ZEPHTreeItem::RegisterRolesEnum();
}
