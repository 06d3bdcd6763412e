#include "apirequest.h"
#include "servererrors.h"

#include <jsoncursor.h>

#include <functional>
#include <optional>

namespace suite::server {

// The most bytes of a named string member's text.
constexpr qsizetype kMaxMemberBytes = 4096;

// Reads the value of a member that is not one of the strings asked for; false to have it checked and skipped.
using OtherMember = std::function<bool(const QString& key, wire::JsonCursor& cursor)>;

// The named string members of a JSON object, read in place; any other member is checked and skipped. A member
// sent twice counts as its last, as Qt's parser reads it.
static QList<std::optional<QString>> stringMembers(QByteArrayView body, std::initializer_list<const char*> names,
                                                   const OtherMember& other = {})
{
    QList<std::optional<QString>> values(qsizetype(names.size()));
    try {
        wire::JsonCursor cursor(body);
        if (cursor.peek() != '{') {
            cursor.skipValue();
            throw RequestError(400, QStringLiteral("the body must be a JSON object"));
        }
        cursor.forEachMember([&](const QString& key) {
            qsizetype i = 0;
            for (const char* name : names) {
                if (key == QLatin1String(name))
                    break;
                ++i;
            }
            if (i < values.size() && cursor.peek() == '"') {
                // Names, a user and a password are short: a longer text is refused before it is decoded.
                const QByteArrayView text = cursor.skipValue();
                if (text.size() > kMaxMemberBytes)
                    throw RequestError(400, QStringLiteral("\"%1\" is too long").arg(key));
                values[i] = wire::scalarOf(text).toString();
                return;
            }
            if (i < values.size())
                values[i].reset();
            else if (other && other(key, cursor))
                return;
            cursor.skipValue();
        });
        if (!cursor.atEnd())
            cursor.fail("text after the object");
    } catch (const wire::JsonTextError& e) {
        throw RequestError(400, e.message());
    }
    qsizetype i = 0;
    for (const char* name : names) {
        if (!values.at(i++))
            throw RequestError(400, QStringLiteral("\"%1\" must be a string").arg(QLatin1String(name)));
    }
    return values;
}

LoginRequest LoginRequest::parse(const QByteArray& body)
{
    const auto values = stringMembers(body, {"user", "password"});
    return {*values.at(0), *values.at(1)};
}

ConnectRequest ConnectRequest::parse(const QByteArray& body)
{
    return {*stringMembers(body, {"server"}).at(0)};
}

CallRequest CallRequest::parse(const QByteArray& body)
{
    // A call may carry a packet of megabytes: it is checked in place, never built whole, so that a call refused
    // for its rights or its counts has cost little more than its own text.
    CallRequest request;
    request.body = body;
    bool argsSeen = false;
    const auto args = [&](const QString& key, wire::JsonCursor& cursor) {
        if (key != QLatin1String("args"))
            return false;
        argsSeen = cursor.peek() == '[';
        request.args.clear();
        if (!argsSeen)
            return false;
        cursor.forEachElement([&] {
            if (request.args.size() == kMaxArguments)
                throw RequestError(400, QStringLiteral("a call takes at most %1 arguments").arg(kMaxArguments));
            request.args.append(cursor.skipValue());
        });
        return true;
    };
    const auto values = stringMembers(body, {"server", "method"}, args);
    if (!argsSeen)
        throw RequestError(400, QStringLiteral("\"args\" must be an array"));
    request.server = *values.at(0);
    request.method = *values.at(1);
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
