#pragma once

#include <QModelIndex>
#include <QObject>
#include <QStringList>

#include <utility>

// Records a model's signals, in order, as short strings:
//   "ins:0-1" "rem:2-2" "data:0-4" "reset" "layout" "count" "itemsRemoved:A,B" "allRemoved"
//   "filterChanged" "page:1" "totalPage:3" "first"
// and, with WithAboutTo, "aboutIns:0-1" "aboutRem:2-2" "aboutReset" "aboutLayout" too. Signals the
// model does not have are left out, so models and views of every kind can be logged.
class SignalLog : public QObject {
    Q_OBJECT
public:
    enum Option { Plain = 0, WithAboutTo = 1 };
    explicit SignalLog(QObject* model, Option option = Plain);

    QStringList entries;
    /// How many signals arrived in another thread than the log's.
    int foreign = 0;
    /// The entries joined by single spaces, then cleared.
    QString take() { return std::exchange(entries, {}).join(QLatin1Char(' ')); }
    void clear() { entries.clear(); }

private slots:
    void onSignal() { entries << name(); }
    void onValue(int value) { entries << name() + QStringLiteral(":%1").arg(value); }
    void onRows(const QModelIndex&, int a, int b) {
        entries << name() + QStringLiteral(":%1-%2").arg(a).arg(b);
    }
    void onData(const QModelIndex& a, const QModelIndex& b) { onRows({}, a.row(), b.row()); }
    void onIds(const QStringList& ids) { entries << name() + QLatin1Char(':') + ids.join(QLatin1Char(',')); }

private:
    QString name();
};
