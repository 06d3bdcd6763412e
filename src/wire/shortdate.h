// The suite's short date text, as screens send dates to the service and the service reads them back.
#pragma once

#include <QDate>
#include <QString>

namespace suite::wire {

// "dd/MM/yyyy", the short date of the suite's locale (pt_BR); "" for an invalid date.
QString ShortDateText(const QDate& date);
// The date of such a text; an invalid date for anything else (other layouts, impossible days).
QDate ShortDate(const QString& text);

} // namespace suite::wire
