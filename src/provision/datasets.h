// The data sets init loads into a new schema: the demo data or benchmark data of a given size.
#pragma once

#include <QSqlDatabase>
#include <QString>

#include <optional>

namespace suite::provision {

/// Realistic, deterministic pt-BR demo data (branches, dish trees, menus, products, recipes,
/// operators "demo"/"demo" (every branch), "nutri"/"nutri" (0007, 0009, 0013), "consulta"/"consulta" (the
/// south-east branches, may only consult) and the inactive "antigo"). Expects an empty schema; one transaction.
void loadDemo(const QSqlDatabase& db);

/// The size of a benchmark data set.
struct Scale {
    int branches = 0;
    int dishes = 0; // level-3 dishes in tree "P"
    int lines = 0;  // lines of every recipe

    /// "BRANCHES,DISHES,LINES" as the command lines take it; nullopt for anything else.
    static std::optional<Scale> parse(const QString& text);
};

/// Benchmark data: `scale.branches` branches, `scale.dishes` level-3 dishes in tree "P" and a local recipe of
/// `scale.lines` lines for every branch and dish, plus a few per-service recipes; operator demo.
/// Throws DbError for sizes the codes cannot hold.
void loadScale(const QSqlDatabase& db, const Scale& scale);

} // namespace suite::provision
