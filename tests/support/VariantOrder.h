#pragma once

#include <QDateTime>
#include <QVariant>

// The order of two values as the type of the first one gives it, the second converted to that
// type: -1, 0 or 1, and 2 when that type has no order (invalid values, maps, lists, floats...).
// The reference the tests hold the sorts and the filter rules to.
inline int variantOrder(const QVariant& a, const QVariant& b) {
    const auto by = [](const auto& x, const auto& y) { return x < y ? -1 : y < x ? 1 : 0; };
    switch (a.type()) {
    case QVariant::Bool:
        return by(a.toBool(), b.toBool());
    case QVariant::Int:
        return by(a.toInt(), b.toInt());
    case QVariant::UInt:
        return by(a.toUInt(), b.toUInt());
    case QVariant::LongLong:
        return by(a.toLongLong(), b.toLongLong());
    case QVariant::ULongLong:
        return by(a.toULongLong(), b.toULongLong());
    case QVariant::Double:
        return by(a.toDouble(), b.toDouble());
    case QVariant::Char:
        return by(a.toChar(), b.toChar());
    case QVariant::String:
        return by(a.toString(), b.toString());
    case QVariant::ByteArray:
        return by(qstrcmp(a.toByteArray(), b.toByteArray()), 0);
    case QVariant::Date:
        return by(a.toDate(), b.toDate());
    case QVariant::Time:
        return by(a.toTime(), b.toTime());
    case QVariant::DateTime:
        return by(a.toDateTime(), b.toDateTime());
    default:
        return 2;
    }
}
