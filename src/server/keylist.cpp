#include "keylist.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QSet>

namespace suite::server {

QString KeyList::toJsonArray() const
{
    return QString::fromUtf8(QJsonDocument(QJsonArray::fromStringList(keys)).toJson(QJsonDocument::Compact));
}

std::optional<KeyList> KeyList::read(const wire::Arguments& args, int index, bool allowAll, qsizetype maxKeys)
{
    KeyList list;
    QSet<QString> seen;
    bool valid = true;
    bool first = true;
    args.forEachTextPiece(index, '_', [&](const QString& key, bool last) {
        if (last) {
            // What follows the last "_" is empty; alone, it is the whole text: empty, or "T" for all.
            list.all = first && allowAll && key == QLatin1String("T");
            valid = key.isEmpty() || list.all;
            return false;
        }
        first = false;
        if (key.isEmpty() || key.contains(QLatin1Char(' ')) || key.size() > kMaxKeyLength) {
            valid = false;
            return false;
        }
        if (!seen.contains(key)) {
            if (list.keys.size() == maxKeys) {
                list.cut = true;
                return false;
            }
            seen.insert(key);
            list.keys.append(key);
        }
        return true;
    });
    if (!valid)
        return std::nullopt;
    return list;
}

} // namespace suite::server
