// A server process's resident memory as Linux reports it in /proc, and the reset of its peak.
#pragma once

#include <QString>

namespace suite::bench {

class ServerMemory {
public:
    explicit ServerMemory(qint64 pid)
        : m_pid(pid)
    {}

    // In MB; -1 when /proc does not say.
    double resident() const { return figure("VmRSS:"); }
    double peak() const { return figure("VmHWM:"); }

    // Starts the peak afresh at the present figure; empty on success, else why not.
    QString resetPeak() const;

private:
    double figure(const char* field) const;

    qint64 m_pid;
};

} // namespace suite::bench
