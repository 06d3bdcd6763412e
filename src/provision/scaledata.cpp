// loadScale: benchmark data generated set-based inside the database (millions of rows).
#include "datasets.h"
#include "password.h"

#include <sqlrunner.h>
#include <transaction.h>

namespace suite::provision {

using db::DbError;

namespace {

// Products used by the benchmark recipes; prime to the stride below so that the lines of one
// recipe never repeat a product.
constexpr int kScaleProducts = 500;
constexpr int kProductStride = 37;
constexpr int kDishesPerGroup = 100; // level-3 codes have 3 digits; keep them readable
constexpr int kGroupsPerLevel = 99;  // 2-digit level-1 and level-2 codes
constexpr int kServiceRecipeDishes = 20;

class ScaleLoader {
public:
    ScaleLoader(const QSqlDatabase& db, const Scale& scale)
        : m_sql(db)
        , m_branches(scale.branches)
        , m_dishes(scale.dishes)
        , m_lines(scale.lines)
    {}

    void run()
    {
        db::Transaction transaction(m_sql);
        createNumbers();
        loadReferenceData();
        loadBranches();
        loadDishes();
        loadProducts();
        loadRecipes();
        loadOperator();
        dropNumbers();
        transaction.commit();
        exec(QStringLiteral("ANALYZE"), QStringLiteral("updating planner statistics"));
    }

private:
    // Zero-padded text of an integer SQL expression, in the connection's dialect.
    QString pad(const QString& expr, int width) const
    {
        if (!m_sql.isPostgres())
            return QStringLiteral("substr('%1' || (%2), -%3)").arg(QString(width, QLatin1Char('0')), expr).arg(width);
        return QStringLiteral("lpad(CAST((%1) AS VARCHAR), %2, '0')").arg(expr).arg(width);
    }

    void exec(const QString& sql, const QString& purpose) const { m_sql.run(purpose, sql); }

    void createNumbers()
    {
        const int top = std::max({m_branches, m_dishes, m_lines, kScaleProducts});
        if (!m_sql.isPostgres()) {
            exec(QStringLiteral("CREATE TEMP TABLE SUITE_NUMS (N INTEGER PRIMARY KEY)"),
                 QStringLiteral("creating a numbers table"));
            exec(QStringLiteral("INSERT INTO SUITE_NUMS (N) WITH RECURSIVE C(X) AS (SELECT 1 UNION ALL SELECT X + 1 "
                                "FROM C WHERE X < %1) SELECT X FROM C")
                     .arg(top),
                 QStringLiteral("filling the numbers table"));
        } else {
            exec(QStringLiteral("CREATE TEMP TABLE SUITE_NUMS (N INTEGER PRIMARY KEY) ON COMMIT DROP"),
                 QStringLiteral("creating a numbers table"));
            exec(QStringLiteral("INSERT INTO SUITE_NUMS (N) SELECT generate_series(1, %1)").arg(top),
                 QStringLiteral("filling the numbers table"));
            // Without statistics the planner takes the temp table for thousands of rows and
            // plans (and JIT-compiles) for a billion-row join.
            exec(QStringLiteral("ANALYZE SUITE_NUMS"), QStringLiteral("measuring the numbers table"));
        }
    }

    void dropNumbers()
    {
        if (!m_sql.isPostgres())
            exec(QStringLiteral("DROP TABLE SUITE_NUMS"), QStringLiteral("dropping the numbers table"));
    }

    void loadReferenceData()
    {
        exec(QStringLiteral("INSERT INTO PICTURE (TPPICTURE, DSPICTURE) VALUES (1, '99.99.999')"),
             QStringLiteral("loading the dish-code picture"));
        exec(QStringLiteral("INSERT INTO TIPOPRAT (CDTIPOPRAT, NMTIPOPRAT) VALUES ('01', 'Prato principal')"),
             QStringLiteral("loading dish types"));
        exec(QStringLiteral(
                 "INSERT INTO SERVPADR (CDSERVPADR, NMSERVPADR) VALUES ('00002', 'Almoço'), ('00004', 'Jantar')"),
             QStringLiteral("loading service patterns"));
    }

    void loadBranches()
    {
        exec(QStringLiteral("INSERT INTO FILIAL (CDFILIAL, NMFILIAL, IDMATRIZ, IDCNTRRESC) "
                            "SELECT %1, CASE WHEN N = 1 THEN 'Matriz' ELSE 'Filial ' || %1 END, "
                            "CASE WHEN N = 1 THEN 'S' ELSE 'N' END, 'N' FROM SUITE_NUMS WHERE N <= %2 ORDER BY N")
                 .arg(pad(QStringLiteral("N"), 4))
                 .arg(m_branches),
             QStringLiteral("loading branches"));
        exec(QStringLiteral("INSERT INTO GRUPFILI (CDGRUPFILI, NMGRUPFILI) VALUES ('0000000001', 'Todas as filiais')"),
             QStringLiteral("loading the grouping"));
        exec(QStringLiteral("INSERT INTO FILIGRUP (CDGRUPFILI, CDFILIAL) SELECT '0000000001', CDFILIAL FROM FILIAL"),
             QStringLiteral("loading the grouping's branches"));
        exec(QStringLiteral("INSERT INTO SERVICO (CDFILIAL, CDSERVFILI, NMSERVICO, CDSERVPADR) "
                            "SELECT CDFILIAL, '00002', 'Almoço', '00002' FROM FILIAL "
                            "UNION ALL SELECT CDFILIAL, '00004', 'Jantar', '00004' FROM FILIAL"),
             QStringLiteral("loading services"));
    }

