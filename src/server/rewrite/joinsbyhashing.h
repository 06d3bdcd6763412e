// JoinsByHashing: while it lives, the joins of the statements run are made by hashing, each side read once.
#pragma once

namespace suite::server {

class RecipeDatabase;

class JoinsByHashing {
public:
    explicit JoinsByHashing(const RecipeDatabase& db);
    ~JoinsByHashing();
    JoinsByHashing(const JoinsByHashing&) = delete;
    JoinsByHashing& operator=(const JoinsByHashing&) = delete;

private:
    const RecipeDatabase& m_db;
};

} // namespace suite::server
