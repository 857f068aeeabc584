#pragma once

#include <QJSValue>
#include <QVariant>

class QJSEngine;

// A compare function kept as a global function of a JavaScript program.
class ScriptComparator {
public:
    ScriptComparator(QJSEngine* engine, const QJSValue& function);

    /// The function's answer for (placed, incoming) read as a bool. A function that throws, or a
    /// value that is not callable, answers false: QJSValue::call() hands back whatever was thrown,
    /// which would read as true.
    bool operator()(const QVariant& placed, const QVariant& incoming) const;

private:
    QJSEngine* m_engine;
    QJSValue m_function;
    mutable QJSValue m_guardedCall; // QJSValue::call() is not const
};
