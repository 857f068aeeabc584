#include "sort/EngineObjectGuard.h"

#include <QQmlEngine>
#include <QVariantHash>
#include <QVariantList>
#include <QVariantMap>

EngineObjectGuard::EngineObjectGuard(const QVector<QVariant>& values) {
    for (const QVariant& value : values)
        protect(value);
}

EngineObjectGuard::~EngineObjectGuard() {
    for (const QPointer<QObject>& object : m_objects) {
        if (object) QQmlEngine::setObjectOwnership(object.data(), QQmlEngine::JavaScriptOwnership);
    }
}

void EngineObjectGuard::protect(const QVariant& value) {
    const int type = value.userType();
    if (type == QMetaType::QVariantMap) {
        const QVariantMap map = value.toMap();
        for (auto it = map.cbegin(); it != map.cend(); ++it)
            protect(it.value());
    } else if (type == QMetaType::QVariantList) {
        const QVariantList list = value.toList();
        for (const QVariant& entry : list)
            protect(entry);
    } else if (type == QMetaType::QVariantHash) {
        const QVariantHash hash = value.toHash();
        for (auto it = hash.cbegin(); it != hash.cend(); ++it)
            protect(it.value());
    } else if (QMetaType::typeFlags(type) & QMetaType::PointerToQObject) {
        QObject* object = qvariant_cast<QObject*>(value);
        if (!object || object->parent() || m_seen.contains(object)) return;
        m_seen.insert(object);
        if (QQmlEngine::objectOwnership(object) != QQmlEngine::JavaScriptOwnership) return;
        QQmlEngine::setObjectOwnership(object, QQmlEngine::CppOwnership);
        m_objects.append(object);
    }
}
