#include "sort/TypeComparison.h"

#include <QByteArray>
#include <QDateTime>

bool TypeComparison::hasOrder(int type) {
    switch (type) {
    case QVariant::Bool:
    case QVariant::Int:
    case QVariant::UInt:
    case QVariant::LongLong:
    case QVariant::ULongLong:
    case QVariant::Double:
    case QVariant::Char:
    case QVariant::String:
    case QVariant::ByteArray:
    case QVariant::Date:
    case QVariant::Time:
    case QVariant::DateTime:
        return true;
    default:
        return false;
    }
}

bool TypeComparison::less(const QVariant& x, const QVariant& y, bool ascending) {
    bool r = false;
    switch (x.type()) {
    case QVariant::Bool:
        r = x.toBool() < y.toBool();
        break;
    case QVariant::Int:
        r = x.toInt() < y.toInt();
        break;
    case QVariant::UInt:
        r = x.toUInt() < y.toUInt();
        break;
    case QVariant::LongLong:
        r = x.toLongLong() < y.toLongLong();
        break;
    case QVariant::ULongLong:
        r = x.toULongLong() < y.toULongLong();
        break;
    case QVariant::Double:
        r = x.toDouble() < y.toDouble();
        break;
    case QVariant::Char:
        r = x.toChar() < y.toChar();
        break;
    case QVariant::String:
        r = x.toString() < y.toString();
        break;
    case QVariant::ByteArray:
        r = qstrcmp(x.toByteArray(), y.toByteArray()) < 0;
        break;
    case QVariant::Date:
        r = x.toDate() < y.toDate();
        break;
    case QVariant::Time:
        r = x.toTime() < y.toTime();
        break;
    case QVariant::DateTime:
        r = x.toDateTime() < y.toDateTime();
        break;
    default:
        return false;
    }
    return ascending ? r : !r;
}
