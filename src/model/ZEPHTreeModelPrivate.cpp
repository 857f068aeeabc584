#include "model/ZEPHTreeModelPrivate.h"

#include "model/ViewLink.h"
#include "model/ZEPHTreeModelWorker.h"

#include <QThread>

#include <typeinfo>

ZEPHTreeModelPrivate::ZEPHTreeModelPrivate(ZEPHTreeModel* model, int flags, PF_DUPLICATE_HANDLER handler,
                                           PF_USER_FILTER filter)
    : q_ptr(model), flags(flags), duplicateHandler(std::move(handler)), userFilter(std::move(filter)),
      rows(model) {}

ZEPHTreeModelPrivate::~ZEPHTreeModelPrivate() = default;

void ZEPHTreeModelPrivate::init() {
    Q_Q(ZEPHTreeModel);
    if (roles.isEmpty()) ZEPHTreeItem::GetRolesHash(roles, ZEPHTreeItem::WithoutJsonValueRole);
    makePartialModel();
    // The worker is a QObject child so that it follows the model into another thread.
    worker.reset(new ZEPHTreeModelWorker(q));
    worker->setParent(q);
}

ZEPHTreeModel* ZEPHTreeModelPrivate::modelOf(QObject* object) {
    return qobject_cast<ZEPHTreeModel*>(object);
}

bool ZEPHTreeModelPrivate::isOwnerThread() const {
    return runInPlace || QThread::currentThread() == q_func()->thread();
}

bool ZEPHTreeModelPrivate::forward(const std::function<bool(ZEPHTreeModelWorker*)>& call) {
    return ZEPHTreeModelWorker::Invoke(worker.data(), call);
}

int ZEPHTreeModelPrivate::roleForName(const QString& roleName) const {
    const QByteArray name = roleName.toLatin1();
    const QHash<int, QByteArray> roles = q_func()->roleNames();
    for (auto it = roles.cbegin(); it != roles.cend(); ++it) {
        if (it.value() == name) return it.key();
    }
    return 0;
}

// A plain model shows its item list. A subclass of a host may answer its rows otherwise, so its
// views ask it through the virtual lookups; the library's own views install their own link.
ViewLink* ZEPHTreeModelPrivate::viewLinkOf(ZEPHTreeModel* model) {
    if (!model) return nullptr;
    ZEPHTreeModelPrivate* d = get(model);
    if (!d->viewLink) {
        const ZEPHTreeModel& self = *model;
        d->viewLink.reset(new ViewLink(model, typeid(self) == typeid(ZEPHTreeModel)));
    }
    return d->viewLink.get();
}

void ZEPHTreeModelPrivate::setViewLink(ViewLink* link) {
    viewLink.reset(link);
}

// Called before rows leave without a removal announcement, while their items are still alive, so
// that the views made from this model (and theirs in turn) let go of them with their own signals.
void ZEPHTreeModelPrivate::tellViewsOfSilentDrop(const QList<ZEPHTreeItem*>& items) {
    if (viewLink) viewLink->tellSilentDrop(items);
}

void ZEPHTreeModelPrivate::appendRowSilently(ZEPHTreeItem* item) {
    if (!item || rows.isRow(item)) return;
    rows.place(rows.count(), &item, 1);
}
