#include "ZEPHTreeModel.h"

#include "IdIndex.h"
#include "PartialModel.h"
#include "RowTable.h"
#include "ViewLink.h"
#include "ZEPHTreeModelWorker.h"

#include <QQmlEngine>
#include <QThread>

#include <typeinfo>

// One guard for the whole process: the constructors and the QML plugin all come here.
void ZEPHTreeModel::RegisterQmlType() {
    static const int typeId =
        qmlRegisterType<ZEPHTreeModel>("com.zephora.izephtreemodel", 1, 0, "IZEPHTreeModel");
    Q_UNUSED(typeId)
}

ZEPHTreeModel::ZEPHTreeModel(QObject* parent, const QHash<int, QByteArray>& roles, int flags,
                             PF_DUPLICATE_HANDLER handler, PF_USER_FILTER filter)
    : IZEPHTreeModel(parent), m_flags(flags), m_duplicateHandler(std::move(handler)),
      m_userFilter(std::move(filter)) {
    RegisterQmlType();
    QQmlEngine::setObjectOwnership(this, (m_flags & JavaScriptOwnershipFlag) ? QQmlEngine::JavaScriptOwnership
                                                                             : QQmlEngine::CppOwnership);
    m_roles = roles;
    init();
}

// QML creates models through this constructor; it gets the partial view and the worker as well, so
// that QML-made models support the window operations and calls from other threads.
ZEPHTreeModel::ZEPHTreeModel() : IZEPHTreeModel(nullptr) {
    RegisterQmlType();
    init();
}

