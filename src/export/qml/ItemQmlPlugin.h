#pragma once

#include <QQmlExtensionPlugin>

// The QML module "com.zephora.zephtreeitem" 1.0: the item type "ZEPHTreeItem" and its role numbers.
class ItemQmlPlugin : public QQmlExtensionPlugin {
    Q_OBJECT
    Q_PLUGIN_METADATA(IID QQmlExtensionInterface_iid)
public:
    ItemQmlPlugin();
    void registerTypes(const char* uri) override;
};
