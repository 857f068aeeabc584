#pragma once

#include <QQmlExtensionPlugin>

// The QML module "com.zephora.izephtreemodel" 1.0: the model type "IZEPHTreeModel".
class ModelQmlPlugin : public QQmlExtensionPlugin {
    Q_OBJECT
    Q_PLUGIN_METADATA(IID QQmlExtensionInterface_iid)
public:
    ModelQmlPlugin();
    void registerTypes(const char* uri) override;
};
