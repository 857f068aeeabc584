#include "SignalLog.h"

#include <QMetaMethod>
#include <QThread>

namespace {
// Signal, short name, slot; the about-to signals come first.
const char* const kSignals[][3] = {
    {"rowsAboutToBeInserted(QModelIndex,int,int)", "aboutIns", SLOT(onRows(QModelIndex, int, int))},
    {"rowsAboutToBeRemoved(QModelIndex,int,int)", "aboutRem", SLOT(onRows(QModelIndex, int, int))},
    {"modelAboutToBeReset()", "aboutReset", SLOT(onSignal())},
    {"layoutAboutToBeChanged()", "aboutLayout", SLOT(onSignal())},
    {"rowsInserted(QModelIndex,int,int)", "ins", SLOT(onRows(QModelIndex, int, int))},
    {"rowsRemoved(QModelIndex,int,int)", "rem", SLOT(onRows(QModelIndex, int, int))},
    {"dataChanged(QModelIndex,QModelIndex)", "data", SLOT(onData(QModelIndex, QModelIndex))},
    {"modelReset()", "reset", SLOT(onSignal())},
    {"layoutChanged()", "layout", SLOT(onSignal())},
    {"rowCountChanged()", "count", SLOT(onSignal())},
    {"itemsRemoved(QStringList)", "itemsRemoved", SLOT(onIds(QStringList))},
    {"allItemRemoved()", "allRemoved", SLOT(onSignal())},
    {"filterModelChanged()", "filterChanged", SLOT(onSignal())},
    {"pageChanged(int)", "page", SLOT(onValue(int))},
    {"totalPageChanged(int)", "totalPage", SLOT(onValue(int))},
    {"firstPartialModelRowChanged()", "first", SLOT(onSignal())},
};
} // namespace

SignalLog::SignalLog(QObject* model, Option option) {
    for (int i = option == WithAboutTo ? 0 : 4; i < int(std::size(kSignals)); ++i) {
        if (model->metaObject()->indexOfSignal(kSignals[i][0]) >= 0)
            connect(model, (QByteArray("2") + kSignals[i][0]).constData(), this, kSignals[i][2],
                    Qt::DirectConnection);
    }
}

// The short name of the signal being delivered (found by name: Qt may deliver a signal with default
// arguments under its full signature).
QString SignalLog::name() {
    if (QThread::currentThread() != thread()) ++foreign;
    const QByteArray signal = sender()->metaObject()->method(senderSignalIndex()).name() + '(';
    for (const auto& entry : kSignals) {
        if (qstrncmp(entry[0], signal.constData(), uint(signal.size())) == 0) return QLatin1String(entry[1]);
    }
    return QString::fromLatin1(signal);
}
