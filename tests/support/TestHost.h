#pragma once

#include <QObject>
#include <QString>
#include <QTemporaryDir>

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
    /// The IDs of a model's rows, space separated.
    Q_INVOKABLE QString ids(QObject* model) const;
    /// A model as a tree string, through each item's child model.
    Q_INVOKABLE QString dump(QObject* model) const;
    /// Writes `text` (UTF-8) to a new file in a folder that lives as long as the host and answers
    /// its path; `name` ends the file name, so that its extension counts.
    Q_INVOKABLE QString writeFile(const QString& name, const QString& text);

private:
    QTemporaryDir m_files;
    int m_written = 0;
};
