// Fuzz target: the argument parser of one method of the integration service (SUITE_FUZZ_METHOD) on any JSON text
// taken as the call's "args". Refusals are the parser's own exceptions; anything else, or a parsed request that
// breaks what the method relies on, is a finding.
#include "dishsearch.h"
#include "integrationrequest.h"
#include "intgcentralservice.h"
#include "jsoncursor.h"
#include "servererrors.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QSet>

#include <cstdint>
#include <cstdlib>

using namespace suite;

namespace {

void check(bool holds)
{
    if (!holds)
        std::abort();
}

void parse(const wire::Arguments& args)
{
    const QString method = QStringLiteral(SUITE_FUZZ_METHOD);
    if (method == QLatin1String("GetGrupFili")) {
        server::GroupingListRequest::parse(args);
    } else if (method == QLatin1String("GetFiliGrup")) {
        server::GroupingBranchesRequest::parse(args);
    } else if (method == QLatin1String("GetPesqPrato")) {
        const server::DishSearchRequest r = server::DishSearchRequest::parse(args);
        for (const server::KeyList* list :
             {&r.services, &r.dishTypes, &r.cycles, &r.servicePatterns, &r.cycleDishTypes}) {
            // Each list reaches the database as one JSON array of its keys, each key once.
            check(!list->all || list->keys.isEmpty());
            check(QSet<QString>(list->keys.begin(), list->keys.end()).size() == list->keys.size());
            check(QJsonDocument::fromJson(list->toJsonArray().toUtf8()).array().size() == list->keys.size());
        }
        check(!r.menu.start || !r.menu.end || *r.menu.start <= *r.menu.end);
    } else if (method == QLatin1String("IntgCentral")) {
        const server::IntegrationRequest r = server::IntegrationRequest::parse(args);
        check(!r.source.isEmpty() && (!r.dishes.isEmpty() || !r.elsewhere.isEmpty()) && !r.destinations.isEmpty());
        check(r.local || r.perService);
        QSet<QString> keys;
        for (const server::DishKey& dish : r.dishes) {
            check(dish.tree == QLatin1String("P") || dish.tree == r.source);
            check(!dish.code.isEmpty());
            keys.insert(dish.tree + QLatin1Char('/') + dish.code);
        }
        check(keys.size() == r.dishes.size());
        for (const server::DishKey& dish : r.elsewhere)
            check(dish.tree != QLatin1String("P") && dish.tree != r.source && !dish.code.isEmpty());
        check(QSet<QString>(r.destinations.begin(), r.destinations.end()).size() == r.destinations.size());
        check(!r.menu.start || !r.menu.end || *r.menu.start <= *r.menu.end);
    } else {
        std::abort();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QJsonDocument document =
        QJsonDocument::fromJson(QByteArray::fromRawData(reinterpret_cast<const char*>(data), qsizetype(size)));
    if (!document.isArray())
        return 0;
    try {
        parse(wire::Arguments(QStringLiteral(SUITE_FUZZ_METHOD), document.array()));
    } catch (const wire::ArgumentError&) {
    } catch (const wire::JsonTextError&) { // answered 400, as the service answers an ArgumentError
    } catch (const server::ServiceError&) {
    }
    return 0;
}
