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
/// As items(), with "~" standing for a null entry.
QList<ZEPHTreeItem*> listOf(const QString& shape);
/// Appends the items described by `shape` to `model`.
void fill(ZEPHTreeModel* model, const QString& shape, int childFlags = 0);
/// A new parentless model with the default roles, `flags`, filled from `shape`.
ZEPHTreeModel* make(const QString& shape, int flags = 0);
/// The IDs of the model's rows, space separated ("A B").
QString ids(const QObject* model);
/// The names of the model's rows, space separated.
QString names(const QObject* model);
/// The model as a tree string ("A[B C] D"), read through FindItem(row) and each ChildModel().
QString dump(const QObject* model);
/// The item list of the model as "ID", or "ID:name" where the name differs from the ID.
QString rows(ZEPHTreeModel* model);
/// The item at `row`, read through FindItem(row).
ZEPHTreeItem* at(const QObject* model, int row);
/// The items found by these IDs (space separated; child models searched too), in that order.
QList<ZEPHTreeItem*> found(ZEPHTreeModel* model, const QString& ids);
/// Runs one operation written "<verb> <arguments>" and answers its result (true for operations
/// without one): append/prepend <shape>, insert <row> <shape>, appendList/prependList/replace/
/// replaceEx <shape> ("~" a null entry), replaceOwn/replaceExOwn <IDs>, appendRow/prependRow <row>
/// and insertRow <at> <row> (a row of the model handed over again), removeOne <ID>, removeIds <IDs>,
/// removeRows <first> <last>, removeAll, clear, clearAll, move <from> <to>. The new items it hands
/// over are added to `passed`.
bool run(ZEPHTreeModel* model, const QString& op, QList<QPointer<ZEPHTreeItem>>* passed = nullptr);
/// Delivers deferred deletions, `rounds` times (child models release their items in turn).
void flushDeletes(int rounds = 1);

} // namespace tree