void ZEPHTreeModel::init() {
    m_rows.reset(new RowTable);
    m_idIndex.reset(new IdIndex);
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

// Qt's item views ask for the display role: an item that has no value of its own for it shows its
// name, so that QListView and QTreeView show rows without a proxy.
QVariant ZEPHTreeModel::data(const QModelIndex& index, int role) const {
    const int row = index.row();
    if (row < 0 || row >= m_items.size()) return QVariant();
    const ZEPHTreeItem* item = m_items.at(row);
    QVariant value = item->getData(role);
    if (role == Qt::DisplayRole && !value.isValid()) return item->getData(int(ZEPHTreeItem::NameRole));
    return value;
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

// A plain model shows its item list. A subclass of a host may answer its rows otherwise, so its
// views ask it through the virtual lookups; the library's own views install their own link.
ViewLink* ZEPHTreeModel::viewLinkOf(ZEPHTreeModel* model) {
    if (!model) return nullptr;
    if (!model->m_viewLink) {
        const ZEPHTreeModel& self = *model;
        model->m_viewLink.reset(new ViewLink(model, typeid(self) == typeid(ZEPHTreeModel)));
    }
    return model->m_viewLink.get();
}

void ZEPHTreeModel::setViewLink(ViewLink* link) {
    m_viewLink.reset(link);
}

// Called before rows leave without a removal announcement, while their items are still alive, so
// that the views made from this model (and theirs in turn) let go of them with their own signals.
void ZEPHTreeModel::tellViewsOfSilentDrop(const QList<ZEPHTreeItem*>& items) {
    if (m_viewLink) m_viewLink->tellSilentDrop(items);
}

// Row bookkeeping ------------------------------------------------------------------------------

bool ZEPHTreeModel::hasRow(const ZEPHTreeItem* item) const {
    return m_rows->contains(item);
}

int ZEPHTreeModel::rowOf(const ZEPHTreeItem* item) const {
    RowTable::Record* info = m_rows->find(item);
    if (!info) return -1;
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
        if (distance > 64)
            const_cast<ZEPHTreeModel*>(this)->refreshRowHints(qMin(m_staleFrom, qMin(hint, found)));
        else
            info->rowHint = found - m_hintBase;
        return found;
    }
    return -1;
}

void ZEPHTreeModel::refreshRowHints(int from) {
    if (from == 0) m_hintBase = 0;
    for (int row = from; row < m_items.size(); ++row) {
        if (RowTable::Record* info = m_rows->find(m_items.at(row))) info->rowHint = row - m_hintBase;
    }
    if (from <= m_staleFrom) m_staleFrom = INT_MAX;
}

// Rows from `row` on (numbered after the change) moved by `delta`. After a change at the head the
// hint base moves every hint at once; after one in the middle the rows behind it are marked as
// drifted, so that the next refresh starts there (most changes happen near the tail).
void ZEPHTreeModel::noteShift(int row, int delta) {
    if (row == 0) {
        m_hintBase += delta;
        if (m_staleFrom != INT_MAX) m_staleFrom = qMax(0, m_staleFrom + delta);
        return;
    }
    m_staleFrom = qMin(m_staleFrom, row);
}

void ZEPHTreeModel::fileItem(ZEPHTreeItem* item) {
    RowTable::Record* info = m_rows->find(item);
    if (!info) return;
    const QString id = item->ID();
    if (info->filed && info->filedId != id) unfileItem(item);
    ZEPHTreeItem*& entry = m_idIndex->entryFor(id);
    if (entry && entry != item) {
        // The ID now leads to this item; the earlier holder is no longer found by ID.
        if (RowTable::Record* previous = m_rows->find(entry)) previous->filed = false;
    }
    entry = item;
    info->filed = true;
    info->filedId = id;
}

void ZEPHTreeModel::unfileItem(const ZEPHTreeItem* item) {
    RowTable::Record* info = m_rows->find(item);
    if (!info || !info->filed) return;
    m_idIndex->removeIfLeadsTo(info->filedId, item);
    info->filed = false;
}

// Takes the record of an item that stops being a row and keeps its value-change connection for a
// return. Returns whether the ID index still files the item, and under which ID.
bool ZEPHTreeModel::forgetRow(const ZEPHTreeItem* item, QString* filedId) {
    RowTable::Record record = m_rows->take(item);
    keepValueConnection(item, std::move(record.connection));
    if (filedId) *filedId = record.filedId;
    return record.filed;
}

void ZEPHTreeModel::dropAllRows() {
    if (!m_releasing) {
        for (RowTable::Record& record : *m_rows)
            keepValueConnection(record.item, std::move(record.connection));
    }
    m_items.clear();
    m_idIndex->clear();
    m_rows->clear();
    m_hintBase = 0;
    m_staleFrom = INT_MAX;
    m_hasSilentRows = false;
}

// The value-change connection: a change inside the item becomes dataChanged for its row. Each item
// gets a functor that knows the item, because QObject::sender() (what EmitValueChange() reads)
// walks every connection into the model, which would make one change cost a scan of all rows. An
// item that comes back after a stay gets its earlier connection back, so there is one connection
// per item and model however often it returns.
QMetaObject::Connection ZEPHTreeModel::valueConnectionFor(ZEPHTreeItem* item) {
    if (!m_keptConnections.isEmpty()) {
        auto kept = m_keptConnections.find(item);
        if (kept != m_keptConnections.end()) {
            QMetaObject::Connection connection = std::move(*kept);
            m_keptConnections.erase(kept);
            if (connection) return connection;
        }
    }
    return connect(item, &ZEPHTreeItem::valueChanged, this, [this, item] {
        const QModelIndex changed = index(rowOf(item), 0, QModelIndex());
        if (changed.isValid()) emit dataChanged(changed, changed, QVector<int>());
    });
}

void ZEPHTreeModel::keepValueConnection(const ZEPHTreeItem* item, QMetaObject::Connection connection) {
    if (!connection) return;
    m_keptConnections.insert(item, std::move(connection));
    if (m_keptConnections.size() > 2 * m_keptConnectionsAfterSweep + 64) {
        for (auto it = m_keptConnections.begin(); it != m_keptConnections.end();)
            it = *it ? std::next(it) : m_keptConnections.erase(it);
        m_keptConnectionsAfterSweep = m_keptConnections.size();
    }
}

// True when a value change of the row `item` reaches this model (rows brought in by
// ReplaceItemsListEx have no connection of their own).
bool ZEPHTreeModel::announcesChangesOf(const ZEPHTreeItem* item) const {
    // Every row inserted otherwise is connected.
    if (!m_hasSilentRows) return true;
    const RowTable::Record* info = m_rows->find(item);
    if (info && info->connection) return true;
    const auto kept = m_keptConnections.constFind(item);
    return kept != m_keptConnections.cend() && *kept;
}

// Forgets the connection of an item being disposed of (disposal disconnects or deletes it).
void ZEPHTreeModel::dropValueConnection(const ZEPHTreeItem* item) {
    if (RowTable::Record* info = m_rows->find(item)) info->connection = QMetaObject::Connection();
    if (!m_keptConnections.isEmpty()) m_keptConnections.remove(item);
}

void ZEPHTreeModel::appendRowSilently(ZEPHTreeItem* item) {
    if (!item || hasRow(item)) return;
    placeRows(m_items.size(), &item, 1);
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
        if (previous.at(row) == item) continue;
        if ((row > 0 && previous.at(row - 1) == item) || (row + 1 < count && previous.at(row + 1) == item)) {
            m_staleFrom = qMin(m_staleFrom, row);
            continue;
        }
        if (RowTable::Record* info = m_rows->find(item)) info->rowHint = row - m_hintBase;
    }
}
