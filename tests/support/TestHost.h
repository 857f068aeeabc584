#pragma once

#include "TreeBuilder.h"

#include <QObject>
#include <QString>

// Lets QML tests build and read models the way a host application would: QML cannot insert items
// itself. Exposed to QML tests as the context property "testHost".
class TestHost : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

    Q_INVOKABLE QObject* makeTree(const QString& shape, int flags = 1) { return tree::make(shape, flags); }
    Q_INVOKABLE void append(QObject* model, const QString& shape) {
        if (auto* target = qobject_cast<ZEPHTreeModel*>(model)) tree::fill(target, shape);
    }
    Q_INVOKABLE QString dump(QObject* model) const { return tree::dump(model); }
};
