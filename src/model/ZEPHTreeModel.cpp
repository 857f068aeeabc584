#include "model/ZEPHTreeModel.h"

#include "model/ZEPHTreeModelPrivate.h"
#include "model/ZEPHTreeModelWorker.h"

#include <QQmlEngine>
#include <QThread>

// One guard for the whole process: the constructors and the QML plugin all come here.
void ZEPHTreeModel::RegisterQmlType() {
    static const int typeId =
        qmlRegisterType<ZEPHTreeModel>("com.zephora.izephtreemodel", 1, 0, "IZEPHTreeModel");
    Q_UNUSED(typeId)
}

ZEPHTreeModel::ZEPHTreeModel(QObject* parent, const QHash<int, QByteArray>& roles, int flags,
                             PF_DUPLICATE_HANDLER handler, PF_USER_FILTER filter)
    : IZEPHTreeModel(parent),
      d_ptr(new ZEPHTreeModelPrivate(this, flags, std::move(handler), std::move(filter))) {
    Q_D(ZEPHTreeModel);
    RegisterQmlType();
    QQmlEngine::setObjectOwnership(this, (flags & ZEPHTreeModelPrivate::JavaScriptOwnershipFlag)
                                             ? QQmlEngine::JavaScriptOwnership
                                             : QQmlEngine::CppOwnership);
    d->roles = roles;
    d->init();
}

// QML creates models through this constructor; it gets the partial view and the worker as well, so
// that QML-made models support the window operations and calls from other threads.
ZEPHTreeModel::ZEPHTreeModel() : IZEPHTreeModel(nullptr), d_ptr(new ZEPHTreeModelPrivate(this, 0, {}, {})) {
    RegisterQmlType();
    d_func()->init();
}

ZEPHTreeModel::~ZEPHTreeModel() {
    Q_D(ZEPHTreeModel);
    if (!d->isOwnerThread() && (!thread() || !thread()->isRunning())) d->runInPlace = true;
    ZEPHTreeModel::RemoveAll();
    d->worker.reset();
    d->partialModel.reset();
}

// A list: rows have no children, so a valid parent has no rows (Qt's item-model contract, which
// proxies and tree views rely on).
int ZEPHTreeModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : d_func()->rows.count();
}

// Qt's item views ask for the display role: an item that has no value of its own for it shows its
// name, so that QListView and QTreeView show rows without a proxy.
QVariant ZEPHTreeModel::data(const QModelIndex& index, int role) const {
    const ZEPHTreeItem* item = d_func()->rows.itemAt(index.row());
    if (!item) return QVariant();
    QVariant value = item->getData(role);
    if (role == Qt::DisplayRole && !value.isValid()) return item->getData(int(ZEPHTreeItem::NameRole));
    return value;
}

QHash<int, QByteArray> ZEPHTreeModel::roleNames() const {
    return d_func()->roles;
}

QVariantMap ZEPHTreeModel::get(int index) {
    auto* item = qobject_cast<ZEPHTreeItem*>(FindItem(index));
    QVariantMap result;
    if (!item) return result;
    const QHash<int, QByteArray> roles = roleNames();
    for (auto it = roles.cbegin(); it != roles.cend(); ++it) {
        const QString name = QString::fromUtf8(it.value());
        result[name] = item->getData(name);
    }
    return result;
}

QList<ZEPHTreeItem*>* ZEPHTreeModel::GetModelItemList() {
    return d_func()->rows.list();
}

void ZEPHTreeModel::clear() {
    RemoveAll();
}

bool ZEPHTreeModel::UpdateFilterRules(QVariantList filterRules, bool orAllRules) {
    Q_UNUSED(filterRules)
    Q_UNUSED(orAllRules)
    return false;
}

bool ZEPHTreeModel::UpdateUserDefinedFilterRules(QVariant filterRules) {
    Q_UNUSED(filterRules)
    return false;
}

bool ZEPHTreeModel::UpdateGroupRole(const QString& roleName) {
    Q_UNUSED(roleName)
    return false;
}

bool ZEPHTreeModel::UpdateGroupRole(int role) {
    Q_UNUSED(role)
    return false;
}

int ZEPHTreeModel::page() const {
    return -1;
}

void ZEPHTreeModel::setPage(int page) {
    Q_UNUSED(page)
}

int ZEPHTreeModel::totalPage() const {
    return 0;
}

void ZEPHTreeModel::KeepSortingCheck() {
    Q_D(ZEPHTreeModel);
    if (d->keepSortingFlag() != None) SortByRules(d->keepSortingRules(), d->keepSortingFlag());
}
