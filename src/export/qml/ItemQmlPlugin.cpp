#include "ItemQmlPlugin.h"

#include "ModuleWarningFilter.h"

#include <ZEPHTreeItem.h>

ItemQmlPlugin::ItemQmlPlugin() {
    ModuleWarningFilter::begin("com.zephora.zephtreeitem");
}

void ItemQmlPlugin::registerTypes(const char* uri) {
    Q_UNUSED(uri)
    ModuleWarningFilter::end();
    ZEPHTreeItem::RegisterRolesEnum();
}
