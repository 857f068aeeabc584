#include "ZEPHTreeModelExports.h"

#include "ZEPHTreeModel.h"
#include "ZEPHTreeModelWorker.h"

#include <QThread>

// Gives the export functions access to the model's in-place destruction.
struct ZEPHTreeModelAccess {
    static bool destroy(ZEPHTreeModel* model) {
        QThread* owner = model->thread();
        if (QThread::currentThread() == owner) {
            delete model;
            return true;
        }
        // Destroy the model in its owner thread and wait; when that thread is gone, destroy it here.
        ZEPHTreeModelWorker* worker = model->m_worker.data();
        const bool done = ZEPHTreeModelWorker::Invoke(worker, [model](ZEPHTreeModelWorker*) {
            delete model;
            return true;
        });
        if (!done && (!owner || owner->isFinished())) {
            model->m_runInPlace = true;
            delete model;
            return true;
        }
        return done;
    }
};

extern "C" bool CreateZEPHTreeModel(IZEPHTreeModel** model, QObject* parent, const QHash<int, QByteArray>& roles,
                                    int flags, PF_DUPLICATE_HANDLER handler, PF_USER_FILTER filter) {
    if (!model)
        return false;
    try {
        *model = new ZEPHTreeModel(parent, roles, flags, handler, filter);
        return true;
    } catch (...) {
        return false;
    }
}

extern "C" bool DeleteZEPHTreeModel(IZEPHTreeModel** model) {
    if (!model || !*model)
        return false;
    auto* zephModel = dynamic_cast<ZEPHTreeModel*>(*model);
    if (!zephModel) {
        delete *model;
        *model = nullptr;
        return true;
    }
    if (!ZEPHTreeModelAccess::destroy(zephModel))
        return false;
    *model = nullptr;
    return true;
}
