#include "ZEPHTreeModel.h"

#include "PartialModel.h"
#include "ZEPHTreeModelWorker.h"

#include <QQmlEngine>
#include <QThread>

namespace {
int registerModelType() {
    return qmlRegisterType<ZEPHTreeModel>("com.zephora.izephtreemodel", 1, 0, "IZEPHTreeModel");
}
} // namespace

ZEPHTreeModel::ZEPHTreeModel(QObject* parent, const QHash<int, QByteArray>& roles, int flags,
                             PF_DUPLICATE_HANDLER handler, PF_USER_FILTER filter)
    : IZEPHTreeModel(parent), m_flags(flags), m_duplicateHandler(std::move(handler)),
      m_userFilter(std::move(filter)) {
    static const int typeId = registerModelType();
    Q_UNUSED(typeId)
    QQmlEngine::setObjectOwnership(this, (m_flags & JavaScriptOwnershipFlag) ? QQmlEngine::JavaScriptOwnership
                                                                             : QQmlEngine::CppOwnership);
    m_roles = roles;
    init();
}

// QML creates models through this constructor; it gets the partial view and the worker as well, so
// that QML-made models support the window operations and calls from other threads.
ZEPHTreeModel::ZEPHTreeModel() : IZEPHTreeModel(nullptr) {
    static const int typeId = registerModelType();
    Q_UNUSED(typeId)
    init();
}

void ZEPHTreeModel::init() {
    if (m_roles.isEmpty()) ZEPHTreeItem::GetRolesHash(m_roles, ZEPHTreeItem::WithoutJsonValueRole);
    m_partialModel.reset(new PartialModel(this, this));
    QQmlEngine::setObjectOwnership(m_partialModel.data(), QQmlEngine::CppOwnership);
    // The worker is a QObject child so that it follows the model into another thread.
    m_worker.reset(new ZEPHTreeModelWorker(this));
    m_worker->setParent(this);
}

ZEPHTreeModel::~ZEPHTreeModel() {
    if (!isOwnerThread() && (!thread() || !thread()->isRunning())) m_runInPlace = true;
    ZEPHTreeModel::RemoveAll();
    m_keepSortingRules.clear();
    m_worker.reset();
    m_partialModel.reset();
}

bool ZEPHTreeModel::isOwnerThread() const {
    return m_runInPlace || QThread::currentThread() == thread();
}

bool ZEPHTreeModel::forward(const std::function<bool(ZEPHTreeModelWorker*)>& call) {
    return ZEPHTreeModelWorker::Invoke(m_worker.data(), call);
}

// A list: rows have no children, so a valid parent has no rows (Qt's item-model contract, which
// proxies and tree views rely on).
int ZEPHTreeModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : m_items.size();
}

QVariant ZEPHTreeModel::data(const QModelIndex& index, int role) const {
    const int row = index.row();
    if (row < 0 || row >= m_items.size()) return QVariant();
    return m_items.at(row)->getData(role);
}

QHash<int, QByteArray> ZEPHTreeModel::roleNames() const {
    return m_roles;
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
    return &m_items;
}

void ZEPHTreeModel::clear() {
    RemoveAll();
}

int ZEPHTreeModel::FirstPartialModelRow() const {
    return m_partialModel ? m_partialModel->firstRow() : 0;
}

void ZEPHTreeModel::SetFirstPartialModelRow(int row) {
    if (m_partialModel) m_partialModel->setFirstRow(row);
    emit firstPartialModelRowChanged();
}

void ZEPHTreeModel::SetPartialModelCount(int count) {
    if (m_partialModel) m_partialModel->setWindowSize(count);
}

QObject* ZEPHTreeModel::GetPartialModel(int count) {
    SetPartialModelCount(count);
    return m_partialModel.data();
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
    if (m_keepSortingFlag != None) SortByRules(m_keepSortingRules, m_keepSortingFlag);
}

void ZEPHTreeModel::setKeepSorting(int flag, const QVariantList& rules) {
    m_keepSortingFlag = flag;
    // The stored list is often passed back in; assigning it to itself is harmless with Qt's
    // implicitly shared lists.
    m_keepSortingRules = rules;
}

ZEPHTreeModel* ZEPHTreeModel::modelOf(QObject* object) {
    return qobject_cast<ZEPHTreeModel*>(object);
}

int ZEPHTreeModel::roleForName(const QString& roleName) const {
    const QByteArray name = roleName.toLatin1();
    const QHash<int, QByteArray> roles = roleNames();
    for (auto it = roles.cbegin(); it != roles.cend(); ++it) {
        if (it.value() == name) return it.key();
    }
    return 0;
}

// Row bookkeeping ------------------------------------------------------------------------------

