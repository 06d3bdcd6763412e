// RecipeKind: a kind of recipe the engine replaces, local (RECEITA) or per
// service (RECEITASERV), and the pieces of SQL that differ between the two:
// only a per-service recipe has a service, and its key names it before the
// dish.
#pragma once

#include <QString>

namespace suite::server {

struct RecipeKind {
    const char* table; // RECEITA or RECEITASERV
    const char* code;  // IDTIPORECE of its before-images, digests and observations: L or S
    bool perService;

    // "alias.CDSERVFILI, " (no alias: "CDSERVFILI, "), where the service comes
    // before the dish in a column list; nothing for local recipes.
    QString serviceColumn(const char* alias = nullptr) const;
    // ", CDSERVFILI" at the end of a column list; nothing for local recipes.
    QString trailingServiceColumn() const;
    // The service as before-images and digests keep it: alias.CDSERVFILI, or ''
    // for local recipes.
    QString serviceOrEmpty(const char* alias) const;
    // " AND a.CDSERVFILI = b.CDSERVFILI"; nothing for local recipes.
    QString sameService(const char* a, const char* b) const;
    // The table's columns, its key first.
    QString columns() const;
};

inline constexpr RecipeKind kLocalRecipes{"RECEITA", "L", false};
inline constexpr RecipeKind kServiceRecipes{"RECEITASERV", "S", true};

} // namespace suite::server
