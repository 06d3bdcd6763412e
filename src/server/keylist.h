// Choice lists as the client sends them: keys each followed by "_", or "T" for all.
#pragma once

#include <QStringList>
#include <optional>

namespace suite::server {

struct KeyList {
    bool all = false; // "T": every key
    QStringList keys; // in the order sent, without duplicates

    bool isEmpty() const { return !all && keys.isEmpty(); }
    // The keys as a JSON array text, the one value a statement binds for the whole list.
    QString toJsonArray() const;

    // nullopt when the text is not a list: a key missing its "_", an empty key, or a blank in a key.
    static std::optional<KeyList> parse(const QString& text, bool allowAll);
};

} // namespace suite::server
