#include "keylist.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QSet>

namespace suite::server {

QString KeyList::toJsonArray() const
{
    return QString::fromUtf8(QJsonDocument(QJsonArray::fromStringList(keys)).toJson(QJsonDocument::Compact));
}

std::optional<KeyList> KeyList::parse(const QString& text, bool allowAll, qsizetype maxKeys)
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

    // Read in place, so that a key repeated millions of times costs one kept copy, not one per repetition.
    QSet<QString> seen;
    const QStringView keys = QStringView(text).chopped(1);
    for (const QStringView key : keys.tokenize(QLatin1Char('_'))) {
        if (key.isEmpty() || key.contains(QLatin1Char(' ')))
            return std::nullopt;
        const QString copy = key.toString();
        if (!seen.contains(copy)) {
            if (list.keys.size() == maxKeys) {
                list.cut = true;
                return list;
            }
            seen.insert(copy);
            list.keys.append(copy);
        }
    }
    return list;
}

} // namespace suite::server
