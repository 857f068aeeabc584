#pragma once

#include <QObject>
#include <QString>

// Lets QML tests build and read models the way a host application would: QML cannot insert items
// itself. Exposed to QML tests as the context property "testHost".
class TestHost : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

    /// A new model filled from a tree string ("A[B C] D", see TreeBuilder.h) with creation `flags`;
    /// the default 1 hands the model to the QML engine, which collects it once unreferenced.
    Q_INVOKABLE QObject* makeTree(const QString& shape, int flags = 1);
    /// Appends the items of a tree string to `model` in one AppendItemsList, as a host inserts.
    Q_INVOKABLE void append(QObject* model, const QString& shape);
    /// A model as a tree string, through each item's child model.
    Q_INVOKABLE QString dump(QObject* model) const;
};
