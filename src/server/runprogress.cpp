// RunProgress: how far the runs being served have got.
#include "runprogress.h"
#include "serverlog.h"

#include <dberror.h>
#include <sqlrunner.h>

#include <QCryptographicHash>
#include <QHash>
#include <QMutex>
#include <QRegularExpression>

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

// application_name holds 63 bytes of plain ASCII: the operator goes as a digest, the phase as its number.
QString sessionTag(const QString& operatorCode)
{
    return QStringLiteral("suite-intg %1").arg(QString::fromLatin1(
        QCryptographicHash::hash(operatorCode.toUtf8(), QCryptographicHash::Sha256).toHex().left(16)));
}

} // namespace

QString RunProgress::text(Phase phase, qint64 run)
{
    switch (phase) {
    case Phase::Starting:
        return QStringLiteral("Iniciando");
    case Phase::Waiting:
        return QStringLiteral("Aguardando outras integrações");
    case Phase::Checking:
        return QStringLiteral("Verificando pratos e filiais");
    case Phase::ComparingService:
        return QStringLiteral("Comparando receitas por serviço");
    case Phase::ComparingLocal:
        return QStringLiteral("Comparando receitas locais");
    case Phase::WritingService:
        return QStringLiteral("Gravando receitas por serviço");
    case Phase::WritingLocal:
        return QStringLiteral("Gravando receitas locais");
    case Phase::Finishing:
        return QStringLiteral("Concluindo");
    case Phase::Undoing:
        return QStringLiteral("Desfazendo a integração %1").arg(run);
    }
    return {};
}

RunProgress::RunProgress(QString operatorCode, const db::SqlRunner& sql)
    : m_operator(std::move(operatorCode))
    , m_sql(sql)
{
    report(Phase::Starting);
}

RunProgress::~RunProgress()
{
    if (!m_sql.isPostgres()) {
        const QMutexLocker guard(&lock());
        runs().remove(m_operator);
        return;
    }
    // A destructor must not throw; a name left behind is replaced by the session's next run.
    try {
        m_sql.run(QStringLiteral("concluir o progresso"), QStringLiteral("RESET application_name"));
    } catch (const db::DbError& e) {
        qCWarning(lcServer).noquote() << e.message();
    }
}

void RunProgress::report(Phase phase, int done, int total, qint64 run) const
{
    if (!m_sql.isPostgres()) {
        const QMutexLocker guard(&lock());
        runs().insert(m_operator, {text(phase, run), done, total});
        return;
    }
    // Said outside the run's transaction as much as inside it: a SET is seen by other sessions at once. Only
    // digits follow the tag, so the text is safe to write as it stands.
    m_sql.run(QStringLiteral("informar o progresso"),
              QStringLiteral("SET application_name = '%1 %2 %3 %4 %5'")
                  .arg(sessionTag(m_operator))
                  .arg(int(phase))
                  .arg(run)
                  .arg(done)
                  .arg(total));
}

std::optional<Progress> RunProgress::of(const db::SqlRunner& sql, const QString& operatorCode)
{
    if (!sql.isPostgres()) {
        const QMutexLocker guard(&lock());
        const auto it = runs().constFind(operatorCode);
        if (it == runs().constEnd())
            return std::nullopt;
        return *it;
    }
    const QString tag = sessionTag(operatorCode);
    QSqlQuery q = sql.run(QStringLiteral("ler o progresso"),
                          QStringLiteral("SELECT application_name FROM pg_stat_activity WHERE datname ="
                                         " current_database() AND application_name LIKE :tag ORDER BY backend_start"),
                          {{":tag", tag + QStringLiteral(" %")}});
    static const QRegularExpression said(QStringLiteral("^suite-intg [0-9a-f]{16} (\\d+) (\\d+) (\\d+) (\\d+)$"));
    while (q.next()) {
        const QRegularExpressionMatch m = said.match(q.value(0).toString());
        const int phase = m.hasMatch() ? m.captured(1).toInt() : -1;
        if (phase < int(Phase::Starting) || phase > int(Phase::Undoing))
            continue;
        return Progress{text(Phase(phase), m.captured(2).toLongLong()), m.captured(3).toInt(), m.captured(4).toInt()};
    }
    return std::nullopt;
}

} // namespace suite::server
