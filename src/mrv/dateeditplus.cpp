// Empty-able date edit. A validator instead of an input mask: a mask would make an
// untouched editor read "//" rather than empty.
#include "dateeditplus.h"

#include "errors.h"

#include <QApplication>
#include <QCalendarWidget>
#include <QKeyEvent>
#include <QLocale>
#include <QPainter>
#include <QRegularExpression>
#include <QStyle>
#include <QStyleOptionFrame>
#include <QVBoxLayout>
#include <QValidator>

namespace mrv {

namespace {

const QString dateFormat = QStringLiteral("dd/MM/yyyy");

class PartialDateValidator : public QValidator {
public:
    using QValidator::QValidator;
    State validate(QString& input, int&) const override
    {
        static const QRegularExpression partial(QStringLiteral("^\\d{0,2}(/\\d{0,2}(/\\d{0,4})?)?$"));
        if (!partial.match(input).hasMatch())
            return Invalid;
        return QDate::fromString(input, dateFormat).isValid() ? Acceptable : Intermediate;
    }
};

QDate parse(const QString& text)
{
    const QString t = text.trimmed();
    QDate d = QDate::fromString(t, dateFormat);
    if (!d.isValid())
        d = QDate::fromString(t, QStringLiteral("d/M/yyyy"));
    return d;
}

} // namespace

TDateEditPlus::TDateEditPlus(QWidget* parent)
    : QLineEdit(parent)
{
    setMaxLength(10);
    setValidator(new PartialDateValidator(this));
    setPlaceholderText(QStringLiteral("dd/mm/aaaa"));
    connect(this, &QLineEdit::textChanged, this, &TDateEditPlus::refreshLook);
}

QString TDateEditPlus::weekdayName(const QDate& date)
{
    static const char* const names[] = {"Segunda", "Terça", "Quarta", "Quinta", "Sexta", "Sábado", "Domingo"};
    return date.isValid() ? QString::fromUtf8(names[date.dayOfWeek() - 1]) : QString();
}

QDate TDateEditPlus::GetDate() const
{
    return parse(text());
}

void TDateEditPlus::setDate(const QDate& date)
{
    setText(date.isValid() ? date.toString(dateFormat) : QString());
}

bool TDateEditPlus::isEmptyDate() const
{
    for (QChar c : text())
        if (c != QLatin1Char('/') && !c.isSpace())
            return false;
    return true;
}

void TDateEditPlus::CheckValidDate() const
{
    if (isEmptyDate())
        return;
    if (!parse(text()).isValid())
        throw Exception(
            QStringLiteral("\"%1\" não é uma data válida. Informe a data no formato dd/mm/aaaa.").arg(text()));
}

void TDateEditPlus::refreshLook()
{
    const QDate d = GetDate();
    QPalette pal = palette();
    pal.setColor(QPalette::Text, d.isValid() ? QColor(Qt::blue) : QApplication::palette(this).color(QPalette::Text));
    setPalette(pal);
    setToolTip(weekdayName(d));
    update();
}

void TDateEditPlus::paintEvent(QPaintEvent* event)
{
    QLineEdit::paintEvent(event);
    const QDate d = GetDate();
    if (!d.isValid())
        return;
    const QString name = weekdayName(d);
    const QFontMetrics fm(font());
    const int used = fm.horizontalAdvance(text()) + 10;
    QRect area = rect().adjusted(used, 0, -5, 0);
    if (fm.horizontalAdvance(name) > area.width())
        return; // too narrow: the tooltip still names the day
    QPainter p(this);
    p.setPen(palette().color(QPalette::Disabled, QPalette::Text));
    p.drawText(area, Qt::AlignRight | Qt::AlignVCenter, name);
}

void TDateEditPlus::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_F4 || (event->key() == Qt::Key_Down && (event->modifiers() & Qt::AltModifier))) {
        showCalendar();
        return;
    }
    // A digit typed after the day or the month brings its separator, as a date mask would.
    const QString t = text();
    if (event->text().size() == 1 && event->text().front().isDigit() && !hasSelectedText() &&
        cursorPosition() == t.size() && (t.size() == 2 || t.size() == 5) && t.back().isDigit())
        insert(QStringLiteral("/"));
    QLineEdit::keyPressEvent(event);
}

void TDateEditPlus::showCalendar()
{
    auto* popup = new QWidget(this, Qt::Popup);
    popup->setAttribute(Qt::WA_DeleteOnClose);
    auto* calendar = new QCalendarWidget(popup);
    calendar->setLocale(QLocale(QLocale::Portuguese, QLocale::Brazil));
    calendar->setGridVisible(true);
    if (GetDate().isValid())
        calendar->setSelectedDate(GetDate());
    auto* layout = new QVBoxLayout(popup);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(calendar);
    connect(calendar, &QCalendarWidget::activated, this, [this, popup](const QDate& date) {
        setDate(date);
        popup->close();
    });
    popup->move(mapToGlobal(rect().bottomLeft()));
    popup->show();
    calendar->setFocus();
}

} // namespace mrv
