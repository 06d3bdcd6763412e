// RunProgress: how far the runs being served have got.
#include "runprogress.h"

#include <QHash>
#include <QMutex>

namespace suite::server {

namespace {

QMutex& lock()
{
    static QMutex mutex;
    return mutex;
}

QHash<QString, Progress>& runs()
{
    static QHash<QString, Progress> byOperator;
    return byOperator;
}

} // namespace

RunProgress::RunProgress(QString operatorCode)
    : m_operator(std::move(operatorCode))
{
    report(QStringLiteral("Iniciando"));
}

RunProgress::~RunProgress()
{
    const QMutexLocker guard(&lock());
    runs().remove(m_operator);
}

void RunProgress::report(const QString& phase, int done, int total) const
{
    const QMutexLocker guard(&lock());
    runs().insert(m_operator, {phase, done, total});
}

std::optional<Progress> RunProgress::of(const QString& operatorCode)
{
    const QMutexLocker guard(&lock());
    const auto it = runs().constFind(operatorCode);
    if (it == runs().constEnd())
        return std::nullopt;
    return *it;
}

} // namespace suite::server
