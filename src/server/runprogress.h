// RunProgress: how far the runs being served have got, per operator, for a client that asks while
// its call is still running. Held by the serving process (a run's own rows are not visible to others
// until it commits), so a progress question must reach the server that serves the run.
#pragma once

#include <QString>

#include <optional>

namespace suite::server {

struct Progress {
    QString phase;
    int done = 0;
    int total = 0; // destinations; 0 when the phase does not count them
};

class RunProgress {
public:
    // The operator's run is at this phase; cleared when the guard goes, on every way out.
    explicit RunProgress(QString operatorCode);
    ~RunProgress();
    RunProgress(const RunProgress&) = delete;
    RunProgress& operator=(const RunProgress&) = delete;

    void report(const QString& phase, int done = 0, int total = 0) const;

    static std::optional<Progress> of(const QString& operatorCode);

private:
    QString m_operator;
};

} // namespace suite::server
