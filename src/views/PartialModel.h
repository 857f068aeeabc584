#pragma once

#include <QAbstractListModel>
#include <QPointer>
#include <QVariantMap>

class ZEPHTreeModel;

// A window of consecutive rows of its model (first row and window size), renumbered from 0. Every
// model owns one; values are read through to the model on demand.
class PartialModel : public QAbstractListModel {
    Q_OBJECT
    Q_PROPERTY(int count READ rowCount NOTIFY rowCountChanged)
public:
    PartialModel(ZEPHTreeModel* source, QObject* parent);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QHash<int, QByteArray> roleNames() const override;

    /// Role name to value map of window row `row`, read from the model.
    Q_INVOKABLE QVariantMap get(int row);
    /// The model row (not the window row) of the item with ID `id`, or -1.
    Q_INVOKABLE int FindItemRow(QString id);

    int firstRow() const { return m_firstRow; }
    /// Moves the window to start at `row` (clamped to the model's rows).
    void setFirstRow(int row);
    /// Sets the window size; below 1 empties the window.
    void setWindowSize(int count);

signals:
    void rowCountChanged();

public slots:
    void SourceModelDataChangedHandler(const QModelIndex& topLeft, const QModelIndex& bottomRight);
    void SourceModelCountChangedHandler(const QModelIndex& parent, int start, int end);

private:
    void onSourceAboutToBeReset();
    void onSourceReset();
    /// The window's row count as the model stands now.
    int effectiveCount() const;

    QPointer<ZEPHTreeModel> m_source;
    int m_firstRow = 0;
    int m_windowSize = 0;
    // The row count announced last.
    int m_count = 0;
};
