// RecipeWriter: replaces the chosen destination recipes of one recipe table by the source's, keeping before-images.
#pragma once

#include <QString>

namespace suite::db {
class SqlRunner;
}

namespace suite::server {

// A recipe table and the work tables of its run.
struct RecipeTable {
    const char* table;    // RECEITA or RECEITASERV
    const char* kind;     // IDTIPORECE of its before-images: L or S
    const char* chosen;   // destination recipes to replace: CDFILIAL, [CDSERVFILI,] TREE, CDPRATO, DSTTREE
    const char* source;   // the source's lines of the listed dishes
    const char* reshaped; // chosen recipes whose line numbers differ from the source's (PostgreSQL)
    bool perService;
};

struct RecipeChanges {
    int replaced = 0; // destination lines the source's overwrote or removed
    int written = 0;  // source lines written to the destinations
};

class RecipeWriter {
public:
    RecipeWriter(const db::SqlRunner& sql, const RecipeTable& table, qint64 run);

    // Every chosen recipe gets one before-image row, then its lines become the source's.
    RecipeChanges replace() const;

private:
    void keepBeforeImages() const;
    RecipeChanges deleteAndCopy() const;
    RecipeChanges rewriteInPlace() const;

    QString serv(const char* alias) const;
    QString sameServ(const char* a, const char* b) const;
    QString recipeOfK(const char* alias) const;
    QString sourceJoin() const;
    QString columns() const;
    QString lineValues() const;
    QString keyOrder() const;
    QString sourceShapes() const;
    // PostgreSQL: the JSON text of r's lines; unescaped, it is valid only for plain codes and numbers.
    QString pgLinesText(bool escaped) const;

    const db::SqlRunner& m_sql;
    const RecipeTable& m_t;
    qint64 m_run;
};

} // namespace suite::server
