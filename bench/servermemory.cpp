#include "servermemory.h"

#include <QFile>

namespace suite::bench {

double ServerMemory::figure(const char* field) const
{
    QFile status(QStringLiteral("/proc/%1/status").arg(m_pid));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith(field))
            return line.mid(qstrlen(field) + 1).trimmed().split(' ').value(0).toDouble() / 1024;
    }
    return -1;
}

QString ServerMemory::resetPeak() const
{
    // "5" is Linux's reset of VmHWM to the present VmRSS; only the process's owner or root may write it.
    QFile clear(QStringLiteral("/proc/%1/clear_refs").arg(m_pid));
    if (!clear.open(QIODevice::WriteOnly))
        return clear.errorString();
    if (clear.write("5") != 1 || !clear.flush())
        return clear.errorString();
    return {};
}

} // namespace suite::bench
