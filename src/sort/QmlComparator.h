#pragma once

#include <QMetaMethod>
#include <QObject>
#include <QString>
#include <QVariant>

class QQmlEngine;

// A compare function kept as a method of the root object of a QML document. The object is created
// in the given engine and deleted with the comparator, so make the comparator after the engine.
class QmlComparator {
public:
    /// Loads `fileName` and creates its root object; there is none when the file cannot be opened,
    /// loaded or instantiated.
    QmlComparator(QQmlEngine* engine, const QString& fileName, const QString& functionName);
    ~QmlComparator();
    QmlComparator(const QmlComparator&) = delete;
    QmlComparator& operator=(const QmlComparator&) = delete;

    bool hasObject() const { return m_object != nullptr; }
    /// The method's answer for (placed, incoming) read as a bool; false when the object has no
    /// such method of two arguments or the call fails.
    bool operator()(const QVariant& placed, const QVariant& incoming) const;

private:
    QObject* m_object = nullptr;
    QMetaMethod m_method;
};
