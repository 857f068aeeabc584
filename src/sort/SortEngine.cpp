#include "sort/SortEngine.h"

#include <QMultiMap>

namespace {
// A map key that compares through the sort's comparison. QMultiMap::insert walks from the root and
// goes right exactly when `placed < incoming`, which makes it the reference placement.
struct PlacementKey {
    int index = 0;
    const SortEngine::Less* less = nullptr;
    bool operator<(const PlacementKey& incoming) const { return (*less)(index, incoming.index); }
};
} // namespace

QVector<int> SortEngine::treeOrder(int count, const Less& less) {
    QMultiMap<PlacementKey, int> map;
    for (int i = 0; i < count; ++i)
        map.insert(PlacementKey{i, &less}, i);
    QVector<int> order;
    order.reserve(count);
    for (auto it = map.cbegin(); it != map.cend(); ++it)
        order.append(it.value());
    return order;
}
