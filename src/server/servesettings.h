// The settings of `suite-server serve` as one source gives them (the configuration file or the command line), each
// unset until given, and the ServerOptions they make once the command line's are laid over the file's.
#pragma once

#include "httpserver.h"

#include <QString>
#include <QStringList>
#include <chrono>
#include <cstddef>
#include <optional>

namespace suite::server {

enum class LogLevel { Warning, Info, Debug };

struct ListenAddress {
    QString host;
    int port = 0;
};

struct ServeSettings {
    // [server]
    std::optional<ListenAddress> listen;
    std::optional<QString> database;
    std::optional<QString> keyFile;
    std::optional<QString> tlsCertificate;
    std::optional<QString> tlsKey;
    std::optional<bool> insecurePlainHttp;
    std::optional<QStringList> trustedProxies;
    std::optional<int> threads;
    std::optional<std::chrono::milliseconds> statementTimeout;
    std::optional<LogLevel> logLevel;
    // [connections]
    std::optional<int> perAddress;
    std::optional<int> total;
    std::optional<std::chrono::milliseconds> requestDeadline;
    std::optional<std::chrono::milliseconds> answerDeadline;
    std::optional<std::chrono::milliseconds> keepAlive;
    std::optional<int> loopThreads;
    std::optional<int> requestsPerConnection;
    std::optional<std::size_t> headerLimit;

    // The sections a key may be in.
    static QStringList sections();
    // Whether `section` has a key `key`.
    static bool knows(const QString& section, const QString& key);

    // Sets `key` of `section` from its text; a relative path is taken from `baseDir` (empty: as given). Throws
    // ConfigError naming the key when the key is unknown or the text is no value of it.
    void assign(const QString& section, const QString& key, const QString& text, const QString& baseDir = {});

    // The file's settings with every one the command line gives in their place. The command line's choice between
    // HTTPS and plain HTTP replaces the file's whole, so that either can be tried without editing the file.
    static ServeSettings merged(const ServeSettings& file, const ServeSettings& commandLine);

    // What serve runs with: the defaults for what is unset, the signing key beside a SQLite database. Throws
    // ConfigError when the settings do not make a server: no database, half a TLS pair, TLS and plain HTTP.
    ServerOptions serverOptions() const;

    // Qt logging rules for the log level of the suite.server categories; empty when it is unset.
    QString loggingRules() const;
};

} // namespace suite::server
