// Generator of the deterministic pt-BR demo database.
#pragma once

#include "database.h"

#include <QSqlDatabase>

#include <random>

namespace suite::db::Internal {

/// Fills an empty schema with the demo data; loadDemo() runs it in one transaction.
class DemoData
{
public:
    explicit DemoData(QSqlDatabase& db);
    void load();

private:
    void loadBranches();
    void loadOperators();

    QSqlDatabase& m_db;
    std::mt19937 m_random;
};

} // namespace suite::db::Internal
