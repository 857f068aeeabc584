#include "SignalLog.h"

#include <QMetaObject>

SignalLog::SignalLog(QObject* model, Option option) {
    if (option == WithAboutTo) {
        hook(model, SIGNAL(rowsAboutToBeInserted(QModelIndex, int, int)), SLOT(onAboutIns(QModelIndex, int, int)));
        hook(model, SIGNAL(rowsAboutToBeRemoved(QModelIndex, int, int)), SLOT(onAboutRem(QModelIndex, int, int)));
        hook(model, SIGNAL(modelAboutToBeReset()), SLOT(onAboutReset()));
        hook(model, SIGNAL(layoutAboutToBeChanged()), SLOT(onAboutLayout()));
    }
    hook(model, SIGNAL(rowsInserted(QModelIndex, int, int)), SLOT(onIns(QModelIndex, int, int)));
    hook(model, SIGNAL(rowsRemoved(QModelIndex, int, int)), SLOT(onRem(QModelIndex, int, int)));
    hook(model, SIGNAL(dataChanged(QModelIndex, QModelIndex)), SLOT(onData(QModelIndex, QModelIndex)));
    hook(model, SIGNAL(modelReset()), SLOT(onReset()));
    hook(model, SIGNAL(layoutChanged()), SLOT(onLayout()));
    hook(model, SIGNAL(rowCountChanged()), SLOT(onCount()));
    hook(model, SIGNAL(itemsRemoved(QStringList)), SLOT(onItemsRemoved(QStringList)));
    hook(model, SIGNAL(allItemRemoved()), SLOT(onAllRemoved()));
    hook(model, SIGNAL(filterModelChanged()), SLOT(onFilterChanged()));
    hook(model, SIGNAL(pageChanged(int)), SLOT(onPage(int)));
    hook(model, SIGNAL(totalPageChanged(int)), SLOT(onTotalPage(int)));
    hook(model, SIGNAL(firstPartialModelRowChanged()), SLOT(onFirst()));
}

// Connects only the signals the model has, so that models of every kind can be logged.
void SignalLog::hook(QObject* model, const char* signal, const char* slot) {
    const QByteArray normalized = QMetaObject::normalizedSignature(signal + 1);
    if (model->metaObject()->indexOfSignal(normalized.constData()) < 0)
        return;
    connect(model, signal, this, slot, Qt::DirectConnection);
}

QString SignalLog::take() {
    const QString joined = entries.join(QLatin1Char(' '));
    entries.clear();
    return joined;
}

static QString range(const char* name, int first, int last) {
    return QStringLiteral("%1:%2-%3").arg(QLatin1String(name)).arg(first).arg(last);
}

void SignalLog::onAboutIns(const QModelIndex&, int first, int last) { entries << range("aboutIns", first, last); }
void SignalLog::onIns(const QModelIndex&, int first, int last) { entries << range("ins", first, last); }
void SignalLog::onAboutRem(const QModelIndex&, int first, int last) { entries << range("aboutRem", first, last); }
void SignalLog::onRem(const QModelIndex&, int first, int last) { entries << range("rem", first, last); }
void SignalLog::onData(const QModelIndex& topLeft, const QModelIndex& bottomRight) {
    entries << range("data", topLeft.row(), bottomRight.row());
}
void SignalLog::onAboutReset() { entries << QStringLiteral("aboutReset"); }
void SignalLog::onReset() { entries << QStringLiteral("reset"); }
void SignalLog::onAboutLayout() { entries << QStringLiteral("aboutLayout"); }
void SignalLog::onLayout() { entries << QStringLiteral("layout"); }
void SignalLog::onCount() { entries << QStringLiteral("count"); }
void SignalLog::onItemsRemoved(const QStringList& ids) {
    entries << QStringLiteral("itemsRemoved:") + ids.join(QLatin1Char(','));
}
void SignalLog::onAllRemoved() { entries << QStringLiteral("allRemoved"); }
void SignalLog::onFilterChanged() { entries << QStringLiteral("filterChanged"); }
void SignalLog::onPage(int page) { entries << QStringLiteral("page:%1").arg(page); }
void SignalLog::onTotalPage(int totalPage) { entries << QStringLiteral("totalPage:%1").arg(totalPage); }
void SignalLog::onFirst() { entries << QStringLiteral("first"); }
