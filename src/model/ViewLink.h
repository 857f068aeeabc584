#pragma once

#include <QList>
#include <QString>
#include <QVector>

#include <functional>

class RowStore;
class ZEPHTreeItem;
class ZEPHTreeModel;

// A view made from a model, told by that model before it deletes or drops rows whose removal it
// never announced. The items are still alive during the call.
class SourceListener {
public:
    /// `items` stop being rows of the source, or are deleted, right after this call, without
    /// removal signals. Some of them may not concern the listener.
    virtual void sourceDropsSilently(const QList<ZEPHTreeItem*>& items) = 0;

protected:
    ~SourceListener() = default;
};

// What the views made from a model ask of it besides the model interface: which item a row shows,
// whether an item is one of its rows, and whom to tell before rows leave silently. A model whose
// rows are not its own item list (a paging view shows rows of its source) answers with a ViewLink
// of its own; every other model answers from its item list and row table.
class ViewLink {
public:
    /// `rowsInList`: the model shows its own item list, so the row questions are answered there;
    /// otherwise they go through the model's virtual row lookups.
    ViewLink(ZEPHTreeModel* model, bool rowsInList);
    virtual ~ViewLink();
    ViewLink(const ViewLink&) = delete;
    ViewLink& operator=(const ViewLink&) = delete;

    /// The model's own item list when it shows that list, else null (then ask itemAt()). The rows
    /// of a long walk are read from it without a call per row.
    const QList<ZEPHTreeItem*>* rowList() const;
    /// The item shown at `row`, or null.
    virtual ZEPHTreeItem* itemAt(int row) const;
    /// The row showing `item`, or -1.
    virtual int rowOf(const ZEPHTreeItem* item) const;
    /// True when `item` is one of the rows shown now.
    virtual bool isRow(const ZEPHTreeItem* item) const;
    /// True when isRow() is a lookup; false when it walks the rows.
    virtual bool knowsRowsAtOnce() const { return m_rowsInList; }
    /// True when the rows may show other items before the model announces their removal (a view
    /// that reads its rows through from elsewhere); then the leaving items cannot be read from it.
    virtual bool readsThrough() const { return !m_rowsInList; }
    /// True when a value change of the row `item` reaches the model's dataChanged.
    virtual bool announcesChangesOf(const ZEPHTreeItem* item) const;
    /// The role named `roleName` in the model's role table, or 0.
    int roleForName(const QString& roleName) const;

    /// A membership test for many questions in a row: isRow() itself when that is a lookup, else
    /// a set of the current rows made once. Valid until the rows change.
    std::function<bool(const ZEPHTreeItem*)> rowTest() const;

    /// Emits dataChanged over every row of `model` for rows that only changed places (a re-sort).
    /// Meanwhile its views may take it that no value changed that was not announced row by row.
    static void announceNewOrder(ZEPHTreeModel* model);
    /// True while the model announces a new order of the same rows (see announceNewOrder()).
    bool announcingNewOrder() const { return m_announcingNewOrder; }

    void addListener(SourceListener* listener);
    void removeListener(SourceListener* listener);
    /// Tells every listener, in the order they came, that `items` leave without announcement. The
    /// list is taken by value: listeners may change the model it came from.
    void tellSilentDrop(QList<ZEPHTreeItem*> items);
    /// While muted the link tells nobody: the operation in progress told its views already.
    void setMuted(bool muted) { m_muted = muted; }

private:
    const RowStore& rows() const;

    ZEPHTreeModel* m_model;
    bool m_rowsInList;
    bool m_muted = false;
    bool m_announcingNewOrder = false;
    QVector<SourceListener*> m_listeners;
};
