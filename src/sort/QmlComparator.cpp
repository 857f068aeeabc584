#include "sort/QmlComparator.h"

#include "sort/CompareFile.h"

#include <QQmlComponent>
#include <QQmlEngine>

QmlComparator::QmlComparator(QQmlEngine* engine, const QString& fileName, const QString& functionName) {
    const QString path = CompareFile::path(fileName);
    if (path.isEmpty()) return;
    QQmlComponent component(engine, CompareFile::url(path), QQmlComponent::PreferSynchronous);
    // create() on a component that is not ready only warns; ask first.
    if (!component.isReady()) return;
    m_object = component.create();
    if (!m_object) return;
    // A QML function of two arguments is a method taking and answering QVariant. Looked up once
    // here, so that a missing method costs nothing (and warns nothing) per comparison.
    const QByteArray signature =
        QMetaObject::normalizedSignature((functionName.toLatin1() + "(QVariant,QVariant)").constData());
    const int index = m_object->metaObject()->indexOfMethod(signature.constData());
    if (index >= 0) m_method = m_object->metaObject()->method(index);
}

QmlComparator::~QmlComparator() {
    delete m_object;
}

bool QmlComparator::operator()(const QVariant& placed, const QVariant& incoming) const {
    if (!m_object || !m_method.isValid()) return false;
    QVariant result;
    m_method.invoke(m_object, Qt::DirectConnection, Q_RETURN_ARG(QVariant, result), Q_ARG(QVariant, placed),
                    Q_ARG(QVariant, incoming));
    return result.toBool();
}
