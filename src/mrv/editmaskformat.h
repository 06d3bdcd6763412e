// A Delphi-style edit mask ("mask;saveLiterals;blank", e.g. ">aaaa;0; " or "99.99.999").
#pragma once

#include <QString>
#include <QVector>

namespace mrv {

class EditMaskFormat {
public:
    EditMaskFormat() = default;
    explicit EditMaskFormat(const QString& mask);

    bool isEmpty() const { return m_positions.isEmpty(); }
    QString mask() const { return m_mask; }
    bool savesLiterals() const { return m_saveLiterals; }
    QChar blank() const { return m_blank; }
    int inputLength() const;                  // number of positions the user types

    // The value as shown: case conversions applied and literals inserted when the
    // value holds only the typed characters (a value that carries them is kept).
    QString format(const QString& value) const;
    // The same mask for QLineEdit::setInputMask.
    QString qtInputMask() const;

private:
    enum class Case { None, Upper, Lower };
    struct Position {
        QChar code;        // Delphi mask character, or the literal itself
        bool literal = false;
        Case caseMode = Case::None;
    };

    QString m_mask;
    QVector<Position> m_positions;
    bool m_saveLiterals = true;
    QChar m_blank = QLatin1Char('_');
};

} // namespace mrv
