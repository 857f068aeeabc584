#include "ZEPHTreeModelExports.h"

#include "ZEPHTreeModel.h"
#include "ZEPHTreeModelWorker.h"

#include <QPointer>
#include <QThread>

// Gives the export functions access to the model's in-place destruction.
struct ZEPHTreeModelAccess {
    // Destroys the model in its owner thread and waits. When that thread no longer runs, nothing
    // else can touch the model, so it is emptied and destroyed here.
    static bool destroy(ZEPHTreeModel* model) {
        QPointer<QThread> owner = model->thread();
        if (QThread::currentThread() == owner) {
            delete model;
            return true;
        }
        const bool done = ZEPHTreeModelWorker::Invoke(model->m_worker.data(), [model](ZEPHTreeModelWorker*) {
            delete model;
            return true;
        });
        if (done) return true;
        if (owner && owner->isRunning()) return false;
        model->m_runInPlace = true;
        delete model;
        return true;
    }
};

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
    if (!ZEPHTreeModelAccess::destroy(zephModel)) return false;
    *model = nullptr;
    return true;
}