int ZEPHTreeModel::rowOf(const ZEPHTreeItem* item) const {
    auto info = m_rows.find(item);
    if (info == m_rows.end()) return -1;
    const int count = m_items.size();
    if (count == 0) return -1;
    const int hint = qBound(0, info->rowHint + m_hintBase, count - 1);
    if (m_items.at(hint) == item) return hint;
    // Rows shift by the number of insertions and removals in front of them (other than at the
    // head, which the hint base follows), so search outward from the last known row. A long search
    // means that many rows drifted: then every hint is brought up to date at once.
    for (int distance = 1; hint - distance >= 0 || hint + distance < count; ++distance) {
        int found = -1;
        if (hint + distance < count && m_items.at(hint + distance) == item)
            found = hint + distance;
        else if (hint - distance >= 0 && m_items.at(hint - distance) == item)
            found = hint - distance;
        if (found < 0) continue;
        auto* self = const_cast<ZEPHTreeModel*>(this);
        if (distance > 64)
            self->refreshRowHints();
        else
            self->m_rows[item].rowHint = found - m_hintBase;
        return found;
    }
    return -1;
}

void ZEPHTreeModel::refreshRowHints(int from) {
    if (from == 0) m_hintBase = 0;
    for (int row = from; row < m_items.size(); ++row) {
        auto info = m_rows.find(m_items.at(row));
        if (info != m_rows.end()) info->rowHint = row - m_hintBase;
    }
}

void ZEPHTreeModel::fileItem(ZEPHTreeItem* item) {
    auto info = m_rows.find(item);
    if (info == m_rows.end()) return;
    const QString id = item->ID();
    if (info->filed && info->filedId != id) unfileItem(item);
    auto entry = m_idIndex.find(id);
    if (entry != m_idIndex.end() && entry.value() != item) {
        // The ID now leads to this item; the earlier holder is no longer found by ID.
        auto previous = m_rows.find(entry.value());
        if (previous != m_rows.end()) previous->filed = false;
    }
    m_idIndex.insert(id, item);
    info->filed = true;
    info->filedId = id;
}

void ZEPHTreeModel::unfileItem(const ZEPHTreeItem* item) {
    auto info = m_rows.find(item);
    if (info == m_rows.end() || !info->filed) return;
    auto entry = m_idIndex.find(info->filedId);
    if (entry != m_idIndex.end() && entry.value() == item) m_idIndex.erase(entry);
    info->filed = false;
}

void ZEPHTreeModel::dropAllRows() {
    m_items.clear();
    m_idIndex.clear();
    m_rows.clear();
    m_hintBase = 0;
}

// The value-change connection: a change inside the item becomes dataChanged for its row. Each item
// gets a functor that knows the item, because QObject::sender() (what EmitValueChange() reads)
// walks every connection into the model, which would make one change cost a scan of all rows. The
// handles kept per item make it one connection per item and model, however often the item comes
// back.
void ZEPHTreeModel::connectValueChange(ZEPHTreeItem* item) {
    auto existing = m_valueConnections.find(item);
    if (existing != m_valueConnections.end() && *existing) return;
    const QMetaObject::Connection connection = connect(item, &ZEPHTreeItem::valueChanged, this, [this, item] {
        const QModelIndex changed = index(rowOf(item), 0, QModelIndex());
        if (changed.isValid()) emit dataChanged(changed, changed, QVector<int>());
    });
    if (existing != m_valueConnections.end()) {
        *existing = connection;
        return;
    }
    m_valueConnections.insert(item, connection);
    if (m_valueConnections.size() > 2 * m_valueConnectionsAfterSweep + 64) {
        for (auto it = m_valueConnections.begin(); it != m_valueConnections.end();)
            it = *it ? std::next(it) : m_valueConnections.erase(it);
        m_valueConnectionsAfterSweep = m_valueConnections.size();
    }
}

void ZEPHTreeModel::appendRowSilently(ZEPHTreeItem* item) {
    if (!item || hasRow(item)) return;
    connectValueChange(item);
    RowInfo& info = m_rows[item];
    info.rowHint = m_items.size() - m_hintBase;
    m_items.append(item);
    fileItem(item);
}

// Hints only guide rowOf(), which finds an item one row off its hint at the first step: only items
// that moved further get a new hint. A re-sort after an insertion moves most rows by one at most.
void ZEPHTreeModel::setRowOrder(QList<ZEPHTreeItem*> items) {
    const QList<ZEPHTreeItem*> previous = m_items;
    m_items = std::move(items);
    const int count = m_items.size();
    if (previous.size() != count) {
        refreshRowHints();
        return;
    }
    for (int row = 0; row < count; ++row) {
        const ZEPHTreeItem* item = m_items.at(row);
        if (previous.at(row) == item || (row > 0 && previous.at(row - 1) == item) ||
            (row + 1 < count && previous.at(row + 1) == item))
            continue;
        auto info = m_rows.find(item);
        if (info != m_rows.end()) info->rowHint = row - m_hintBase;
    }
}
