#pragma once

#include <QByteArray>
#include <QChar>
#include <QDateTime>
#include <QString>
#include <QVariant>

#include <tuple>

// The value types that the library orders by type (QVariant's Bool to DateTime, without the
// containers), how a value is read as one of them and how two values of one type compare. The role
// sort's keys and built-in comparison and the filter rules' comparisons all come from here.
namespace ValueOrder {

template <typename T> struct Type { using type = T; };

/// Calls `f(Type<T>())` with the C++ type T of the QVariant type `type` when values of that type
/// have an order; false (and no call) for every other type: invalid, containers, objects, user types.
template <typename F> bool withOrderedType(int type, F&& f) {
    switch (type) {
    case QVariant::Bool:
        f(Type<bool>());
        return true;
    case QVariant::Int:
        f(Type<int>());
        return true;
    case QVariant::UInt:
        f(Type<uint>());
        return true;
    case QVariant::LongLong:
        f(Type<qlonglong>());
        return true;
    case QVariant::ULongLong:
        f(Type<qulonglong>());
        return true;
    case QVariant::Double:
        f(Type<double>());
        return true;
    case QVariant::Char:
        f(Type<QChar>());
        return true;
    case QVariant::String:
        f(Type<QString>());
        return true;
    case QVariant::ByteArray:
        f(Type<QByteArray>());
        return true;
    case QVariant::Date:
        f(Type<QDate>());
        return true;
    case QVariant::Time:
        f(Type<QTime>());
        return true;
    case QVariant::DateTime:
        f(Type<QDateTime>());
        return true;
    default:
        return false;
    }
}

/// `value` read as a T, converted the way QVariant's own toT() converts.
template <typename T> T valueAs(const QVariant& value);
template <> inline bool valueAs<bool>(const QVariant& value) {
    return value.toBool();
}
template <> inline int valueAs<int>(const QVariant& value) {
    return value.toInt();
}
template <> inline uint valueAs<uint>(const QVariant& value) {
    return value.toUInt();
}
template <> inline qlonglong valueAs<qlonglong>(const QVariant& value) {
    return value.toLongLong();
}
template <> inline qulonglong valueAs<qulonglong>(const QVariant& value) {
    return value.toULongLong();
}
template <> inline double valueAs<double>(const QVariant& value) {
    return value.toDouble();
}
template <> inline QChar valueAs<QChar>(const QVariant& value) {
    return value.toChar();
}
template <> inline QString valueAs<QString>(const QVariant& value) {
    return value.toString();
}
template <> inline QByteArray valueAs<QByteArray>(const QVariant& value) {
    return value.toByteArray();
}
template <> inline QDate valueAs<QDate>(const QVariant& value) {
    return value.toDate();
}
template <> inline QTime valueAs<QTime>(const QVariant& value) {
    return value.toTime();
}
template <> inline QDateTime valueAs<QDateTime>(const QVariant& value) {
    return value.toDateTime();
}

/// Two values of one type compared with the type's own less-than: negative when `a` is less, positive
/// when `b` is, 0 when neither (only the sign counts). Call it unqualified by type, so that the
/// string forms below are chosen.
template <typename T> int compare(const T& a, const T& b) {
    return a < b ? -1 : (b < a ? 1 : 0);
}
inline int compare(const QString& a, const QString& b) {
    return QString::compare(a, b);
}
inline int compare(const QByteArray& a, const QByteArray& b) {
    return qstrcmp(a, b);
}

/// One value read as every ordered type at once, so that it can be compared with values of any
/// of them without converting it again.
class AllTypes {
public:
    AllTypes() = default;
    explicit AllTypes(const QVariant& value)
        : m_values(valueAs<bool>(value), valueAs<int>(value), valueAs<uint>(value), valueAs<qlonglong>(value),
                   valueAs<qulonglong>(value), valueAs<double>(value), valueAs<QChar>(value),
                   valueAs<QString>(value), valueAs<QByteArray>(value), valueAs<QDate>(value),
                   valueAs<QTime>(value), valueAs<QDateTime>(value)) {}

    template <typename T> const T& as() const { return std::get<T>(m_values); }

private:
    std::tuple<bool, int, uint, qlonglong, qulonglong, double, QChar, QString, QByteArray, QDate, QTime,
               QDateTime>
        m_values;
};

} // namespace ValueOrder
