// RunProgress: how far the runs being served have got, per operator, for a client that asks while its call is still
// running. A run's rows are invisible to others until it commits, so the progress is not kept in a table: each
// serving process keeps its own runs', and on PostgreSQL a run also says its progress in its own session's
// application_name, which every session of the database sees at once, so any server of the database can answer.
// A session that ends takes its progress with it: a server that died leaves nothing that looks like a run. SQLite
// has one writer and one server, whose own record is the whole story.
#pragma once

#include <QString>

#include <optional>

namespace suite::db {
class SqlRunner;
}

namespace suite::server {

enum class Phase {
    Starting,
    Waiting, // for other runs over the same destinations
    Checking,
    ComparingService,
    ComparingLocal,
    WritingService,
    WritingLocal,
    Finishing,
    Undoing, // run number in `run`
};

struct Progress {
    QString phase;
    int done = 0;
    int total = 0; // destinations; 0 when the phase does not count them
};

class RunProgress {
public:
    // The operator's run, on the connection `sql` (kept by the caller), is at this phase; cleared when the guard
    // goes, on every way out.
    RunProgress(QString operatorCode, const db::SqlRunner& sql);
    ~RunProgress();
    RunProgress(const RunProgress&) = delete;
    RunProgress& operator=(const RunProgress&) = delete;

    void report(Phase phase, int done = 0, int total = 0, qint64 run = 0) const;

    // The operator's run in progress: in this process, or on PostgreSQL in any server's session of the database.
    static std::optional<Progress> of(const db::SqlRunner& sql, const QString& operatorCode);
    static QString text(Phase phase, qint64 run);

private:
    QString m_operator;
    const db::SqlRunner& m_sql;
};

} // namespace suite::server
