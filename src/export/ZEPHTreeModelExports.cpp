#include "export/ZEPHTreeModelExports.h"

#include "model/ZEPHTreeModel.h"
#include "model/ZEPHTreeModelPrivate.h"
#include "model/ZEPHTreeModelWorker.h"

#include <QPointer>
#include <QThread>

namespace {
// Destroys the model in its owner thread and waits. When that thread no longer runs, nothing else can
// touch the model, so it is emptied and destroyed here.
bool destroyModel(ZEPHTreeModel* model) {
    QPointer<QThread> owner = model->thread();
    if (QThread::currentThread() == owner) {
        delete model;
        return true;
    }
    ZEPHTreeModelPrivate* d = ZEPHTreeModelPrivate::get(model);
    const bool done = ZEPHTreeModelWorker::Invoke(d->worker.data(), [model](ZEPHTreeModelWorker*) {
        delete model;
        return true;
    });
    if (done) return true;
    if (owner && owner->isRunning()) return false;
    d->runInPlace = true;
    delete model;
    return true;
}
} // namespace

extern "C" bool CreateZEPHTreeModel(IZEPHTreeModel** model, QObject* parent,
                                    const QHash<int, QByteArray>& roles, int flags,
                                    PF_DUPLICATE_HANDLER handler, PF_USER_FILTER filter) {
    if (!model) return false;
    try {
        *model = new ZEPHTreeModel(parent, roles, flags, handler, filter);
        return true;
    } catch (...) {
        return false;
    }
}

extern "C" bool DeleteZEPHTreeModel(IZEPHTreeModel** model) {
    if (!model || !*model) return false;
    auto* zephModel = dynamic_cast<ZEPHTreeModel*>(*model);
    if (!zephModel) {
        delete *model;
        *model = nullptr;
        return true;
    }
    if (!destroyModel(zephModel)) return false;
    *model = nullptr;
    return true;
}
