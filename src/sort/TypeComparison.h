#pragma once

#include <QVariant>

// The role sort's built-in comparison, chosen by the type of the value already placed: the value
// being placed is converted to that type and the two are compared with the type's own less-than.
// Types without such a comparison (invalid, containers, objects, every user type) answer false.
class TypeComparison {
public:
    /// less(placed, incoming) in the given direction; a type without a comparison answers false
    /// in both directions.
    static bool less(const QVariant& placed, const QVariant& incoming, bool ascending);
    /// True when values of QVariant::type() `type` are compared (Bool to DateTime, except the
    /// container types).
    static bool hasOrder(int type);
};
