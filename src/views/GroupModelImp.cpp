#include "views/GroupModelImp.h"

#include <QSet>

#include <algorithm>
#include <utility>

GroupModelImp::GroupModelImp(ZEPHTreeModel* source, int role, bool keepSortWithSource)
    : ZEPHTreeModel(nullptr, source ? source->roleNames() : QHash<int, QByteArray>(),
                    ZEPHTreeModelPrivate::JavaScriptOwnershipFlag),
      m_source(source), m_keepSortWithSource(keepSortWithSource) {
    ZEPHTreeModelPrivate::get(this)->setViewLink(new ViewLink(this, true));
    if (!source) return;
    sourceLink()->addListener(this);
    connect(source, &QAbstractItemModel::modelAboutToBeReset, this, &GroupModelImp::onSourceAboutToBeReset);
    connect(source, &QAbstractItemModel::modelReset, this, &GroupModelImp::onSourceReset);
    connect(source, &QAbstractItemModel::dataChanged, this, &GroupModelImp::SourceModelDataChangedHandler);
    connect(source, &QAbstractItemModel::rowsInserted, this, &GroupModelImp::SourceModelItemAddedHandler);
    connect(source, &QAbstractItemModel::rowsAboutToBeRemoved, this,
            &GroupModelImp::onSourceRowsAboutToBeRemoved);
    connect(source, &QAbstractItemModel::rowsRemoved, this, &GroupModelImp::SourceModelItemRemovedHandler);
    connect(source, &ZEPHTreeModel::allItemRemoved, this, &GroupModelImp::SourceModelAllItemRemovedHandler);
    connect(source, &QAbstractItemModel::layoutAboutToBeChanged, this,
            &GroupModelImp::onSourceLayoutAboutToBeChanged);
    connect(source, &QAbstractItemModel::layoutChanged, this, &GroupModelImp::onSourceLayoutChanged);
    if (role != m_groupRole) regroup(role);
}

GroupModelImp::~GroupModelImp() {
    if (m_source) {
        disconnect(m_source, nullptr, this, nullptr);
        sourceLink()->removeListener(this);
    }
    forgetAllMembers();
}

bool GroupModelImp::UpdateGroupRole(const QString& roleName) {
    if (!m_source) return false;
    return UpdateGroupRole(sourceLink()->roleForName(roleName));
}

bool GroupModelImp::UpdateGroupRole(int role) {
    if (!m_source) return false;
    if (role != m_groupRole) regroup(role);
    return true;
}

QString GroupModelImp::groupValue(const ZEPHTreeItem* item) const {
    return item->getData(m_groupRole).toString();
}

// One pass over the source: groups in the order their values first occur, members in source order.
// The member models are filled before any group becomes a row, so nobody watches them yet and each
// takes its members in one list insertion.
void GroupModelImp::regroup(int role) {
    m_groupRole = role;
    RemoveAll();
    forgetAllMembers();
    m_deferredChanges.clear();
    if (!grouping()) return;
    QHash<QString, int> groupOf;
    QStringList values;
    QList<QList<ZEPHTreeItem*>> members;
    m_members.reserve(m_source->rowCount());
    for (int row = 0; row < m_source->rowCount(); ++row) {
        ZEPHTreeItem* item = sourceLink()->itemAt(row);
        if (!item || m_members.contains(item)) continue;
        const QString value = groupValue(item);
        auto group = groupOf.find(value);
        if (group == groupOf.end()) {
            group = groupOf.insert(value, values.size());
            values.append(value);
            members.append(QList<ZEPHTreeItem*>());
        }
        members[group.value()].append(item);
        track(item, value);
    }
    QList<ZEPHTreeItem*> groups;
    groups.reserve(values.size());
    for (int i = 0; i < values.size(); ++i) {
        MemberModel* memberModel = newMemberModel();
        memberModel->AppendItemsList(members.at(i));
        groups.append(new ZEPHTreeItem(values.at(i), values.at(i), memberModel));
    }
    AppendItemsList(groups);
}

// A member whose value or ID changed leaves its group and joins the group of its value as its last
// member. Listeners of the removal may change the source or regroup; then the record is gone or
// renewed, and the move ends there.
void GroupModelImp::follow(ZEPHTreeItem* item) {
    const QString value = groupValue(item);
    auto member = m_members.find(item);
    if (member != m_members.end()) {
        const QString id = item->ID();
        if (member->value == value && member->id == id) return;
        const Member previous = member.value();
        member->value = value;
        member->id = id;
        const quint64 generation = m_generation;
        takeFromGroup(previous);
        if (generation != m_generation || !m_members.contains(item)) return;
    }
    addToGroup(item, value);
}