    void loadDishes()
    {
        const int groups2 = (m_dishes + kDishesPerGroup - 1) / kDishesPerGroup;
        const int groups1 = (groups2 + kGroupsPerLevel - 1) / kGroupsPerLevel;
        exec(QStringLiteral("INSERT INTO PRATO (CDFILAUXPRAT, CDPRATO, NMPRATO, CDNVPRATO, CDTIPOPRAT) "
                            "SELECT 'P', %1, 'Grupo ' || %1, 1, NULL FROM SUITE_NUMS WHERE N <= %2 ORDER BY N")
                 .arg(pad(QStringLiteral("N"), 2))
                 .arg(groups1),
             QStringLiteral("loading level-1 dish groups"));
        const QString level2 = pad(QStringLiteral("(N - 1) / %1 + 1").arg(kGroupsPerLevel), 2) +
                               QStringLiteral(" || ") + pad(QStringLiteral("(N - 1) % %1 + 1").arg(kGroupsPerLevel), 2);
        exec(QStringLiteral("INSERT INTO PRATO (CDFILAUXPRAT, CDPRATO, NMPRATO, CDNVPRATO, CDTIPOPRAT) "
                            "SELECT 'P', %1, 'Subgrupo ' || %1, 2, NULL FROM SUITE_NUMS WHERE N <= %2 ORDER BY N")
                 .arg(level2)
                 .arg(groups2),
             QStringLiteral("loading level-2 dish groups"));
        const QString perLevel1 = QString::number(kDishesPerGroup * kGroupsPerLevel);
        const QString level3 =
            pad(QStringLiteral("(N - 1) / %1 + 1").arg(perLevel1), 2) + QStringLiteral(" || ") +
            pad(QStringLiteral("((N - 1) / %1) % %2 + 1").arg(kDishesPerGroup).arg(kGroupsPerLevel), 2) +
            QStringLiteral(" || ") + pad(QStringLiteral("(N - 1) % %1 + 1").arg(kDishesPerGroup), 3);
        exec(QStringLiteral("INSERT INTO PRATO (CDFILAUXPRAT, CDPRATO, NMPRATO, CDNVPRATO, CDTIPOPRAT) "
                            "SELECT 'P', %1, 'Prato ' || %1, 3, '01' FROM SUITE_NUMS WHERE N <= %2 ORDER BY N")
                 .arg(level3)
                 .arg(m_dishes),
             QStringLiteral("loading dishes"));
    }

    void loadProducts()
    {
        exec(QStringLiteral("INSERT INTO PRODUTO (CDARVPROD, NMPRODUTO, SGUNIDADE) "
                            "SELECT %1, 'Produto ' || %1, 'KG' FROM SUITE_NUMS WHERE N <= %2 ORDER BY N")
                 .arg(pad(QStringLiteral("N"), 8))
                 .arg(kScaleProducts),
             QStringLiteral("loading products"));
        exec(QStringLiteral(
                 "INSERT INTO PRODFILI (CDFILIAL, CDARVPROD) "
                 "SELECT F.CDFILIAL, P.CDARVPROD FROM FILIAL F CROSS JOIN PRODUTO P ORDER BY F.CDFILIAL, P.CDARVPROD"),
             QStringLiteral("enabling products at every branch"));
    }

    // Product of line S.N of a dish: spread over the catalogue, distinct within one recipe.
    QString productOfLine() const
    {
        return pad(
            QStringLiteral("(CAST(D.CDPRATO AS INTEGER) + S.N * %1) % %2 + 1").arg(kProductStride).arg(kScaleProducts), 8);
    }

