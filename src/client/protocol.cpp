#include "protocol.h"
#include "errors.h"

#include <QJsonValue>

namespace mrv {

QString Ajusta(const QString& text, int width)
{
    const QString trimmed = text.trimmed();
    if (trimmed.size() >= width)
        return trimmed;
    return QString(width - trimmed.size(), QLatin1Char('0')) + trimmed;
}

QStringList choiceKeys(const QString& list)
{
    return list.split(QLatin1Char('_'), Qt::SkipEmptyParts);
}

QString choiceList(const QStringList& keys)
{
    QString list;
    for (const QString& key : keys)
        list += key + QLatin1Char('_');
    return list;
}

QJsonObject CheckResultServ(const QJsonObject& answer, bool raise, int)
{
    const QJsonValue error = answer.value(QLatin1String("error"));
    if (!error.isUndefined() && !error.isNull()) {
        if (!raise)
            return {};
        QString message = error.toObject().value(QLatin1String("message")).toString();
        if (message.isEmpty())
            message = QStringLiteral("O servidor de aplicação informou um erro sem mensagem.");
        throw ServiceRefusal(message);
    }
    const QJsonValue result = answer.value(QLatin1String("result"));
    if (!result.isObject()) {
        if (!raise)
            return {};
        throw Exception(QStringLiteral("Resposta do servidor de aplicação sem pacote de dados."));
    }
    return result.toObject();
}

} // namespace mrv
