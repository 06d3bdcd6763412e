#include "apirequest.h"
#include "servererrors.h"

#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>

namespace suite::server {

// A NUL ("\u0000") ends a text early in C code and in PostgreSQL, which refuses it: no name or code holds one.
static bool holdsNul(const QJsonValue& value)
{
    switch (value.type()) {
    case QJsonValue::String:
        return value.toString().contains(QChar(0));
    case QJsonValue::Array: {
        const QJsonArray array = value.toArray();
        return std::any_of(array.begin(), array.end(), [](const QJsonValue& v) { return holdsNul(v); });
    }
    case QJsonValue::Object: {
        const QJsonObject object = value.toObject();
        for (auto it = object.begin(); it != object.end(); ++it) {
            if (it.key().contains(QChar(0)) || holdsNul(it.value()))
                return true;
        }
        return false;
    }
    default:
        return false;
    }
}

static QJsonObject parseObject(const QByteArray& body)
{
    QJsonParseError error;
    const QJsonDocument doc = QJsonDocument::fromJson(body, &error);
    if (error.error != QJsonParseError::NoError)
        throw RequestError(400, QStringLiteral("malformed JSON: %1").arg(error.errorString()));
    if (!doc.isObject())
        throw RequestError(400, QStringLiteral("the body must be a JSON object"));
    const QJsonObject object = doc.object();
    if (holdsNul(object))
        throw RequestError(400, QStringLiteral("a JSON string holds a NUL character"));
    return object;
}

static QString requiredString(const QJsonObject& object, const char* field)
{
    const QJsonValue v = object.value(QLatin1String(field));
    if (!v.isString())
        throw RequestError(400, QStringLiteral("\"%1\" must be a string").arg(QLatin1String(field)));
    return v.toString();
}

LoginRequest LoginRequest::parse(const QByteArray& body)
{
    const QJsonObject o = parseObject(body);
    return {requiredString(o, "user"), requiredString(o, "password")};
}

ConnectRequest ConnectRequest::parse(const QByteArray& body)
{
    return {requiredString(parseObject(body), "server")};
}

CallRequest CallRequest::parse(const QByteArray& body)
{
    const QJsonObject o = parseObject(body);
    CallRequest request{requiredString(o, "server"), requiredString(o, "method"), {}};
    const QJsonValue args = o.value(QLatin1String("args"));
    if (!args.isArray())
        throw RequestError(400, QStringLiteral("\"args\" must be an array"));
    request.args = args.toArray();
    return request;
}

QString bearerToken(const QString& authorization)
{
    static const QString prefix = QStringLiteral("Bearer ");
    if (!authorization.startsWith(prefix, Qt::CaseInsensitive))
        return {};
    return authorization.mid(prefix.size()).trimmed();
}

} // namespace suite::server
