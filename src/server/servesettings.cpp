// The keys of serve's settings, each read strictly from its text, and how the file's and the command line's meet.
#include "servesettings.h"

#include "configerror.h"
#include "signingkey.h"

#include <dberror.h>
#include <dburl.h>

#include <QDir>
#include <QRegularExpression>

#include <arpa/inet.h>
#include <cmath>

namespace suite::server {
namespace {

using std::chrono::milliseconds;

struct Text {
    QString key;
    QString value;
    QString baseDir;
};

[[noreturn]] void refuse(const Text& text, const QString& why)
{
    throw ConfigError(text.key, QStringLiteral("%1: %2").arg(text.key, why));
}

QString quoted(const QString& value)
{
    return QLatin1Char('"') + value + QLatin1Char('"');
}

QString nonEmpty(const Text& text)
{
    if (text.value.isEmpty())
        refuse(text, QStringLiteral("has no value (leave the key out for its default)"));
    return text.value;
}

QString path(const Text& text)
{
    const QString value = nonEmpty(text);
    return text.baseDir.isEmpty() || QDir::isAbsolutePath(value) ? value : QDir(text.baseDir).filePath(value);
}

// A SQLite file path is taken like any path; a URL as it is, once it parses.
QString database(const Text& text)
{
    const QString value = nonEmpty(text);
    try {
        if (db::DbUrl::parse(value).dialect() == db::Dialect::SQLite && !value.contains(QLatin1String("://")))
            return path(text);
    } catch (const db::DbError& e) {
        refuse(text, e.message());
    }
    return value;
}

ListenAddress listen(const Text& text)
{
    const QString value = nonEmpty(text);
    const int colon = value.lastIndexOf(QLatin1Char(':'));
    bool ok = colon > 0;
    const int port = ok ? value.mid(colon + 1).toInt(&ok) : 0;
    if (!ok || port < 0 || port > 65535)
        refuse(text, QStringLiteral("%1 is not HOST:PORT (a port from 0 to 65535)").arg(quoted(value)));
    QString host = value.left(colon);
    if (host.startsWith(QLatin1Char('[')) && host.endsWith(QLatin1Char(']')))
        host = host.mid(1, host.size() - 2); // [::1]:8211
    return {host, port};
}

bool boolean(const Text& text)
{
    static const QStringList yes{QStringLiteral("true"), QStringLiteral("yes"), QStringLiteral("on")};
    static const QStringList no{QStringLiteral("false"), QStringLiteral("no"), QStringLiteral("off")};
    if (yes.contains(text.value))
        return true;
    if (no.contains(text.value))
        return false;
    refuse(text, QStringLiteral("%1 is neither true nor false").arg(quoted(text.value)));
}

qint64 count(const Text& text, qint64 least, qint64 most)
{
    bool ok = false;
    const qint64 n = text.value.toLongLong(&ok);
    if (!ok)
        refuse(text, QStringLiteral("%1 is not a whole number").arg(quoted(text.value)));
    if (n < least || n > most)
        refuse(text, QStringLiteral("%1 is not from %2 to %3").arg(quoted(text.value)).arg(least).arg(most));
    return n;
}

milliseconds seconds(const Text& text)
{
    constexpr double kMost = 3600;
    bool ok = false;
    const double s = text.value.toDouble(&ok);
    if (!ok || !std::isfinite(s))
        refuse(text, QStringLiteral("%1 is not a number of seconds").arg(quoted(text.value)));
    const milliseconds ms(std::llround(s * 1000));
    if (ms.count() <= 0 || s > kMost)
        refuse(text, QStringLiteral("%1 is not more than 0 and at most %2 seconds").arg(quoted(text.value)).arg(kMost));
    return ms;
}

// An address or a network (ADDRESS/BITS), written the one way inet_ntop writes it. Names are refused: whom a
// forwarded address is believed from must not hang on what a name server answers.
QString proxy(const Text& text, const QString& item)
{
    const qsizetype slash = item.indexOf(QLatin1Char('/'));
    const QByteArray address = item.left(slash).toLatin1();
    unsigned char bytes[16];
    const int family = address.contains(':') ? AF_INET6 : AF_INET;
    bool ok = ::inet_pton(family, address.constData(), bytes) == 1;
    int bits = family == AF_INET6 ? 128 : 32;
    if (ok && slash >= 0) {
        const int maxBits = bits;
        bits = item.mid(slash + 1).toInt(&ok);
        ok = ok && bits >= 0 && bits <= maxBits && item.mid(slash + 1).front().isDigit();
    }
    if (!ok)
        refuse(text, QStringLiteral("%1 is not an IP address or ADDRESS/BITS").arg(quoted(item)));
    char written[INET6_ADDRSTRLEN];
    ::inet_ntop(family, bytes, written, sizeof written);
    const QString canonical = QString::fromLatin1(written);
    return slash >= 0 ? QStringLiteral("%1/%2").arg(canonical).arg(bits) : canonical;
}

QStringList proxies(const Text& text)
{
    static const QRegularExpression separators(QStringLiteral("[,\\s]+"));
    QStringList list;
    for (const QString& item : nonEmpty(text).split(separators, Qt::SkipEmptyParts))
        list << proxy(text, item);
    if (list.isEmpty())
        refuse(text, QStringLiteral("names no address"));
    return list;
}

LogLevel logLevel(const Text& text)
{
    if (text.value == QLatin1String("warning"))
        return LogLevel::Warning;
    if (text.value == QLatin1String("info"))
        return LogLevel::Info;
    if (text.value == QLatin1String("debug"))
        return LogLevel::Debug;
    refuse(text, QStringLiteral("%1 is not warning, info or debug").arg(quoted(text.value)));
}

struct Setting {
    const char* section;
    const char* name;
    void (*assign)(ServeSettings&, const Text&);
};

constexpr int kMostConnections = 1000000;

const Setting kSettings[] = {
    {"server", "listen", [](ServeSettings& s, const Text& t) { s.listen = listen(t); }},
    {"server", "database", [](ServeSettings& s, const Text& t) { s.database = database(t); }},
    {"server", "key-file", [](ServeSettings& s, const Text& t) { s.keyFile = path(t); }},
    {"server", "tls-cert", [](ServeSettings& s, const Text& t) { s.tlsCertificate = path(t); }},
    {"server", "tls-key", [](ServeSettings& s, const Text& t) { s.tlsKey = path(t); }},
    {"server", "insecure-plain-http", [](ServeSettings& s, const Text& t) { s.insecurePlainHttp = boolean(t); }},
    {"server", "trusted-proxies", [](ServeSettings& s, const Text& t) { s.trustedProxies = proxies(t); }},
    {"server", "database-workers", [](ServeSettings& s, const Text& t) { s.threads = int(count(t, 1, 256)); }},
    {"server", "statement-timeout", [](ServeSettings& s, const Text& t) { s.statementTimeout = seconds(t); }},
    {"server", "log-level", [](ServeSettings& s, const Text& t) { s.logLevel = logLevel(t); }},
    {"connections", "per-address",
     [](ServeSettings& s, const Text& t) { s.perAddress = int(count(t, 1, kMostConnections)); }},
    {"connections", "total", [](ServeSettings& s, const Text& t) { s.total = int(count(t, 1, kMostConnections)); }},
    {"connections", "request-deadline", [](ServeSettings& s, const Text& t) { s.requestDeadline = seconds(t); }},
    {"connections", "answer-deadline", [](ServeSettings& s, const Text& t) { s.answerDeadline = seconds(t); }},
    {"connections", "keep-alive", [](ServeSettings& s, const Text& t) { s.keepAlive = seconds(t); }},
    {"connections", "loop-threads", [](ServeSettings& s, const Text& t) { s.loopThreads = int(count(t, 1, 64)); }},
    {"connections", "requests-per-connection",
     [](ServeSettings& s, const Text& t) { s.requestsPerConnection = int(count(t, 1, 1000000000)); }},
    {"connections", "header-limit",
     [](ServeSettings& s, const Text& t) { s.headerLimit = std::size_t(count(t, 1024, 1024 * 1024)); }},
};

const Setting* find(const QString& section, const QString& key)
{
    for (const Setting& k : kSettings)
        if (section == QLatin1String(k.section) && key == QLatin1String(k.name))
            return &k;
    return nullptr;
}

template<typename T> void layOver(std::optional<T>& under, const std::optional<T>& over)
{
    if (over)
        under = over;
}

} // namespace

QStringList ServeSettings::sections()
{
    return {QStringLiteral("server"), QStringLiteral("connections")};
}

bool ServeSettings::knows(const QString& section, const QString& key)
{
    return find(section, key) != nullptr;
}

void ServeSettings::assign(const QString& section, const QString& key, const QString& text, const QString& baseDir)
{
    const Setting* found = find(section, key);
    if (!found)
        throw ConfigError(key, QStringLiteral("unknown key %1 in [%2]").arg(quoted(key), section));
    found->assign(*this, Text{key, text, baseDir});
}

ServeSettings ServeSettings::merged(const ServeSettings& file, const ServeSettings& commandLine)
{
    ServeSettings s = file;
    const ServeSettings& c = commandLine;
    if (c.insecurePlainHttp.value_or(false)) {
        s.tlsCertificate.reset();
        s.tlsKey.reset();
    }
    if (c.tlsCertificate || c.tlsKey)
        s.insecurePlainHttp.reset();
    layOver(s.listen, c.listen);
    layOver(s.database, c.database);
    layOver(s.keyFile, c.keyFile);
    layOver(s.tlsCertificate, c.tlsCertificate);
    layOver(s.tlsKey, c.tlsKey);
    layOver(s.insecurePlainHttp, c.insecurePlainHttp);
    layOver(s.trustedProxies, c.trustedProxies);
    layOver(s.threads, c.threads);
    layOver(s.statementTimeout, c.statementTimeout);
    layOver(s.logLevel, c.logLevel);
    layOver(s.perAddress, c.perAddress);
    layOver(s.total, c.total);
    layOver(s.requestDeadline, c.requestDeadline);
    layOver(s.answerDeadline, c.answerDeadline);
    layOver(s.keepAlive, c.keepAlive);
    layOver(s.loopThreads, c.loopThreads);
    layOver(s.requestsPerConnection, c.requestsPerConnection);
    layOver(s.headerLimit, c.headerLimit);
    return s;
}

ServerOptions ServeSettings::serverOptions() const
{
    if (!database)
        throw ConfigError(QStringLiteral("database"),
                          QStringLiteral("--database is required (or database in the [server] section of --config)"));
    if (tlsCertificate.has_value() != tlsKey.has_value())
        throw ConfigError(tlsCertificate ? QStringLiteral("tls-key") : QStringLiteral("tls-cert"),
                          QStringLiteral("HTTPS wants both tls-cert and tls-key"));
    if (insecurePlainHttp.value_or(false) && tlsCertificate)
        throw ConfigError(QStringLiteral("insecure-plain-http"),
                          QStringLiteral("insecure-plain-http and tls-cert exclude each other"));

    ServerOptions o;
    o.databaseUrl = *database;
    o.keyFile = keyFile ? *keyFile : defaultKeyPath(*database);
    if (o.keyFile.isEmpty())
        throw ConfigError(QStringLiteral("key-file"),
                          QStringLiteral("a PostgreSQL database needs key-file (--key-file KEY): the file of the key "
                                         "that signs the tokens, the same for all its servers"));
    if (listen) {
        o.host = listen->host;
        o.port = listen->port;
    }
    o.tlsCertificate = tlsCertificate.value_or(QString());
    o.tlsKey = tlsKey.value_or(QString());
    o.insecurePlainHttp = insecurePlainHttp.value_or(false);
    o.trustedProxies = trustedProxies.value_or(QStringList());
    o.threads = threads.value_or(o.threads);
    o.statementTimeout = statementTimeout.value_or(o.statementTimeout);
    ConnectionLimits& c = o.connections;
    c.perAddress = perAddress.value_or(c.perAddress);
    c.total = total.value_or(c.total);
    c.requestDeadline = requestDeadline.value_or(c.requestDeadline);
    c.answerDeadline = answerDeadline.value_or(c.answerDeadline);
    c.keepAlive = keepAlive.value_or(c.keepAlive);
    c.loopThreads = loopThreads.value_or(c.loopThreads);
    c.requestsPerConnection = requestsPerConnection.value_or(c.requestsPerConnection);
    c.headerLimit = headerLimit.value_or(c.headerLimit);
    return o;
}

QString ServeSettings::loggingRules() const
{
    if (!logLevel)
        return {};
    // "suite.server*" also takes the categories under suite.server.
    const bool info = *logLevel != LogLevel::Warning;
    const bool debug = *logLevel == LogLevel::Debug;
    return QStringLiteral("suite.server*.info=%1\nsuite.server*.debug=%2\n")
        .arg(info ? QLatin1String("true") : QLatin1String("false"),
             debug ? QLatin1String("true") : QLatin1String("false"));
}

} // namespace suite::server
