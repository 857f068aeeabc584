#include "views/PagingModelImp.h"

#include <limits>

// The rows of a paging view are the rows of the shown page of its source.
class PagingModelImp::Link : public ViewLink {
public:
    explicit Link(PagingModelImp* view) : ViewLink(view, false), m_view(view) {}

    ZEPHTreeItem* itemAt(int row) const override {
        ViewLink* source = sourceLink();
        if (!source || row < 0 || row >= m_view->rowCount()) return nullptr;
        const int inSource = m_view->sourceRow(row);
        return inSource < 0 ? nullptr : source->itemAt(inSource);
    }
    int rowOf(const ZEPHTreeItem* item) const override {
        ViewLink* source = sourceLink();
        const int inSource = source ? source->rowOf(item) : -1;
        if (inSource < 0) return -1;
        const qint64 row = qint64(inSource) - qint64(m_view->m_page) * m_view->m_numPerPage;
        return row >= 0 && row < m_view->rowCount() ? int(row) : -1;
    }
    bool isRow(const ZEPHTreeItem* item) const override { return rowOf(item) >= 0; }
    bool knowsRowsAtOnce() const override {
        ViewLink* source = sourceLink();
        return source && source->knowsRowsAtOnce();
    }
    bool readsThrough() const override { return true; }
    bool announcesChangesOf(const ZEPHTreeItem* item) const override {
        ViewLink* source = sourceLink();
        return !source || source->announcesChangesOf(item);
    }

private:
    ViewLink* sourceLink() const { return ZEPHTreeModelPrivate::viewLinkOf(m_view->m_source.data()); }

    PagingModelImp* m_view;
};

// With numPerPage 0 every row is on one page.
PagingModelImp::PagingModelImp(ZEPHTreeModel* source, unsigned int numPerPage)
    : ZEPHTreeModel(nullptr, source ? source->roleNames() : QHash<int, QByteArray>(),
                    ZEPHTreeModelPrivate::JavaScriptOwnershipFlag | ZEPHTreeModelPrivate::SharedItemsFlag),
      m_source(source), m_numPerPage(numPerPage == 0 ? std::numeric_limits<quint32>::max() : numPerPage) {
    ZEPHTreeModelPrivate::get(this)->setViewLink(new Link(this));
    updateTotalPages();
    m_rowCount = pageRowCount();
    if (!source) return;
    ZEPHTreeModelPrivate::viewLinkOf(source)->addListener(this);
    connect(source, &QObject::destroyed, this, &PagingModelImp::onSourceDestroyed);
    connect(source, &QAbstractItemModel::modelAboutToBeReset, this, &PagingModelImp::onSourceAboutToBeReset);
    connect(source, &QAbstractItemModel::modelReset, this, &PagingModelImp::onSourceReset);
    connect(source, &QAbstractItemModel::dataChanged, this, &PagingModelImp::SourceModelDataChangedHandler);
    connect(source, &QAbstractItemModel::rowsInserted, this, &PagingModelImp::SourceModelCountChangedHandler);
    connect(source, &QAbstractItemModel::rowsRemoved, this, &PagingModelImp::SourceModelCountChangedHandler);
    connect(source, &QAbstractItemModel::layoutAboutToBeChanged, this,
            &QAbstractItemModel::layoutAboutToBeChanged);
    connect(source, &QAbstractItemModel::layoutChanged, this, &QAbstractItemModel::layoutChanged);
}

PagingModelImp::~PagingModelImp() {
    if (m_source) ZEPHTreeModelPrivate::viewLinkOf(m_source.data())->removeListener(this);
}

void PagingModelImp::sourceDropsSilently(const QList<ZEPHTreeItem*>& items) {
    ZEPHTreeModelPrivate::viewLinkOf(this)->tellSilentDrop(items);
}

int PagingModelImp::sourceCount() const {
    return m_source ? m_source->rowCount() : 0;
}

int PagingModelImp::computeTotalPages() const {
    const quint32 count = quint32(sourceCount());
    return int(count / m_numPerPage + (count % m_numPerPage != 0 ? 1 : 0));
}

int PagingModelImp::lastPage() const {
    return qMax(computeTotalPages() - 1, 0);
}

int PagingModelImp::sourceRow(int row) const {
    const qint64 sourceRow = qint64(m_page) * m_numPerPage + row;
    if (sourceRow < 0 || sourceRow > std::numeric_limits<int>::max()) return -1;
    return int(sourceRow);
}

// The row count announced last: the source has changed already when the view announces the rows
// that came or went, so listeners must see the count that goes with the announcements. Rows have
// no children.
int PagingModelImp::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : m_rowCount;
}

// Every page before the last is full; the last holds the remainder. A page beyond the last (only
// seen while the source has shrunk and the page is not clamped yet) is empty.
int PagingModelImp::pageRowCount() const {
    if (!m_source) return 0;
    const quint32 count = quint32(sourceCount());
    const int last = lastPage();
    if (m_page > last) return 0;
    if (m_page < last) return int(m_numPerPage);
    const quint32 rest = count % m_numPerPage;
    return int(rest != 0 ? rest : (count != 0 ? m_numPerPage : 0));
}

