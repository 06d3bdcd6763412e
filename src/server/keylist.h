// Choice lists as the client sends them: keys each followed by "_", or "T" for all.
#pragma once

#include <arguments.h>

#include <QStringList>
#include <limits>
#include <optional>

namespace suite::server {

// No code or key of the schema is longer: a longer one is no code, and is refused before it is read.
inline constexpr qsizetype kMaxKeyLength = 40;

struct KeyList {
    bool all = false; // "T": every key
    QStringList keys; // in the order sent, without duplicates
    bool cut = false; // more than the keys asked for were sent: `keys` holds the first ones

    bool isEmpty() const { return !all && keys.isEmpty(); }
    // The keys as a JSON array text, the one value a statement binds for the whole list.
    QString toJsonArray() const;

    // Argument `index` of `args`, read where it lies. nullopt when it is not a list: a key missing its "_", an empty
    // key, a blank in a key, or a key longer than any code. Reading stops at the first distinct key past `maxKeys`,
    // so that an excess, or one key sent millions of times, costs no more than the keys allowed.
    static std::optional<KeyList> read(const wire::Arguments& args, int index, bool allowAll,
                                       qsizetype maxKeys = std::numeric_limits<qsizetype>::max());
};

} // namespace suite::server
