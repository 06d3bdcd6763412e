// Generator of the deterministic pt-BR demo database.
#pragma once

#include <sqlrunner.h>

#include <QHash>
#include <QSet>
#include <QString>
#include <QStringList>

#include <random>
#include <vector>

namespace suite::provision::Internal {

/// Fills an empty schema with the demo data; loadDemo() runs it in one transaction.
/// Every choice comes from one fixed-seed generator, so two loads give the same rows.
class DemoData {
public:
    explicit DemoData(const db::SqlRunner& sql);
    void load();

private:
    struct Dish {
        QString tree; // "P" or the branch code of a local tree
        QString code;
        QString type;
        QString group; // level-2 code
        QStringList productGroups;
    };
    struct Product {
        QString code;
        QString unit;
        QString group;
    };
    struct Line {
        int product;
        double quantity;
    };
    using Recipe = std::vector<Line>;

    void loadReferenceData();
    void loadBranches();
    void loadDishes();
    void loadProducts();
    void loadRecipes();
    void loadMenus();
    void loadCycles();
    void loadOperators();

    int randomInt(int low, int high); // inclusive
    bool chance(int percent);
    Recipe baseRecipe(const Dish& dish);
    Recipe recipeAt(const QString& branch, const Recipe& base, double factor);
    double quantity(const Product& product, bool mainIngredient);
    std::vector<int> pickMenu(const QString& pattern); // standard dishes of one meal
    static QStringList menuPlan(const QString& pattern);

    const db::SqlRunner& m_sql;
    std::mt19937 m_random;
    std::vector<Dish> m_standardDishes;
    std::vector<Dish> m_localDishes;                  // of every local tree; tree = the branch
    QHash<QString, std::vector<int>> m_standardByKey; // type or level-2 code -> indices
    std::vector<Product> m_products;
    QHash<QString, std::vector<int>> m_productsByGroup;
    QHash<QString, QSet<int>> m_missingProducts; // branch -> products not enabled there
};

} // namespace suite::provision::Internal
