// RunLog: the log of a recorded run, built from its stored observations: by the run itself when it
// answers, and by the history later.
#pragma once

#include <packet.h>

#include <optional>

namespace suite::db {
class SqlRunner;
}

namespace suite::server {

class RunLog {
public:
    explicit RunLog(const db::SqlRunner& sql)
        : m_sql(sql)
    {}

    // The thirteen log columns, one row per observation in the log's order, the first `limit` of them when one is
    // given. Throws ServiceError for an unknown run.
    wire::Packet rows(qint64 run, std::optional<int> limit = std::nullopt) const;

    // A moment of the history as the log shows it, "dd/MM/yyyy HH:mm:ss"; "" for none.
    static QString timeText(const QVariant& stored);

private:
    const db::SqlRunner& m_sql;
};

} // namespace suite::server
