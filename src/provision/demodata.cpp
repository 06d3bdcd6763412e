#include "demodata.h"

#include "datasets.h"
#include "democatalog.h"
#include "password.h"

#include <bulkinsert.h>
#include <transaction.h>

#include <QDate>
#include <QHash>
#include <QMutex>

#include <algorithm>
#include <cmath>

namespace suite::provision {

namespace Internal {

namespace {

const QString kStandardTree = QStringLiteral("P");
const QString kExtraService = QStringLiteral("00006"); // the head office's board lunch
const QDate kMenuMonth(2026, 12, 1);

QString patternCode(QChar digit)
{
    return QStringLiteral("0000") + digit;
}

QStringList cols(const char* list)
{
    return QString::fromLatin1(list).split(QLatin1Char(' '));
}

QString branchCode(const DemoBranch& b)
{
    return QString::fromLatin1(b.code);
}

double round4(double v)
{
    return std::round(v * 10000.0) / 10000.0;
}

// The services of a branch as (service code, pattern code) pairs.
std::vector<std::pair<QString, QString>> servicesOf(const DemoBranch& b)
{
    std::vector<std::pair<QString, QString>> services;
    for (const QChar p : QString::fromLatin1(b.patterns))
        services.emplace_back(patternCode(p), patternCode(p));
    if (b.headOffice)
        services.emplace_back(kExtraService, patternCode(QLatin1Char('2')));
    return services;
}

// The demo passwords are published, so sharing one salted hash per password within a process gives nothing away;
// it spares the tests, which build many demo databases, a 600,000-iteration derivation per operator each time.
QString demoPasswordHash(const QString& plain)
{
    static QMutex mutex;
    static QHash<QString, QString> hashes;
    const QMutexLocker lock(&mutex);
    auto found = hashes.find(plain);
    if (found == hashes.end())
        found = hashes.insert(plain, hashPassword(plain));
    return *found;
}

} // namespace

DemoData::DemoData(const db::SqlRunner& sql)
    : m_sql(sql)
    , m_random(20261201u)
{}

void DemoData::load()
{
    loadReferenceData();
    loadBranches();
    loadDishes();
    loadProducts();
    loadRecipes();
    loadMenus();
    loadCycles();
    loadOperators();
}

int DemoData::randomInt(int low, int high)
{
    // Plain modulo rather than std::uniform_int_distribution, whose output differs between
    // standard libraries: the demo must be the same everywhere.
    return low + int(m_random() % quint32(high - low + 1));
}

bool DemoData::chance(int percent)
{
    return randomInt(1, 100) <= percent;
}

void DemoData::loadReferenceData()
{
    db::BulkInsert picture(m_sql, QStringLiteral("PICTURE"), cols("TPPICTURE DSPICTURE"));
    picture.add({1, QStringLiteral("99.99.999")});
    picture.finish();

    db::BulkInsert types(m_sql, QStringLiteral("TIPOPRAT"), cols("CDTIPOPRAT NMTIPOPRAT"));
    for (const DemoCode& t : demoDishTypes())
        types.add({QString::fromLatin1(t.code), QString::fromUtf8(t.name)});
    types.finish();

    db::BulkInsert patterns(m_sql, QStringLiteral("SERVPADR"), cols("CDSERVPADR NMSERVPADR"));
    for (const DemoCode& p : demoServicePatterns())
        patterns.add({QString::fromLatin1(p.code), QString::fromUtf8(p.name)});
    patterns.finish();
}

void DemoData::loadBranches()
{
    // Parents are finished before their children start: a child batch may flush at any add.
    db::BulkInsert branches(m_sql, QStringLiteral("FILIAL"), cols("CDFILIAL NMFILIAL IDMATRIZ IDCNTRRESC"));
    for (const DemoBranch& b : demoBranches()) {
        branches.add({branchCode(b), QString::fromUtf8(b.name), QLatin1String(b.headOffice ? "S" : "N"),
                      QLatin1String(b.rescinded ? "S" : "N")});
    }
    branches.finish();

    db::BulkInsert services(m_sql, QStringLiteral("SERVICO"), cols("CDFILIAL CDSERVFILI NMSERVICO CDSERVPADR"));
    for (const DemoBranch& b : demoBranches()) {
        for (const auto& [service, pattern] : servicesOf(b)) {
            const QString name = service == kExtraService
                                     ? QStringLiteral("Almoço diretoria")
                                     : QString::fromUtf8(demoServicePatterns()[pattern.right(1).toInt() - 1].name);
            services.add({branchCode(b), service, name, pattern});
        }
    }
    services.finish();

    db::BulkInsert groupings(m_sql, QStringLiteral("GRUPFILI"), cols("CDGRUPFILI NMGRUPFILI"));
    for (const DemoGrouping& g : demoGroupings())
        groupings.add({QString::fromLatin1(g.code), QString::fromUtf8(g.name)});
    groupings.finish();

    db::BulkInsert members(m_sql, QStringLiteral("FILIGRUP"), cols("CDGRUPFILI CDFILIAL"));
    for (const DemoGrouping& g : demoGroupings()) {
        for (const QString& branch : QString::fromLatin1(g.branches).split(QLatin1Char(' ')))
            members.add({QString::fromLatin1(g.code), branch});
    }
    members.finish();
}

void DemoData::loadDishes()
{
    db::BulkInsert dishes(m_sql, QStringLiteral("PRATO"), cols("CDFILAUXPRAT CDPRATO NMPRATO CDNVPRATO CDTIPOPRAT"));
    // Walks one tree description; `registered` (one flag per level-3 dish) says which dishes a
    // local tree keeps, so that local trees share codes but not always the same dishes.
    auto addTree = [&](std::span<const DemoDishGroup> tree, const QString& treeCode, const QString& registered,
                       std::vector<Dish>* collect) {
        int localIndex = 0;
        for (const DemoDishGroup& g : tree) {
            const QString code = QString::fromLatin1(g.code);
            const QVariant type =
                g.type ? QVariant(QString::fromLatin1(g.type)) : QVariant(QMetaType::fromType<QString>());
            dishes.add({treeCode, code, QString::fromUtf8(g.name), code.size() == 2 ? 1 : 2, type});
            if (!g.dishes)
                continue;
            const QStringList names = QString::fromUtf8(g.dishes).split(QLatin1Char('|'));
            for (int i = 0; i < names.size(); ++i, ++localIndex) {
                if (!registered.isEmpty() &&
                    (localIndex >= registered.size() || registered[localIndex] != QLatin1Char('1')))
                    continue;
                const QString dishCode = code + QStringLiteral("%1").arg(i + 1, 3, 10, QLatin1Char('0'));
                dishes.add({treeCode, dishCode, names[i], 3, type});
                collect->push_back({treeCode, dishCode, type.toString(), code,
                                    QString::fromLatin1(g.productGroups).split(QLatin1Char(' '))});
            }
        }
    };
    addTree(demoStandardTree(), kStandardTree, QString(), &m_standardDishes);
    for (const DemoBranch& b : demoBranches()) {
        if (*b.localTree)
            addTree(demoLocalTree(), branchCode(b), QString::fromLatin1(b.localTree), &m_localDishes);
    }
    dishes.finish();

    for (int i = 0; i < int(m_standardDishes.size()); ++i) {
        m_standardByKey[m_standardDishes[i].type].push_back(i);
        m_standardByKey[m_standardDishes[i].group].push_back(i);
    }
}

void DemoData::loadProducts()
{
    db::BulkInsert products(m_sql, QStringLiteral("PRODUTO"), cols("CDARVPROD NMPRODUTO SGUNIDADE"));
    for (const DemoProductGroup& g : demoProducts()) {
        const QString group = QString::fromLatin1(g.code);
        const QStringList names = QString::fromUtf8(g.names).split(QLatin1Char('|'));
        for (int i = 0; i < names.size(); ++i) {
            const QString name = names[i].section(QLatin1Char(':'), 0, 0);
            const QString unit = names[i].contains(QLatin1Char(':')) ? names[i].section(QLatin1Char(':'), 1)
                                                                     : QString::fromLatin1(g.unit);
            const QString code = group + QStringLiteral("%1").arg(i + 1, 6, 10, QLatin1Char('0'));
            m_productsByGroup[group].push_back(int(m_products.size()));
            m_products.push_back({code, unit, group});
            products.add({code, name, unit});
        }
    }
    products.finish();

    // Branches buy a little less than the head office: a few products are not enabled at each,
    // which is what makes an integration report missing products.
    db::BulkInsert enabled(m_sql, QStringLiteral("PRODFILI"), cols("CDFILIAL CDARVPROD"));
    const int count = int(m_products.size());
    for (const DemoBranch& b : demoBranches()) {
        QSet<int>& missing = m_missingProducts[branchCode(b)];
        if (!b.headOffice) {
            for (int p = 0; p < count; ++p) {
                if (chance(2))
                    missing.insert(p);
            }
            while (missing.size() < 3)
                missing.insert(randomInt(0, count - 1));
        }
        for (int p = 0; p < count; ++p) {
            if (!missing.contains(p))
                enabled.add({branchCode(b), m_products[p].code});
        }
    }
    enabled.finish();
}

double DemoData::quantity(const Product& product, bool mainIngredient)
{
    // Per portion: a main ingredient by the hundred grams, seasonings by the gram.
    if (product.unit == QLatin1String("UN"))
        return mainIngredient ? randomInt(1, 2) : 0.5 * randomInt(1, 2);
    if (product.unit == QLatin1String("LT"))
        return (mainIngredient ? randomInt(100, 250) : randomInt(2, 20)) / 1000.0;
    return (mainIngredient ? randomInt(60, 180) : randomInt(1, 30)) / 1000.0;
}

DemoData::Recipe DemoData::baseRecipe(const Dish& dish)
{
    const int lines = randomInt(5, 15);
    const int mainLines = randomInt(1, 2);
    Recipe recipe;
    QSet<int> used;
    // Main ingredients from the dish's first product group, the rest round the others.
    for (int attempt = 0; int(recipe.size()) < lines && attempt < 200; ++attempt) {
        const bool main = int(recipe.size()) < mainLines;
        const int others = int(dish.productGroups.size()) - 1;
        const QString& group =
            main || others == 0 ? dish.productGroups.first() : dish.productGroups[1 + attempt % others];
        const std::vector<int>& pool = m_productsByGroup.value(group);
        const int product = pool[randomInt(0, int(pool.size()) - 1)];
        if (used.contains(product))
            continue;
        used.insert(product);
        recipe.push_back({product, quantity(m_products[product], main)});
    }
    return recipe;
}

DemoData::Recipe DemoData::recipeAt(const QString& branch, const Recipe& base, double factor)
{
    // A branch cooks the same dish with its own portions, and swaps a product it does not buy
    // for the next one of the same group it does buy.
    const QSet<int>& missing = m_missingProducts[branch];
    QSet<int> used;
    for (const Line& line : base)
        used.insert(line.product);
    Recipe recipe;
    for (const Line& line : base) {
        int product = line.product;
        if (missing.contains(product)) {
            const std::vector<int>& pool = m_productsByGroup.value(m_products[product].group);
            product = -1;
            for (int candidate : pool) {
                if (!missing.contains(candidate) && !used.contains(candidate)) {
                    product = candidate;
                    break;
                }
            }
            if (product < 0)
                continue;
            used.insert(product);
        }
        recipe.push_back({product, std::max(0.0001, round4(line.quantity * factor))});
    }
    return recipe;
}

QStringList DemoData::menuPlan(const QString& pattern)
{
    // One meal of a service pattern: dish types ("01") or level-2 groups ("0301" rice, "0302" beans).
    static const QHash<QString, QString> plans = {
        {QStringLiteral("00001"), QStringLiteral("09 09 07 07 0501")},
        {QStringLiteral("00002"), QStringLiteral("0301 0302 01 01 02 04 04 05 08 07")},
        {QStringLiteral("00003"), QStringLiteral("09 07 05")},
        {QStringLiteral("00004"), QStringLiteral("0301 0302 01 01 02 04 04 05 08 06 07")},
        {QStringLiteral("00005"), QStringLiteral("06 07 09")},
    };
    return plans.value(pattern).split(QLatin1Char(' '), Qt::SkipEmptyParts);
}

std::vector<int> DemoData::pickMenu(const QString& pattern)
{
    std::vector<int> picked;
    for (const QString& slot : menuPlan(pattern)) {
        const std::vector<int>& pool = m_standardByKey.value(slot);
        for (int attempt = 0; attempt < 20 && !pool.empty(); ++attempt) {
            const int dish = pool[randomInt(0, int(pool.size()) - 1)];
            if (std::find(picked.begin(), picked.end(), dish) == picked.end()) {
                picked.push_back(dish);
                break;
            }
        }
    }
    return picked;
}

void DemoData::loadRecipes()
{
    std::vector<Recipe> standardBase;
    for (const Dish& dish : m_standardDishes)
        standardBase.push_back(baseRecipe(dish));
    // A local dish code means the same dish in every local tree that has it.
    QHash<QString, Recipe> localBase;
    for (const Dish& dish : m_localDishes) {
        if (!localBase.contains(dish.code))
            localBase.insert(dish.code, baseRecipe(dish));
    }

    db::BulkInsert local(m_sql, QStringLiteral("RECEITA"),
                         cols("CDFILIAL CDFILAUXPRAT CDPRATO NRSEQ CDARVPROD QTPRODUTO SGUNIDADE"));
    db::BulkInsert perService(m_sql, QStringLiteral("RECEITASERV"),
                              cols("CDFILIAL CDSERVFILI CDFILAUXPRAT CDPRATO NRSEQ CDARVPROD QTPRODUTO SGUNIDADE"));
    for (const DemoBranch& b : demoBranches()) {
        const QString branch = branchCode(b);
        std::vector<std::pair<const Dish*, const Recipe*>> dishes;
        for (size_t i = 0; i < m_standardDishes.size(); ++i)
            dishes.emplace_back(&m_standardDishes[i], &standardBase[i]);
        for (const Dish& dish : m_localDishes) {
            if (dish.tree == branch)
                dishes.emplace_back(&dish, &localBase[dish.code]);
        }
        for (const auto& [dish, base] : dishes) {
            if (chance(5)) // some dishes have no recipe at some branches
                continue;
            const Recipe recipe = recipeAt(branch, *base, 0.9 + randomInt(0, 20) / 100.0);
            for (size_t n = 0; n < recipe.size(); ++n) {
                const Product& product = m_products[recipe[n].product];
                local.add({branch, dish->tree, dish->code, int(n + 1), product.code, recipe[n].quantity, product.unit});
            }
        }
        for (const auto& [service, pattern] : servicesOf(b)) {
            QSet<QString> types;
            for (const QString& slot : menuPlan(pattern))
                types.insert(m_standardDishes[m_standardByKey.value(slot).front()].type);
            // Lighter portions at night.
            const double patternFactor = pattern == QLatin1String("00005")   ? 0.7
                                         : pattern == QLatin1String("00004") ? 0.9
                                                                             : 1.0;
            for (const auto& [dish, base] : dishes) {
                if (!types.contains(dish->type) || !chance(30))
                    continue;
                const Recipe recipe = recipeAt(branch, *base, patternFactor * (0.9 + randomInt(0, 20) / 100.0));
                for (size_t n = 0; n < recipe.size(); ++n) {
                    const Product& product = m_products[recipe[n].product];
                    perService.add({branch, service, dish->tree, dish->code, int(n + 1), product.code,
                                    recipe[n].quantity, product.unit});
                }
            }
        }
    }
    local.finish();
    perService.finish();
}

void DemoData::loadMenus()
{
    db::BulkInsert menus(m_sql, QStringLiteral("CARDAPIO"),
                         cols("CDFILIAL DTCARDAPIO CDSERVFILI CDTIPOPRAT CDFILAUXPRAT CDPRATO"));
    for (const DemoBranch& b : demoBranches()) {
        if (!b.menus)
            continue;
        const QString branch = branchCode(b);
        std::vector<const Dish*> ownMains;
        for (const Dish& dish : m_localDishes) {
            if (dish.tree == branch && dish.type == QLatin1String("01"))
                ownMains.push_back(&dish);
        }
        for (QDate day = kMenuMonth; day.month() == kMenuMonth.month(); day = day.addDays(1)) {
            for (const auto& [service, pattern] : servicesOf(b)) {
                for (int dish : pickMenu(pattern)) {
                    const Dish& d = m_standardDishes[dish];
                    menus.add({branch, day, service, d.type, d.tree, d.code});
                }
                // Now and then the kitchen serves one of its own dishes as well.
                if (!ownMains.empty() && menuPlan(pattern).contains(QLatin1String("01")) && chance(25)) {
                    const Dish* d = ownMains[randomInt(0, int(ownMains.size()) - 1)];
                    menus.add({branch, day, service, d->type, d->tree, d->code});
                }
            }
        }
    }
    menus.finish();
}

void DemoData::loadCycles()
{
    db::BulkInsert cycles(m_sql, QStringLiteral("CARDCICLO"), cols("CDCARDCICLO NMCARDCICLO"));
    for (const DemoCycle& c : demoCycles())
        cycles.add({QString::fromLatin1(c.code), QString::fromUtf8(c.name)});
    cycles.finish();

    db::BulkInsert items(m_sql, QStringLiteral("CARDCICLOITEM"),
                         cols("CDCARDCICLO NRDIA CDSERVPADR CDTIPOPRAT CDFILAUXPRAT CDPRATO"));
    for (const DemoCycle& c : demoCycles()) {
        const QString cycle = QString::fromLatin1(c.code);
        for (int day = 1; day <= c.days; ++day) {
            for (const QChar p : QString::fromLatin1(c.patterns)) {
                for (int dish : pickMenu(patternCode(p))) {
                    const Dish& d = m_standardDishes[dish];
                    items.add({cycle, day, patternCode(p), d.type, d.tree, d.code});
                }
            }
        }
    }
    items.finish();
}

void DemoData::loadOperators()
{
    // IDPERFIL: 'I' integrates, 'C' may only consult (look-ups, the log), never write a recipe.
    db::BulkInsert operators(m_sql, QStringLiteral("OPERADOR"), cols("CDOPERADOR NMOPERADOR DSSENHA IDATIVO IDPERFIL"));
    const auto add = [&](const char* code, const char* name, const char* active, const char* profile) {
        operators.add({QString::fromLatin1(code), QString::fromUtf8(name), demoPasswordHash(QString::fromLatin1(code)),
                       QString::fromLatin1(active), QString::fromLatin1(profile)});
    };
    add("demo", "Operador Demonstração", "S", "I");
    add("nutri", "Nutricionista Regional Sul", "S", "I");
    add("antigo", "Operador Desligado", "N", "I");
    add("consulta", "Auditoria Regional Sudeste", "S", "C");
    operators.finish();

    db::BulkInsert rights(m_sql, QStringLiteral("OPERFILI"), cols("CDOPERADOR CDFILIAL"));
    for (const DemoBranch& b : demoBranches())
        rights.add({QStringLiteral("demo"), branchCode(b)});
    const auto allow = [&](const char* code, const char* grouping) {
        for (const DemoGrouping& g : demoGroupings()) {
            if (QByteArray(g.name) == grouping) {
                for (const QString& branch : QString::fromLatin1(g.branches).split(QLatin1Char(' ')))
                    rights.add({QString::fromLatin1(code), branch});
            }
        }
    };
    allow("nutri", "Região Sul");
    allow("consulta", "Região Sudeste");
    rights.add({QStringLiteral("antigo"), QStringLiteral("0001")});
    rights.finish();
}

} // namespace Internal

void loadDemo(const QSqlDatabase& db)
{
    const db::SqlRunner sql(db);
    db::Transaction transaction(sql);
    Internal::DemoData(sql).load();
    transaction.commit();
}

} // namespace suite::provision
