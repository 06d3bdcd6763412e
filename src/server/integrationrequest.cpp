#include "integrationrequest.h"
#include "keylist.h"
#include "servererrors.h"

#include <shortdate.h>

#include <QSet>

namespace suite::server {

namespace {

bool allDigits(const QString& text)
{
    if (text.isEmpty())
        return false;
    for (const QChar c : text) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return false;
    }
    return true;
}

// A key is the tree code followed by the dish code; the local tree can only be the source's.
std::optional<DishKey> splitKey(const QString& key, const QString& source)
{
    if (key.startsWith(source) && allDigits(key.mid(source.size())))
        return DishKey{source, key.mid(source.size())};
    if (key.startsWith(QLatin1Char('P')) && allDigits(key.mid(1)))
        return DishKey{QStringLiteral("P"), key.mid(1)};
    return std::nullopt;
}

std::optional<QDate> parseDate(const QString& text, const char* which)
{
    if (text.isEmpty())
        return std::nullopt;
    const QDate date = suite::wire::ShortDate(text);
    if (!date.isValid())
        throw ServiceError(
            QStringLiteral("Data %1 inválida: \"%2\" (use dd/mm/aaaa).").arg(QLatin1String(which), text));
    return date;
}

QStringList markedDestinations(const std::optional<wire::Packet>& packet)
{
    if (!packet)
        throw ServiceError(QStringLiteral("Pacote de filiais destino inválido."));
    const int markColumn = packet->columnIndex(QStringLiteral("IDMARCADO"));
    const int codeColumn = packet->columnIndex(QStringLiteral("CDFILIAL"));
    if (markColumn < 0 || codeColumn < 0)
        throw ServiceError(QStringLiteral("Pacote de filiais destino sem as colunas IDMARCADO e CDFILIAL."));
    if (packet->rows().isEmpty())
        throw ServiceError(QStringLiteral("Pacote de filiais destino vazio."));

    QStringList marked;
    QSet<QString> seen;
    for (const QVariantList& row : packet->rows()) {
        const QVariant mark = row.at(markColumn);
        const QVariant code = row.at(codeColumn);
        // The grid draws a null mark as unmarked, so null counts as "N".
        const bool isText = mark.isNull() || mark.typeId() == QMetaType::QString;
        const QString markText = mark.isNull() ? QStringLiteral("N") : mark.toString();
        if (!isText || (markText != QLatin1String("S") && markText != QLatin1String("N")))
            throw ServiceError(QStringLiteral("Marca de filial destino inválida: \"%1\".").arg(markText.left(20)));
        if (code.typeId() != QMetaType::QString || code.toString().isEmpty())
            throw ServiceError(QStringLiteral("Código de filial destino inválido."));
        if (markText == QLatin1String("S") && !seen.contains(code.toString())) {
            seen.insert(code.toString());
            marked.append(code.toString());
        }
    }
    if (marked.isEmpty())
        throw ServiceError(QStringLiteral("Nenhuma filial destino marcada."));
    return marked;
}

} // namespace

IntegrationRequest IntegrationRequest::parse(const wire::Arguments& args)
{
    args.expectCount(6);
    const QString source = args.text(0);
    const QString dishList = args.text(1);
    const QString kinds = args.text(2);
    const std::optional<wire::Packet> destinationPacket = args.packet(3);
    const QString start = args.text(4);
    const QString end = args.text(5);

    IntegrationRequest r;
    if (source.isEmpty())
        throw ServiceError(QStringLiteral("Filial de origem não informada."));
    r.source = source;

    if (kinds.size() != 2 || (kinds.at(0) != QLatin1Char('F') && kinds.at(0) != QLatin1Char('X')) ||
        (kinds.at(1) != QLatin1Char('S') && kinds.at(1) != QLatin1Char('X')))
        throw ServiceError(QStringLiteral("Tipo de receita inválido: \"%1\".").arg(kinds));
    r.kinds = kinds;
    r.local = kinds.at(0) == QLatin1Char('F');
    r.perService = kinds.at(1) == QLatin1Char('S');

    const std::optional<KeyList> keys = KeyList::parse(dishList, false);
    if (!keys)
        throw ServiceError(QStringLiteral("Lista de pratos inválida."));
    if (keys->keys.isEmpty())
        throw ServiceError(QStringLiteral("Nenhum prato informado."));
    r.dishListText = dishList;
    r.dishes.reserve(keys->keys.size());
    for (const QString& key : keys->keys) {
        const std::optional<DishKey> dish = splitKey(key, source);
        if (!dish)
            throw ServiceError(QStringLiteral("Prato inválido na lista: \"%1\".").arg(key.left(40)));
        r.dishes.append(*dish);
    }

    r.destinations = markedDestinations(destinationPacket);

    r.menu = Period::ordered(parseDate(start, "inicial"), parseDate(end, "final"));
    return r;
}

} // namespace suite::server
