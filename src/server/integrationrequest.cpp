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

// A tree code is "P" or a branch code: up to four capital letters or digits, as the log's tree column holds.
bool isTreeCode(const QString& text)
{
    if (text.isEmpty() || text.size() > 4)
        return false;
    for (const QChar c : text) {
        if (!(c >= QLatin1Char('0') && c <= QLatin1Char('9')) && !(c >= QLatin1Char('A') && c <= QLatin1Char('Z')))
            return false;
    }
    return true;
}

// A key is a tree code followed by the dish code, split at the code's fixed length: never by trying the source's
// code as a prefix, which would read the standard key "P0101001" as dish "1001" of a source "P010".
std::optional<DishKey> splitKey(const QString& key, int codeLength)
{
    const qsizetype treeLength = key.size() - codeLength;
    if (treeLength < 1)
        return std::nullopt;
    DishKey dish{key.left(treeLength), key.mid(treeLength)};
    if (!isTreeCode(dish.tree) || !allDigits(dish.code))
        return std::nullopt;
    return dish;
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

QString IntegrationRequest::usedDishList() const
{
    // Each key at most once and only of the source's two trees, so the record grows with the trees, never with
    // what a caller repeats.
    QString text = QStringLiteral(""); // not a null QString, which would bind as NULL when no dish is left
    for (const DishKey& dish : dishes)
        text += dish.tree + dish.code + QLatin1Char('_');
    return text;
}

IntegrationRequest IntegrationRequest::parse(const wire::Arguments& args, int dishCodeLength)
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
    r.dishes.reserve(keys->keys.size());
    for (const QString& key : keys->keys) {
        const std::optional<DishKey> dish = splitKey(key, dishCodeLength);
        if (!dish)
            throw ServiceError(QStringLiteral("Prato inválido na lista: \"%1\".").arg(key.left(40)));
        // A list picked for an earlier source keeps that source's local dishes: the rest of the run still goes on.
        if (dish->tree == QLatin1String("P") || dish->tree == source)
            r.dishes.append(*dish);
        else
            r.elsewhere.append(*dish);
    }

    r.destinations = markedDestinations(destinationPacket);

    r.menu = Period::ordered(parseDate(start, "inicial"), parseDate(end, "final"));
    return r;
}

} // namespace suite::server
