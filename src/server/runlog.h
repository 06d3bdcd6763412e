// RunLog: the log of a recorded run, built from its stored observations: by the run itself when it
// answers, and by the history later.
#pragma once

#include <packet.h>

#include <QVariantMap>

#include <optional>

namespace suite::db {
class SqlRunner;
}

namespace suite::server {

class RunLog {
public:
    // viewer: an operator who sees only the rows of its own branches and those of no branch; empty: every row.
    explicit RunLog(const db::SqlRunner& sql, QString viewer = {})
        : m_sql(sql)
        , m_viewer(std::move(viewer))
    {}

    // The thirteen log columns, one row per observation in the log's order, the first `limit` of them when one is
    // given. Throws ServiceError for an unknown run.
    wire::Packet rows(qint64 run, std::optional<int> limit = std::nullopt) const;
    // How many rows rows() gives without a limit.
    qint64 count(qint64 run) const;

    // A moment of the history as the log shows it, "dd/MM/yyyy HH:mm:ss"; "" for none.
    static QString timeText(const QVariant& stored);

private:
    // The observations of the run the viewer may see, as a condition on INTGCENTRALOBS o.
    QString visible() const;
    QVariantMap binds(qint64 run) const;

    const db::SqlRunner& m_sql;
    QString m_viewer;
};

} // namespace suite::server
