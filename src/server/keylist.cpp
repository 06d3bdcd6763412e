#include "keylist.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QSet>

namespace suite::server {

QString KeyList::toJsonArray() const
{
    return QString::fromUtf8(QJsonDocument(QJsonArray::fromStringList(keys)).toJson(QJsonDocument::Compact));
}

std::optional<KeyList> KeyList::parse(const QString& text, bool allowAll)
{
    KeyList list;
    if (allowAll && text == QLatin1String("T")) {
        list.all = true;
        return list;
    }
    if (text.isEmpty())
        return list;
    if (!text.endsWith(QLatin1Char('_')))
        return std::nullopt;

    QSet<QString> seen;
    const QStringList parts = text.left(text.size() - 1).split(QLatin1Char('_'));
    for (const QString& key : parts) {
        if (key.isEmpty() || key.contains(QLatin1Char(' ')))
            return std::nullopt;
        if (!seen.contains(key)) {
            seen.insert(key);
            list.keys.append(key);
        }
    }
    return list;
}

} // namespace suite::server
