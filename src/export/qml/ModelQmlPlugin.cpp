#include "ModelQmlPlugin.h"

#include <ZEPHTreeModel.h>

// Through the model's own guard, so that a host that has constructed a model already (which
// registers the type) does not register it twice.
void ModelQmlPlugin::registerTypes(const char* uri) {
    Q_UNUSED(uri)
    ZEPHTreeModel::RegisterQmlType();
}
