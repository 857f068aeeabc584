#pragma once

#include <QObject>
#include <QPointer>
#include <QSet>
#include <QVariant>
#include <QVector>

// Destroying a QJSEngine or QQmlEngine deletes the parentless objects of JavaScript ownership that
// were handed to it, such as child models made for QML. While a guard lives, the objects held by
// the given values (also inside maps and lists) are natively owned; its destructor gives them their
// JavaScript ownership back. Make the guard before the engine, so that it outlives it.
class EngineObjectGuard {
public:
    explicit EngineObjectGuard(const QVector<QVariant>& values);
    ~EngineObjectGuard();
    EngineObjectGuard(const EngineObjectGuard&) = delete;
    EngineObjectGuard& operator=(const EngineObjectGuard&) = delete;

private:
    void protect(const QVariant& value);

    QVector<QPointer<QObject>> m_objects;
    QSet<const QObject*> m_seen;
};
