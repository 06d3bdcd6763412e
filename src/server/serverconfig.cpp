// The strict reader of serve's configuration file.
#include "serverconfig.h"

#include "configerror.h"

#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>

namespace suite::server {

ServerConfig::ServerConfig(const QString& path)
    : m_path(path)
    , m_baseDir(QFileInfo(path).absolutePath())
{}

ServeSettings ServerConfig::read(const QString& path)
{
    QFile file(path);
    if (QFileInfo(path).isDir() || !file.open(QIODevice::ReadOnly))
        throw ConfigError({}, QStringLiteral("cannot be read: %1")
                                  .arg(QFileInfo(path).isDir() ? QStringLiteral("a folder") : file.errorString()))
            .at(path, 0);
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString text = utf8(file.readAll());
    if (utf8.hasError())
        throw ConfigError({}, QStringLiteral("is not UTF-8 text")).at(path, 0);

    ServerConfig config(path);
    const QStringList lines = text.split(QLatin1Char('\n'));
    for (int i = 0; i < lines.size(); ++i) {
        try {
            config.readLine(lines[i].trimmed(), i + 1);
        } catch (const ConfigError& e) {
            throw e.at(path, i + 1);
        }
    }
    return config.m_settings;
}

void ServerConfig::readLine(const QString& text, int number)
{
    if (text.isEmpty() || text.startsWith(QLatin1Char('#')) || text.startsWith(QLatin1Char(';')))
        return;
    if (text.startsWith(QLatin1Char('[')))
        return readSection(text);
    const qsizetype equals = text.indexOf(QLatin1Char('='));
    const QString key = text.left(equals).trimmed();
    if (equals < 0 || key.isEmpty())
        throw ConfigError({}, QStringLiteral("\"%1\" is neither \"key = value\" nor a [section]").arg(text));
    if (m_section.isEmpty())
        throw ConfigError(key, QStringLiteral("key \"%1\" comes before any section: put it under [%2]")
                                   .arg(key, ServeSettings::sections().join(QStringLiteral("] or ["))));
    if (!ServeSettings::knows(m_section, key)) {
        for (const QString& other : ServeSettings::sections())
            if (ServeSettings::knows(other, key))
                throw ConfigError(key,
                                  QStringLiteral("key \"%1\" belongs in [%2], not in [%3]").arg(key, other, m_section));
    }
    const QString id = m_section + QLatin1Char('/') + key;
    if (const auto first = m_lineOf.constFind(id); first != m_lineOf.constEnd())
        throw ConfigError(key, QStringLiteral("key \"%1\" given twice (first on line %2)").arg(key).arg(*first));
    m_lineOf.insert(id, number);
    m_settings.assign(m_section, key, text.mid(equals + 1).trimmed(), m_baseDir);
}

void ServerConfig::readSection(const QString& text)
{
    const QString name = text.endsWith(QLatin1Char(']')) ? text.mid(1, text.size() - 2).trimmed() : QString();
    if (!ServeSettings::sections().contains(name))
        throw ConfigError(name, QStringLiteral("unknown section %1: the sections are [%2]")
                                    .arg(text, ServeSettings::sections().join(QStringLiteral("] and ["))));
    m_section = name;
}

} // namespace suite::server
