// A setting of `suite-server serve` refused at start: which key, why, and where it was given.
#pragma once

#include <QString>
#include <stdexcept>

namespace suite::server {

class ConfigError : public std::runtime_error {
public:
    // `message` names the key as the reader should see it; `file` and `line` are added by whoever knows them.
    ConfigError(const QString& key, const QString& message, const QString& file = {}, int line = 0)
        : std::runtime_error(placed(message, file, line).toStdString())
        , m_key(key)
        , m_message(message)
        , m_file(file)
        , m_line(line)
    {}

    // The same refusal, said of `file` at `line` (0: of the whole file).
    ConfigError at(const QString& file, int line) const { return ConfigError(m_key, m_message, file, line); }

    QString key() const { return m_key; }
    QString message() const { return m_message; } // without the file and line
    QString file() const { return m_file; }
    int line() const { return m_line; }

private:
    static QString placed(const QString& message, const QString& file, int line)
    {
        if (file.isEmpty())
            return message;
        return line > 0 ? QStringLiteral("%1:%2: %3").arg(file).arg(line).arg(message)
                        : QStringLiteral("%1: %2").arg(file, message);
    }

    QString m_key;
    QString m_message;
    QString m_file;
    int m_line;
};

} // namespace suite::server
