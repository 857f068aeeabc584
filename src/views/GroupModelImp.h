#pragma once

#include "model/ViewLink.h"
#include "model/ZEPHTreeModel.h"
#include "model/ZEPHTreeModelPrivate.h"

#include <QHash>
#include <QPair>
#include <QPointer>
#include <QVector>

// A live view with one row per distinct value of a role of its source. Each row is a group item whose
// ID and name are the value and whose child model (a member model) holds the source's own items with
// that value. Members are followed by identity, so no change of the source's row numbers can make a
// member model keep an item that the source removed or deleted.
class GroupModelImp : public ZEPHTreeModel, private SourceListener {
    Q_OBJECT
public:
    /// A view of `source` grouped by `role` (-1: not grouped until UpdateGroupRole). With
    /// `keepSortWithSource` data changes and insertions rebuild every group in the source's order.
    GroupModelImp(ZEPHTreeModel* source, int role, bool keepSortWithSource);
    ~GroupModelImp() override;

    /// Regroups by the role named `roleName` in the source's role table (0 when unknown).
    bool UpdateGroupRole(const QString& roleName) override;
    /// Regroups by `role` when it differs from the current one; false without a source.
    bool UpdateGroupRole(int role) override;

public slots:
    void SourceModelDataChangedHandler(const QModelIndex& topLeft, const QModelIndex& bottomRight);
    void SourceModelItemAddedHandler(const QModelIndex& parent, int start, int end);
    void SourceModelItemRemovedHandler(const QModelIndex& parent, int start, int end);
    void SourceModelAllItemRemovedHandler();

private:
    // A group's member model: a plain model of shared items to everyone else.
    class MemberModel : public ZEPHTreeModel {
    public:
        MemberModel(QObject* parent, const QHash<int, QByteArray>& roles);
        /// Removes a member by identity with the signals of RemoveOne(id).
        void removeMember(ZEPHTreeItem* item, const QString& id);
    };

    // What the view knows of one member: the item, and its group value and ID when last seen.
    struct Member {
        ZEPHTreeItem* item = nullptr;
        QString value;
        QString id;
    };

    bool grouping() const { return m_source && m_groupRole != -1; }
    QString groupValue(const ZEPHTreeItem* item) const;
    void regroup(int role);
    /// Puts `item` into the group of its current value, moving it when its group changed.
    void follow(ZEPHTreeItem* item);
    void followRows(int first, int last);
    void addToGroup(ZEPHTreeItem* item, const QString& value);
    /// Takes the member out of its group (the group goes when it empties) and forgets it.
    void removeMember(const QObject* key);
    void takeFromGroup(const Member& member);
    MemberModel* memberModelOf(const ZEPHTreeItem* group) const;
    ZEPHTreeItem* groupItem(const QString& value) const;
    MemberModel* newMemberModel();
    void track(ZEPHTreeItem* item, const QString& value);
    void forgetAllMembers();
    void onSourceRowsAboutToBeRemoved(const QModelIndex& parent, int start, int end);
    void onSourceAboutToBeReset();
    void onSourceReset();
    void onSourceLayoutAboutToBeChanged();
    void onSourceLayoutChanged();
    ViewLink* sourceLink() const { return ZEPHTreeModelPrivate::viewLinkOf(m_source.data()); }
    /// Member models pass the notice on to the views made from them, then the members go.
    void sourceDropsSilently(const QList<ZEPHTreeItem*>& items) override;
    /// Drops members that are no longer rows of the source, in group and member order.
    void dropDeparted();
    /// After changes the source did not announce row by row: drops departed members and follows every
    /// source row (new members join as last members, new groups as last rows).
    void reconcile();

    QPointer<ZEPHTreeModel> m_source;
    bool m_keepSortWithSource = false;
    int m_groupRole = -1;
    QHash<const QObject*, Member> m_members;
    // Counts the times every member was forgotten (regroups), so that a move interrupted by one ends.
    quint64 m_generation = 0;
    // Items announced as leaving the source, held until the removal is complete.
    QList<ZEPHTreeItem*> m_leaving;
    // Data changes that arrive while the source reorders itself, handled after its layoutChanged.
    bool m_sourceInLayout = false;
    QVector<QPair<int, int>> m_deferredChanges;
};
