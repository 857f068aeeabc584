#include "TestHost.h"

#include "TreeBuilder.h"

QObject* TestHost::makeTree(const QString& spec, int flags) {
    return tree::make(spec, flags);
}

void TestHost::append(QObject* model, const QString& spec) {
    if (auto* target = qobject_cast<ZEPHTreeModel*>(model))
        tree::fill(target, spec);
}

QString TestHost::ids(QObject* model) const {
    return tree::ids(model);
}

QString TestHost::dump(QObject* model) const {
    return tree::dump(model);
}
