#include "ModelQmlPlugin.h"

#include "ModuleWarningFilter.h"

#include <ZEPHTreeModel.h>

ModelQmlPlugin::ModelQmlPlugin() {
    ModuleWarningFilter::begin("com.zephora.izephtreemodel");
}

// Through the model's own guard, so that a host that has constructed a model already (which
// registers the type) does not register it twice.
void ModelQmlPlugin::registerTypes(const char* uri) {
    Q_UNUSED(uri)
    ModuleWarningFilter::end();
    ZEPHTreeModel::RegisterQmlType();
}
