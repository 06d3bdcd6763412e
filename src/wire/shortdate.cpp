// The suite's short date text.
#include "shortdate.h"

#include <QLocale>

namespace suite::wire {

namespace {

// One format for both sides, whatever the locale of the machine each one runs on.
QString format()
{
    static const QString f = QLocale(QLocale::Portuguese, QLocale::Brazil).dateFormat(QLocale::ShortFormat);
    return f;
}

} // namespace

QString ShortDateText(const QDate& date)
{
    return date.isValid() ? date.toString(format()) : QString();
}

QDate ShortDate(const QString& text)
{
    const QDate date = QDate::fromString(text, format());
    // Only the canonical text: "1/2/2026" or a two-digit year would be read in another way elsewhere.
    return date.isValid() && date.toString(format()) == text ? date : QDate();
}

} // namespace suite::wire
