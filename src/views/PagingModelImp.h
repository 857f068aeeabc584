#pragma once

#include "model/ViewLink.h"
#include "model/ZEPHTreeModel.h"
#include "model/ZEPHTreeModelPrivate.h"

#include <QPointer>

// Shows one page of its source at a time, rows renumbered from 0. Holds no items: every value is read
// from the source on demand, and the source's signals keep the row count, page count and page valid.
class PagingModelImp : public ZEPHTreeModel, private SourceListener {
    Q_OBJECT
    // The view's own page properties and notify signals stand in front of the model's, which never
    // change.
    Q_PROPERTY(int page READ page WRITE setPage NOTIFY pageChanged)
    Q_PROPERTY(int totalPage READ totalPage NOTIFY totalPageChanged)
public:
    /// A paging view of `source` with `numPerPage` rows per page (0: one page with every row).
    PagingModelImp(ZEPHTreeModel* source, unsigned int numPerPage);
    ~PagingModelImp() override;

    /// Rows of the current page as last announced; 0 without a source.
    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    /// The source's value at row `page * numPerPage + row` for rows of the current page.
    QVariant data(const QModelIndex& index, int role) const override;
    /// Role name to value map of a row of the current page; empty outside the page.
    Q_INVOKABLE QVariantMap get(int index) override;

    int page() const override { return m_page; }
    /// Shows another page: ignored for the current page and for pages outside 0..last.
    void setPage(int page) override;
    int totalPage() const override { return m_totalPage; }

    /// The item's row within its own page (source row modulo numPerPage), whichever page that is.
    int FindItemRow(const QString& id) const override;
    /// The source's item at `page * numPerPage + row`.
    QObject* FindItem(int row) const override;
    /// The source's item with ID `id`, on any page.
    QObject* FindItem(const QString& id, bool includeChildModel = false) const override;

signals:
    void pageChanged(int page);
    void totalPageChanged(int totalPage);

public slots:
    void SourceModelDataChangedHandler(const QModelIndex& topLeft, const QModelIndex& bottomRight);
    void SourceModelCountChangedHandler(const QModelIndex& parent, int start, int end);
    /// An alternative count handler announcing removals before the page as a reset (not connected).
    void SourceModelItemRemovedHandler(const QModelIndex& parent, int start, int end);

private:
    class Link;

    void onSourceDestroyed();
    void onSourceAboutToBeReset();
    void onSourceReset();

    /// The view holds none of the items: the notice goes on to the views made from it.
    void sourceDropsSilently(const QList<ZEPHTreeItem*>& items) override;
    int sourceCount() const;
    /// Rows the current page holds in the source now.
    int pageRowCount() const;
    int computeTotalPages() const;
    int lastPage() const;
    /// Source row of view row `row`; -1 when it does not fit an int.
    int sourceRow(int row) const;
    void updateTotalPages();
    /// dataChanged over the rows of the current page that exist before and after the count change.
    void emitPageChanged();
    /// Announces the difference between the last announced row count and the current one.
    void announceRowCount();

    QPointer<ZEPHTreeModel> m_source;
    quint32 m_numPerPage;
    int m_page = 0;
    int m_totalPage = 0;
    // The row count last announced to listeners.
    int m_rowCount = 0;
};
