// In-memory copies of shared tables that screens ask the host to keep fresh.
#include "localcache.h"
#include "hostlog.h"

#include <errors.h>

#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>

namespace suite::host {

namespace {

// Names come from module code: only a table the database really has is read, never spliced text.
QString catalogName(const QString& name, const QSqlDatabase& database)
{
    const QStringList tables = database.tables(QSql::Tables);
    for (const QString& table : tables) {
        if (table.compare(name, Qt::CaseInsensitive) == 0)
            return table;
    }
    throw mrv::Exception(QStringLiteral("Cache local: a tabela %1 não existe no banco de dados.").arg(name));
}

} // namespace

LocalCache::LocalCache(QObject* parent)
    : QObject(parent)
{}

void LocalCache::refresh(const QStringList& names, const QSqlDatabase& database)
{
    if (!database.isOpen())
        throw mrv::Exception(QStringLiteral("Cache local: o banco de dados não está aberto."));
    for (const QString& requested : names) {
        const QString name = catalogName(requested.trimmed(), database);
        QSqlQuery query(database);
        query.setForwardOnly(true);
        const QString table = database.driver()->escapeIdentifier(name, QSqlDriver::TableName);
        if (!query.exec(QStringLiteral("SELECT * FROM %1").arg(table))) {
            throw mrv::Exception(QStringLiteral("Cache local: falha ao ler a tabela %1: %2")
                                     .arg(name.toUpper(), query.lastError().text()));
        }
        Table fresh{name.toUpper(), {}, {}};
        while (query.next())
            fresh.rows.append(query.record());
        fresh.refreshedAt = QDateTime::currentDateTime();
        qCInfo(lcHost) << "local cache" << fresh.name << fresh.rows.size() << "rows";
        m_tables[fresh.name] = std::move(fresh);
    }
    emit refreshed();
}

const LocalCache::Table* LocalCache::table(const QString& name) const
{
    const auto it = m_tables.find(name.toUpper());
    return it == m_tables.end() ? nullptr : &it->second;
}

QStringList LocalCache::names() const
{
    QStringList result;
    for (const auto& entry : m_tables)
        result.append(entry.first);
    return result;
}

QString LocalCache::summary() const
{
    if (m_tables.empty())
        return QStringLiteral("Cache local vazio");
    QStringList parts;
    for (const auto& [name, table] : m_tables) {
        parts.append(QStringLiteral("%1: %2 linhas às %3")
                         .arg(name)
                         .arg(table.rows.size())
                         .arg(table.refreshedAt.toString(QStringLiteral("HH:mm:ss"))));
    }
    return QStringLiteral("Cache local: ") + parts.join(QStringLiteral("; "));
}

} // namespace suite::host
