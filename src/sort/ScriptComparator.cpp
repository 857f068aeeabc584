#include "sort/ScriptComparator.h"

#include <QJSEngine>

ScriptComparator::ScriptComparator(QJSEngine* engine, const QJSValue& function)
    : m_engine(engine), m_function(function) {
    // Calls the function with the caller's `this` (the global object, as QJSValue::call() passes
    // it) and turns a throw into false, so that a thrown value can never be mistaken for a result.
    m_guardedCall = engine->evaluate(QStringLiteral(
        "(function (f, a, b) { try { return !!f.call(this, a, b); } catch (e) { return false; } })"));
}

bool ScriptComparator::operator()(const QVariant& placed, const QVariant& incoming) const {
    const QJSValueList arguments{m_function, m_engine->toScriptValue(placed),
                                 m_engine->toScriptValue(incoming)};
    const QJSValue result = m_guardedCall.call(arguments);
    return result.isBool() && result.toBool();
}