    // Quantities differ by branch, so that an integration over them really rewrites every line; rounded to the
    // four places a user enters (PostgreSQL's NUMERIC(12,4)), not left as SQLite's binary sums.
    void loadRecipes()
    {
        const QString localRecipes =
            QStringLiteral(
                "INSERT INTO RECEITA (CDFILIAL, CDFILAUXPRAT, CDPRATO, NRSEQ, CDARVPROD, QTPRODUTO, SGUNIDADE) "
                "SELECT F.CDFILIAL, D.CDFILAUXPRAT, D.CDPRATO, S.N, %1, round((S.N % 7 + 1) * 0.0125 + CAST(F.CDFILIAL "
                "AS INTEGER) * 0.0001, 4), 'KG' "
                "FROM FILIAL F CROSS JOIN PRATO D CROSS JOIN SUITE_NUMS S "
                "WHERE D.CDFILAUXPRAT = 'P' AND D.CDNVPRATO = 3 AND S.N <= %2")
                .arg(productOfLine())
                .arg(m_lines);
        const QString purpose = QStringLiteral("loading local recipes");
        if (!m_sql.isPostgres()) {
            // CROSS JOIN fixes SQLite's loop order, so rows arrive in key order without a sort
            // of millions of rows; appending is what keeps the key index fast.
            exec(localRecipes, purpose);
        } else {
            // Building the key once after the load is much faster than maintaining it row by row;
            // the heap still gets the rows in key order for later range scans.
            const QString key =
                m_sql
                    .value(QStringLiteral("reading the recipe key"),
                           QStringLiteral("SELECT conname || ' ' || pg_get_constraintdef(oid) FROM pg_constraint "
                                          "WHERE conrelid = 'receita'::regclass AND contype = 'p'"))
                    .toString();
            const QString name = key.section(QLatin1Char(' '), 0, 0);
            exec(QStringLiteral("ALTER TABLE RECEITA DROP CONSTRAINT %1").arg(name),
                 QStringLiteral("suspending the recipe key"));
            exec(localRecipes + QStringLiteral(" ORDER BY F.CDFILIAL, D.CDPRATO, S.N"), purpose);
            exec(QStringLiteral("ALTER TABLE RECEITA ADD CONSTRAINT %1").arg(key),
                 QStringLiteral("rebuilding the recipe key"));
        }
        exec(QStringLiteral(
                 "INSERT INTO RECEITASERV (CDFILIAL, CDSERVFILI, CDFILAUXPRAT, CDPRATO, NRSEQ, CDARVPROD, QTPRODUTO, "
                 "SGUNIDADE) "
                 "SELECT V.CDFILIAL, V.CDSERVFILI, D.CDFILAUXPRAT, D.CDPRATO, S.N, %1, round((S.N % 5 + 1) * 0.01 + "
                 "CAST(V.CDFILIAL AS INTEGER) * 0.0001, 4), 'KG' "
                 "FROM SERVICO V CROSS JOIN PRATO D CROSS JOIN SUITE_NUMS S "
                 "WHERE D.CDFILAUXPRAT = 'P' AND D.CDNVPRATO = 3 AND D.CDPRATO IN "
                 "(SELECT CDPRATO FROM PRATO WHERE CDFILAUXPRAT = 'P' AND CDNVPRATO = 3 ORDER BY CDPRATO LIMIT %3) "
                 "AND S.N <= %2")
                 .arg(productOfLine())
                 .arg(m_lines)
                 .arg(kServiceRecipeDishes),
             QStringLiteral("loading per-service recipes"));
    }

    void loadOperator()
    {
        m_sql.run(
            QStringLiteral("loading the demo operator"),
            QStringLiteral(
                "INSERT INTO OPERADOR (CDOPERADOR, NMOPERADOR, DSSENHA, IDATIVO) VALUES (:code, :name, :hash, 'S')"),
            {{QStringLiteral(":code"), QStringLiteral("demo")},
             {QStringLiteral(":name"), QStringLiteral("Operador Demonstração")},
             {QStringLiteral(":hash"), hashPassword(QStringLiteral("demo"))}});
        exec(QStringLiteral("INSERT INTO OPERFILI (CDOPERADOR, CDFILIAL) SELECT 'demo', CDFILIAL FROM FILIAL"),
             QStringLiteral("allowing the demo operator on every branch"));
    }

    const db::SqlRunner m_sql;
    int m_branches;
    int m_dishes;
    int m_lines;
};

} // namespace

std::optional<Scale> Scale::parse(const QString& text)
{
    const QStringList parts = text.split(QLatin1Char(','));
    if (parts.size() != 3)
        return std::nullopt;
    bool ok[3] = {};
    const Scale scale{parts.at(0).toInt(&ok[0]), parts.at(1).toInt(&ok[1]), parts.at(2).toInt(&ok[2])};
    if (!ok[0] || !ok[1] || !ok[2])
        return std::nullopt;
    return scale;
}

void loadScale(const QSqlDatabase& db, const Scale& scale)
{
    if (scale.branches < 1 || scale.branches > 9999)
        throw DbError(QStringLiteral("benchmark data: branches must be 1 to 9999 (4-character codes), not %1")
                          .arg(scale.branches));
    const int maxDishes = kDishesPerGroup * kGroupsPerLevel * kGroupsPerLevel;
    if (scale.dishes < 1 || scale.dishes > maxDishes)
        throw DbError(
            QStringLiteral("benchmark data: dishes must be 1 to %1, not %2").arg(maxDishes).arg(scale.dishes));
    if (scale.lines < 1 || scale.lines > kScaleProducts)
        throw DbError(QStringLiteral("benchmark data: lines must be 1 to %1, not %2").arg(kScaleProducts).arg(scale.lines));
    ScaleLoader(db, scale).run();
}

} // namespace suite::provision
