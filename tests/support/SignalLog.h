#pragma once

#include <QAbstractItemModel>
#include <QObject>
#include <QStringList>

// Records a model's signals, in order, as short strings:
//   "ins:0-1" "rem:2-2" "data:0-4" "reset" "layout" "count" "itemsRemoved:A,B" "allRemoved"
//   "filterChanged" "page:1" "totalPage:3" "first"
// and, with WithAboutTo, "aboutIns:0-1" "aboutRem:2-2" "aboutReset" "aboutLayout" too.
class SignalLog : public QObject {
    Q_OBJECT
public:
    enum Option { Plain = 0, WithAboutTo = 1 };
    explicit SignalLog(QObject* model, Option option = Plain);

    QStringList entries;
    /// The entries joined by single spaces, then cleared.
    QString take();
    void clear() { entries.clear(); }

private slots:
    void onAboutIns(const QModelIndex&, int first, int last);
    void onIns(const QModelIndex&, int first, int last);
    void onAboutRem(const QModelIndex&, int first, int last);
    void onRem(const QModelIndex&, int first, int last);
    void onData(const QModelIndex& topLeft, const QModelIndex& bottomRight);
    void onAboutReset();
    void onReset();
    void onAboutLayout();
    void onLayout();
    void onCount();
    void onItemsRemoved(const QStringList& ids);
    void onAllRemoved();
    void onFilterChanged();
    void onPage(int page);
    void onTotalPage(int totalPage);
    void onFirst();

private:
    void hook(QObject* model, const char* signal, const char* slot);
};
