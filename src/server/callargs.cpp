#include "callargs.h"
#include "servererrors.h"

#include <cmath>

namespace suite::server {

CallArgs::CallArgs(QString method, QJsonArray args) : m_method(std::move(method)), m_args(std::move(args)) {}

void CallArgs::expectCount(int count) const
{
    if (m_args.size() != count)
        throw RequestError(400, QStringLiteral("%1 expects %2 arguments, got %3")
                                    .arg(m_method).arg(count).arg(m_args.size()));
}

void CallArgs::wrongKind(int index, const char *expected) const
{
    throw RequestError(400, QStringLiteral("%1: argument %2 must be %3")
                                .arg(m_method).arg(index + 1).arg(QLatin1String(expected)));
}

QString CallArgs::text(int index) const
{
    const QJsonValue v = m_args.at(index);
    if (!v.isString())
        wrongKind(index, "a string");
    return v.toString();
}

int CallArgs::integer(int index) const
{
    const QJsonValue v = m_args.at(index);
    const double d = v.toDouble();
    if (!v.isDouble() || std::floor(d) != d || std::fabs(d) > 1e9)
        wrongKind(index, "an integer");
    return static_cast<int>(d);
}

std::optional<QDate> CallArgs::date(int index) const
{
    const QJsonValue v = m_args.at(index);
    if (v.isNull())
        return std::nullopt;
    const QDate d = v.isString() ? QDate::fromString(v.toString(), QStringLiteral("yyyy-MM-dd")) : QDate();
    if (!d.isValid())
        wrongKind(index, "a date \"yyyy-MM-dd\" or null");
    return d;
}

QJsonValue CallArgs::object(int index) const
{
    const QJsonValue v = m_args.at(index);
    if (!v.isObject())
        wrongKind(index, "a data packet");
    return v;
}

} // namespace suite::server
