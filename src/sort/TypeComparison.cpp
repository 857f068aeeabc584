#include "sort/TypeComparison.h"

#include "core/ValueOrder.h"

bool TypeComparison::hasOrder(int type) {
    return ValueOrder::withOrderedType(type, [](auto) {});
}

bool TypeComparison::less(const QVariant& x, const QVariant& y, bool ascending) {
    bool r = false;
    const bool ordered = ValueOrder::withOrderedType(x.type(), [&](auto type) {
        using T = typename decltype(type)::type;
        r = ValueOrder::compare(ValueOrder::valueAs<T>(x), ValueOrder::valueAs<T>(y)) < 0;
    });
    if (!ordered) return false;
    return ascending ? r : !r;
}
