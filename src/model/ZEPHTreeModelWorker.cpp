#include "model/ZEPHTreeModelWorker.h"

#include "model/ZEPHTreeModel.h"

#include <QSemaphore>
#include <QSharedPointer>
#include <QThread>

#include <atomic>

namespace {
struct CallState {
    QSemaphore done;
    std::atomic<bool> result{false};
};

// Releases the waiting caller when the posted call is destroyed: after it ran, or unrun when its
// receiver died first.
struct Completion {
    explicit Completion(QSharedPointer<CallState> s) : state(std::move(s)) {}
    ~Completion() { state->done.release(); }
    Completion(const Completion&) = delete;
    Completion& operator=(const Completion&) = delete;
    QSharedPointer<CallState> state;
};
} // namespace

ZEPHTreeModelWorker::ZEPHTreeModelWorker(ZEPHTreeModel* model) : m_model(model) {}

bool ZEPHTreeModelWorker::Invoke(ZEPHTreeModelWorker* worker,
                                 const std::function<bool(ZEPHTreeModelWorker*)>& call) {
    if (!worker) return false;
    QPointer<QThread> target = worker->thread();
    if (target == QThread::currentThread()) return call(worker);
    if (!target || !target->isRunning()) return false;
    auto state = QSharedPointer<CallState>::create();
    QSharedPointer<Completion> completion(new Completion(state));
    QPointer<ZEPHTreeModelWorker> guard(worker);
    const bool posted = QMetaObject::invokeMethod(
        worker,
        [guard, call, completion]() {
            if (guard) completion->state->result = call(guard.data());
        },
        Qt::QueuedConnection);
    completion.reset();
    if (!posted) return false;
    // Wait in slices so that an owner thread that ends without running the call cannot block the
    // caller forever. The posted call releases the semaphore when it is destroyed: after it ran,
    // or unrun when the worker died first.
    while (!state->done.tryAcquire(1, 20)) {
        if (!target || !target->isRunning()) return state->done.tryAcquire() && state->result;
    }
    return state->result;
}

QVariant ZEPHTreeModelWorker::ItemVariant(ZEPHTreeItem* item) {
    void* pointer = item;
    return QVariant(QMetaType::VoidStar, &pointer);
}

QVariantList ZEPHTreeModelWorker::ItemVariants(const QList<ZEPHTreeItem*>& items) {
    QVariantList variants;
    variants.reserve(items.size());
    for (ZEPHTreeItem* item : items)
        variants.append(ItemVariant(item));
    return variants;
}

ZEPHTreeItem* ZEPHTreeModelWorker::ItemOf(const QVariant& variant) {
    if (variant.userType() == QMetaType::VoidStar)
        return static_cast<ZEPHTreeItem*>(*static_cast<void* const*>(variant.constData()));
    QVariant converted(variant);
    if (!converted.convert(QMetaType::VoidStar)) return nullptr;
    return static_cast<ZEPHTreeItem*>(*static_cast<void* const*>(converted.constData()));
}

QList<ZEPHTreeItem*> ZEPHTreeModelWorker::ItemsOf(const QVariantList& variants) {
    QList<ZEPHTreeItem*> items;
    items.reserve(variants.size());
    for (const QVariant& variant : variants)
        items.append(ItemOf(variant));
    return items;
}

void ZEPHTreeModelWorker::MoveRow(int sourceRowIndex, int destinationRowIndex) {
    if (m_model) m_model->MoveRow(sourceRowIndex, destinationRowIndex);
}

bool ZEPHTreeModelWorker::AppendItem(QVariant item) {
    return m_model && m_model->AppendItem(ItemOf(item));
}

bool ZEPHTreeModelWorker::AppendItemsList(QVariantList itemList) {
    return m_model && m_model->AppendItemsList(ItemsOf(itemList));
}

bool ZEPHTreeModelWorker::ReplaceItemsList(QVariantList itemList) {
    return m_model && m_model->ReplaceItemsList(ItemsOf(itemList));
}

bool ZEPHTreeModelWorker::ReplaceItemsListEx(QVariantList itemList) {
    return m_model && m_model->ReplaceItemsListEx(ItemsOf(itemList));
}

void ZEPHTreeModelWorker::RemoveAll() {
    if (m_model) m_model->RemoveAll();
}

bool ZEPHTreeModelWorker::RemoveOne(QString id) {
    return m_model && m_model->RemoveOne(id);
}

bool ZEPHTreeModelWorker::Remove(int rowH, int rowT) {
    return m_model && m_model->Remove(rowH, rowT);
}

bool ZEPHTreeModelWorker::PrependItem(QVariant item) {
    return m_model && m_model->PrependItem(ItemOf(item));
}

bool ZEPHTreeModelWorker::PrependItemsList(QVariantList itemList) {
    return m_model && m_model->PrependItemsList(ItemsOf(itemList));
}

bool ZEPHTreeModelWorker::InsertItem(int row, QVariant item) {
    return m_model && m_model->InsertItem(row, ItemOf(item));
}

bool ZEPHTreeModelWorker::RemoveList(QStringList idList) {
    return m_model && m_model->Remove(idList);
}

void ZEPHTreeModelWorker::ClearAllSourceContainer() {
    if (m_model) m_model->ClearAllSourceContainer();
}
