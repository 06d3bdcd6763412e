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

// The codes of the rows marked "S", each once, read a row at a time: a packet with more rows than there are
// branches is refused at the first row past them, before the rest is read.
QStringList markedDestinations(const wire::Arguments& args, int index, const IntegrationLimits& limits)
{
    QList<wire::Column> columns;
    int markColumn = -1;
    int codeColumn = -1;
    qsizetype rows = 0;
    QStringList marked;
    QSet<QString> seen;
    const auto readRow = [&](const QVariantList& row) {
        if (rows++ == 0) {
            const wire::Packet named(columns);
            markColumn = named.columnIndex(QStringLiteral("IDMARCADO"));
            codeColumn = named.columnIndex(QStringLiteral("CDFILIAL"));
        }
        if (markColumn < 0 || codeColumn < 0)
            throw ServiceError(QStringLiteral("Pacote de filiais destino sem as colunas IDMARCADO e CDFILIAL."));
        limits.requireRows(rows);
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
    };
    if (!args.packetRows(index, columns, readRow))
        throw ServiceError(QStringLiteral("Pacote de filiais destino inválido."));
    if (rows == 0) {
        const wire::Packet named(columns);
        if (named.columnIndex(QStringLiteral("IDMARCADO")) < 0 || named.columnIndex(QStringLiteral("CDFILIAL")) < 0)
            throw ServiceError(QStringLiteral("Pacote de filiais destino sem as colunas IDMARCADO e CDFILIAL."));
        throw ServiceError(QStringLiteral("Pacote de filiais destino vazio."));
    }
    if (marked.isEmpty())
        throw ServiceError(QStringLiteral("Nenhuma filial destino marcada."));
    limits.requireDestinations(marked.size());
    return marked;
}

} // namespace

IntegrationLimits IntegrationLimits::of(const db::SqlRunner& sql, const QString& source)
{
    IntegrationLimits limits;
    limits.dishes = sql.number(QStringLiteral("contar os pratos das árvores da origem"),
                               QStringLiteral("SELECT COUNT(*) FROM PRATO WHERE CDFILAUXPRAT IN ('P', :origem)"),
                               {{":origem", source}});
    limits.elsewhere =
        sql.number(QStringLiteral("contar os pratos"), QStringLiteral("SELECT COUNT(*) FROM PRATO")) - limits.dishes;
    limits.branches = sql.number(QStringLiteral("contar as filiais"), QStringLiteral("SELECT COUNT(*) FROM FILIAL"));
    return limits;
}

void IntegrationLimits::requireDishes(qsizetype dishes, qsizetype elsewhere) const
{
    if (dishes > this->dishes)
        throw ServiceError(QStringLiteral("A lista tem mais pratos do que os %1 cadastrados nas árvores padrão e local"
                                          " da origem.")
                               .arg(this->dishes));
    if (elsewhere > this->elsewhere)
        throw ServiceError(QStringLiteral("A lista tem mais pratos de árvores locais de outras filiais do que os %1"
                                          " cadastrados nelas.")
                               .arg(this->elsewhere));
}

void IntegrationLimits::requireDestinations(qsizetype marked) const
{
    if (marked > branches)
        throw ServiceError(
            QStringLiteral("O pacote marca mais filiais destino do que as %1 cadastradas.").arg(branches));
}

void IntegrationLimits::requireRows(qsizetype rows) const
{
    if (rows > branches)
        throw ServiceError(
            QStringLiteral("O pacote de filiais destino tem mais linhas do que as %1 filiais cadastradas.")
                .arg(branches));
}

QString IntegrationRequest::usedDishList() const
{
    // Each key at most once and only of the source's two trees, so the record grows with the trees, never with
    // what a caller repeats.
    QString text = QStringLiteral(""); // not a null QString, which would bind as NULL when no dish is left
    for (const DishKey& dish : dishes)
        text += dish.tree + dish.code + QLatin1Char('_');
    return text;
}

IntegrationRequest IntegrationRequest::parse(const wire::Arguments& args, int dishCodeLength,
                                             const IntegrationLimits& limits)
{
    args.expectCount(6);
    // The small arguments first, each checked for its kind before the list and the packet are read.
    const QString source = args.text(0, kMaxKeyLength);
    const QString kinds = args.text(2);
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

    const qsizetype maxKeys = limits.dishes > IntegrationLimits::kNone - limits.elsewhere
                                  ? IntegrationLimits::kNone
                                  : limits.dishes + limits.elsewhere;
    const std::optional<KeyList> keys = KeyList::read(args, 1, false, maxKeys);
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
    if (keys->cut)
        throw ServiceError(
            QStringLiteral("A lista tem mais pratos do que os %1 cadastrados.").arg(limits.dishes + limits.elsewhere));
    limits.requireDishes(r.dishes.size(), r.elsewhere.size());

    r.destinations = markedDestinations(args, 3, limits);

    r.menu = Period::ordered(parseDate(start, "inicial"), parseDate(end, "final"));
    return r;
}

} // namespace suite::server