void GroupModelImp::followRows(int first, int last) {
    const int count = m_source->rowCount();
    for (int row = qMax(first, 0); row <= last && row < count; ++row) {
        if (ZEPHTreeItem* item = sourceLink()->itemAt(row)) follow(item);
        if (!grouping()) return;
    }
    if (m_members.size() > m_source->rowCount()) dropDeparted();
}

// A new group is announced as the view's last row before its first member joins it.
void GroupModelImp::addToGroup(ZEPHTreeItem* item, const QString& value) {
    ZEPHTreeItem* group = groupItem(value);
    MemberModel* memberModel = memberModelOf(group);
    if (!group) {
        memberModel = newMemberModel();
        AppendItem(new ZEPHTreeItem(value, value, memberModel));
    } else if (!memberModel) {
        memberModel = newMemberModel();
        group->SetChildModel(memberModel);
    }
    memberModel->AppendItem(item);
    track(item, value);
}

void GroupModelImp::removeMember(const QObject* key) {
    auto found = m_members.find(key);
    if (found == m_members.end()) return;
    const Member member = found.value();
    m_members.erase(found);
    takeFromGroup(member);
}

// The member is found by identity: it may share its ID with another member, or have changed it.
void GroupModelImp::takeFromGroup(const Member& member) {
    ZEPHTreeItem* group = groupItem(member.value);
    MemberModel* memberModel = memberModelOf(group);
    if (!memberModel) return;
    memberModel->removeMember(member.item, member.id);
    if (memberModel->rowCount() == 0) RemoveOne(member.value);
}

ZEPHTreeItem* GroupModelImp::groupItem(const QString& value) const {
    return qobject_cast<ZEPHTreeItem*>(FindItem(value, false));
}

GroupModelImp::MemberModel* GroupModelImp::memberModelOf(const ZEPHTreeItem* group) const {
    return group ? dynamic_cast<MemberModel*>(group->ChildModel()) : nullptr;
}

// Member models share the source's items: disposing of a member model never disposes of them.
GroupModelImp::MemberModel* GroupModelImp::newMemberModel() {
    return new MemberModel(parent(), m_source->roleNames());
}

void GroupModelImp::track(ZEPHTreeItem* item, const QString& value) {
    Member& member = m_members[item];
    member.item = item;
    member.value = value;
    member.id = item->ID();
}

void GroupModelImp::forgetAllMembers() {
    ++m_generation;
    m_members.clear();
}

// The items leave the source right after this; members among them leave their groups now, while
// they are alive, after the views made from their member models were told in turn.
void GroupModelImp::sourceDropsSilently(const QList<ZEPHTreeItem*>& items) {
    if (!m_leaving.isEmpty()) {
        const QSet<ZEPHTreeItem*> dropped(items.cbegin(), items.cend());
        m_leaving.erase(std::remove_if(m_leaving.begin(), m_leaving.end(),
                                       [&dropped](ZEPHTreeItem* item) { return dropped.contains(item); }),
                        m_leaving.end());
    }
    QList<ZEPHTreeItem*> members;
    QStringList values;
    QHash<QString, QList<ZEPHTreeItem*>> byValue;
    for (ZEPHTreeItem* item : items) {
        const auto member = m_members.constFind(item);
        if (member == m_members.cend()) continue;
        members.append(item);
        QList<ZEPHTreeItem*>& inGroup = byValue[member->value];
        if (inGroup.isEmpty()) values.append(member->value);
        inGroup.append(item);
    }
    for (const QString& value : qAsConst(values)) {
        if (MemberModel* memberModel = memberModelOf(groupItem(value)))
            ZEPHTreeModelPrivate::viewLinkOf(memberModel)->tellSilentDrop(byValue.value(value));
    }
    for (ZEPHTreeItem* item : qAsConst(members))
        removeMember(item);
}

void GroupModelImp::dropDeparted() {
    if (!m_source) return;
    const auto isSourceRow = sourceLink()->rowTest();
    QList<const QObject*> departed;
    QSet<const QObject*> seen;
    const QList<ZEPHTreeItem*> groups = *GetModelItemList();
    for (ZEPHTreeItem* group : groups) {
        ZEPHTreeModel* memberModel = ZEPHTreeModelPrivate::modelOf(group->ChildModel());
        if (!memberModel) continue;
        for (ZEPHTreeItem* item : qAsConst(*memberModel->GetModelItemList())) {
            if (m_members.contains(item) && !isSourceRow(item) && !seen.contains(item)) {
                seen.insert(item);
                departed.append(item);
            }
        }
    }
    // Members that are no longer rows of a member model (removed there by hand) are forgotten too.
    for (const Member& member : qAsConst(m_members)) {
        if (!seen.contains(member.item) && !isSourceRow(member.item)) departed.append(member.item);
    }
    for (const QObject* key : qAsConst(departed))
        removeMember(key);
}

