#include "TestHost.h"

#include "TreeBuilder.h"

#include <QFile>

QObject* TestHost::makeTree(const QString& shape, int flags) {
    return tree::make(shape, flags);
}

void TestHost::append(QObject* model, const QString& shape) {
    if (auto* target = qobject_cast<ZEPHTreeModel*>(model)) tree::fill(target, shape);
}

QString TestHost::ids(QObject* model) const {
    return tree::ids(model);
}

QString TestHost::dump(QObject* model) const {
    return tree::dump(model);
}

QString TestHost::writeFile(const QString& name, const QString& text) {
    const QString path = m_files.filePath(QStringLiteral("%1-%2").arg(++m_written).arg(name));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) return QString();
    file.write(text.toUtf8());
    return path;
}
