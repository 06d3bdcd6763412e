// The dish code's fixed length, which is how a dish key (tree code, then dish code) is split.
#pragma once

namespace suite::db {
class SqlRunner;
}

namespace suite::server {

// The length of "99.99.999", the dish-code picture of every data set this product creates.
inline constexpr int kStandardDishCodeLength = 7;

// The digit positions of the dish-code picture (PICTURE type 1): the length of every integrable dish's code.
// Throws ServiceError when the database has no such picture.
int dishCodeLength(const db::SqlRunner& sql);

} // namespace suite::server
