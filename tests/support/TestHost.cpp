#include "TestHost.h"

#include "TreeBuilder.h"

QObject* TestHost::makeTree(const QString& shape, int flags) {
    return tree::make(shape, flags);
}

void TestHost::append(QObject* model, const QString& shape) {
    if (auto* target = qobject_cast<ZEPHTreeModel*>(model)) tree::fill(target, shape);
}

QString TestHost::dump(QObject* model) const {
    return tree::dump(model);
}
