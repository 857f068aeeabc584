#pragma once

#include <ZEPHTreeModel.h>

#include <QList>
#include <QPointer>
#include <QString>

// Builds items and trees from short strings and reads them back.
//   "A B C"        three items with IDs (and names) A, B, C
//   "A:x B:y"      IDs A and B with the names x and y
//   "A[B C] D"     A carries a child model holding B and C
namespace tree {

/// The items described by `shape`; child models are new models made with `childFlags`.
QList<ZEPHTreeItem*> items(const QString& shape, int childFlags = 0);
/// Appends the items described by `shape` to `model`.
void fill(ZEPHTreeModel* model, const QString& shape, int childFlags = 0);
/// A new parentless model with the default roles, `flags`, filled from `shape`.
ZEPHTreeModel* make(const QString& shape, int flags = 0);
/// The IDs of the model's rows, space separated ("A B").
QString ids(const QObject* model);
/// The model as a tree string ("A[B C] D"), read through FindItem(row) and each ChildModel().
QString dump(const QObject* model);
/// The item at `row`, read through FindItem(row).
ZEPHTreeItem* at(const QObject* model, int row);
/// The items found by these IDs (space separated; child models searched too), in that order.
QList<ZEPHTreeItem*> found(ZEPHTreeModel* model, const QString& ids);

/// Runs a script of operations separated by ";" ("append X; move 0 1") and answers the last one's
/// result (true for operations without one). The model, view and stress tests share these
/// verbs: add new ones freely, but keep these as they are. Each verb and the operation it calls:
///   append <item>, prepend <item>            AppendItem, PrependItem
///   insert <row> <item>                      InsertItem
///   appendList, prependList <items>          AppendItemsList, PrependItemsList
///   replace, replaceEx <items>               ReplaceItemsList, ReplaceItemsListEx
///   removeOne <ID>                           RemoveOne
///   removeIds <IDs>                          Remove(QStringList), IDs space separated
///   removeRows <first> <last>                Remove(int, int)
///   removeAll, clearAll                      RemoveAll, ClearAllSourceContainer
///   move <from> <to>                         MoveRow
///   name <ID> [<name>], id <ID> <new ID>     SetName, SetID of that item (no name: an empty one)
///   link <ID> <ID2>, link <ID> .             SetChildModel: ID2's child model, or the model itself
/// Items are written as in a shape: new items ("A:x[B]"), "~" a null entry, "=" the entry before
/// once more (the same pointer), and "@A" the item that the model finds by ID A (FindItem(A, true),
/// else its first row with that ID). The new items it hands over are added to `passed`.
bool run(ZEPHTreeModel* model, const QString& script, QList<QPointer<ZEPHTreeItem>>* passed = nullptr);
/// Delivers deferred deletions, `rounds` times (child models release their items in turn).
void flushDeletes(int rounds = 1);

} // namespace tree