QVariant PagingModelImp::data(const QModelIndex& index, int role) const {
    const int row = index.row();
    if (!m_source || row < 0 || row >= rowCount()) return QVariant();
    if (role == Qt::DisplayRole) return m_source->data(m_source->index(sourceRow(row), 0), role);
    return m_source->FindItemValue(sourceRow(row), role);
}

QVariantMap PagingModelImp::get(int index) {
    if (index < 0 || index >= rowCount()) return QVariantMap();
    return ZEPHTreeModel::get(index);
}

int PagingModelImp::FindItemRow(const QString& id) const {
    if (!m_source) return -1;
    const int row = m_source->FindItemRow(id);
    if (row < 0) return -1;
    return int(quint32(row) % m_numPerPage);
}

QObject* PagingModelImp::FindItem(int row) const {
    if (!m_source) return nullptr;
    const int inSource = sourceRow(row);
    return inSource < 0 ? nullptr : m_source->FindItem(inSource);
}

QObject* PagingModelImp::FindItem(const QString& id, bool includeChildModel) const {
    return m_source ? m_source->FindItem(id, includeChildModel) : nullptr;
}

void PagingModelImp::setPage(int page) {
    if (page == m_page || page < 0 || page > lastPage()) return;
    m_page = page;
    emit pageChanged(page);
    emitPageChanged();
    announceRowCount();
}

void PagingModelImp::updateTotalPages() {
    const int pages = computeTotalPages();
    if (pages >= 0 && pages != m_totalPage) {
        m_totalPage = pages;
        emit totalPageChanged(pages);
    }
}

// Only rows that exist before and after the count is announced: rows still to be inserted have no
// index yet, and rows about to be removed need no refresh. An empty range is left out.
void PagingModelImp::emitPageChanged() {
    const int rows = qMin(m_rowCount, pageRowCount());
    if (rows > 0) emit dataChanged(index(0, 0), index(rows - 1, 0), QVector<int>());
}

// The rows are read through to the source, so they have changed already when this announces them;
// the count listeners read changes inside each announcement.
void PagingModelImp::announceRowCount() {
    const int rows = pageRowCount();
    const int old = m_rowCount;
    if (rows > old) {
        beginInsertRows(QModelIndex(), old, rows - 1);
        m_rowCount = rows;
        endInsertRows();
        emit rowCountChanged();
    } else if (rows < old) {
        beginRemoveRows(QModelIndex(), rows, old - 1);
        m_rowCount = rows;
        endRemoveRows();
        emit rowCountChanged();
    }
}

void PagingModelImp::SourceModelCountChangedHandler(const QModelIndex& parent, int start, int end) {
    Q_UNUSED(parent)
    Q_UNUSED(end)
    updateTotalPages();
    const int shownPage = m_page;
    if (m_page > lastPage()) setPage(lastPage());
    // The change begins on or before the page shown before: its rows may all have shifted.
    if (start >= 0 && quint32(start) / m_numPerPage <= quint32(shownPage)) emitPageChanged();
    announceRowCount();
}

void PagingModelImp::SourceModelItemRemovedHandler(const QModelIndex& parent, int start, int end) {
    Q_UNUSED(parent)
    Q_UNUSED(end)
    updateTotalPages();
    const int shownPage = m_page;
    if (m_page > lastPage()) setPage(lastPage());
    const int rows = pageRowCount();
    if (start >= 0 && quint32(start) / m_numPerPage < quint32(shownPage)) {
        beginResetModel();
        m_rowCount = rows;
        endResetModel();
        emit rowCountChanged();
    } else {
        announceRowCount();
    }
}

// The changed source rows that fall on the shown page, as one range of page rows.
void PagingModelImp::SourceModelDataChangedHandler(const QModelIndex& topLeft,
                                                   const QModelIndex& bottomRight) {
    const qint64 top = topLeft.row();
    const qint64 bottom = bottomRight.row();
    if (top > bottom) return;
    const qint64 pageStart = qint64(m_page) * m_numPerPage;
    const qint64 pageEnd = pageStart + m_numPerPage - 1;
    const qint64 first = qMax(top, pageStart);
    const qint64 last = qMin(bottom, qMin(pageEnd, pageStart + m_rowCount - 1));
    if (first > last) return;
    emit dataChanged(index(int(first - pageStart), 0), index(int(last - pageStart), 0), QVector<int>());
}

// A source emptied before it died has announced its rows already; any others go now.
void PagingModelImp::onSourceDestroyed() {
    updateTotalPages();
    if (m_page != 0) {
        m_page = 0;
        emit pageChanged(0);
    }
    announceRowCount();
}

void PagingModelImp::onSourceAboutToBeReset() {
    beginResetModel();
}

// A reset may change anything: the counts and the page follow the source inside the reset, and
// their notifications come after it.
void PagingModelImp::onSourceReset() {
    const int oldTotal = m_totalPage;
    const int oldPage = m_page;
    const int oldRows = m_rowCount;
    m_totalPage = computeTotalPages();
    m_page = qMin(m_page, lastPage());
    m_rowCount = pageRowCount();
    endResetModel();
    if (m_totalPage != oldTotal) emit totalPageChanged(m_totalPage);
    if (m_page != oldPage) emit pageChanged(m_page);
    if (m_rowCount != oldRows) emit rowCountChanged();
}
