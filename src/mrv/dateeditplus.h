// Date edit that may stay empty: dd/MM/yyyy, blue when valid, weekday name shown.
#pragma once

#include <QDate>
#include <QLineEdit>

namespace mrv {

class TDateEditPlus : public QLineEdit {
    Q_OBJECT
public:
    explicit TDateEditPlus(QWidget* parent = nullptr);

    // The date shown; invalid when the text is empty or not a date.
    QDate GetDate() const;
    void setDate(const QDate& date); // invalid date empties the edit
    bool isEmptyDate() const;        // nothing but blanks and separators
    // Throws mrv::Exception for a text that is not empty and not a valid date.
    void CheckValidDate() const;

    static QString weekdayName(const QDate& date); // "Domingo".."Sábado"

protected:
    void paintEvent(QPaintEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void refreshLook();
    void showCalendar();
};

} // namespace mrv