void GroupModelImp::reconcile() {
    dropDeparted();
    followRows(0, m_source->rowCount() - 1);
}

void GroupModelImp::SourceModelDataChangedHandler(const QModelIndex& topLeft,
                                                  const QModelIndex& bottomRight) {
    if (!grouping()) return;
    const int first = topLeft.row();
    const int last = bottomRight.row();
    if (first < 0 || last < 0) return;
    // Rows are regrouped only once the source has finished reordering, outside the layout change it
    // announced (and which this view passed on).
    if (m_sourceInLayout) {
        m_deferredChanges.append(qMakePair(first, last));
        return;
    }
    if (m_keepSortWithSource) {
        regroup(m_groupRole);
        return;
    }
    followRows(first, last);
}

void GroupModelImp::SourceModelItemAddedHandler(const QModelIndex& parent, int start, int end) {
    Q_UNUSED(parent)
    if (!grouping() || start < 0 || end < 0) return;
    if (m_keepSortWithSource) {
        regroup(m_groupRole);
        return;
    }
    followRows(start, end);
}

// The leaving items are noted while they are still rows; the removal handler drops those that the
// source no longer holds once the removal is complete.
void GroupModelImp::onSourceRowsAboutToBeRemoved(const QModelIndex& parent, int start, int end) {
    Q_UNUSED(parent)
    if (!grouping() || start < 0 || end < start) return;
    const int count = m_source->rowCount();
    for (int row = start; row <= end && row < count; ++row) {
        ZEPHTreeItem* item = sourceLink()->itemAt(row);
        if (item && m_members.contains(item)) m_leaving.append(item);
    }
}

void GroupModelImp::SourceModelItemRemovedHandler(const QModelIndex& parent, int start, int end) {
    Q_UNUSED(parent)
    const QList<ZEPHTreeItem*> leaving = std::exchange(m_leaving, QList<ZEPHTreeItem*>());
    if (!grouping() || start < 0 || end < 0 || start > end) return;
    const auto isSourceRow = sourceLink()->rowTest();
    for (ZEPHTreeItem* item : leaving) {
        if (m_members.contains(item) && !isSourceRow(item)) removeMember(item);
    }
    if (m_source && m_members.size() > m_source->rowCount()) dropDeparted();
}

void GroupModelImp::SourceModelAllItemRemovedHandler() {
    if (!grouping()) return;
    RemoveAll();
    forgetAllMembers();
}

void GroupModelImp::onSourceAboutToBeReset() {
    beginResetModel();
}

// The reset is passed on; then the groups catch up with rows that came or went, keeping the
// groups and member models that stay (also when keeping the source's order).
void GroupModelImp::onSourceReset() {
    endResetModel();
    if (grouping()) reconcile();
}

void GroupModelImp::onSourceLayoutAboutToBeChanged() {
    m_sourceInLayout = true;
    emit layoutAboutToBeChanged();
}

// The layout change is passed on. A data change that came inside it (a sort's) regroups once now,
// when keeping the source's order; otherwise the groups catch up with the source's rows.
void GroupModelImp::onSourceLayoutChanged() {
    m_sourceInLayout = false;
    emit layoutChanged();
    const QVector<QPair<int, int>> deferred = std::exchange(m_deferredChanges, QVector<QPair<int, int>>());
    if (!grouping()) return;
    if (m_keepSortWithSource && !deferred.isEmpty())
        regroup(m_groupRole);
    else
        reconcile();
}

GroupModelImp::MemberModel::MemberModel(QObject* parent, const QHash<int, QByteArray>& roles)
    : ZEPHTreeModel(parent, roles, ZEPHTreeModelPrivate::SharedItemsFlag) {
    ZEPHTreeModelPrivate::get(this)->setViewLink(new ViewLink(this, true));
}

void GroupModelImp::MemberModel::removeMember(ZEPHTreeItem* item, const QString& id) {
    if (!ZEPHTreeModelPrivate::get(this)->rows.isRow(item)) return;
    RemoveOne(item);
    emit itemsRemoved(QStringList{id});
    emit rowCountChanged();
}
