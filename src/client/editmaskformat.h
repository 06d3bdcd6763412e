// The suite's edit masks: "picture;keep literals;blank", e.g. ">aaaa;0; " or "99.99.999".
// In the picture, L and l are a letter (required, optional), A and a a letter or digit,
// C and c any character, 0 and 9 a digit, # a digit or sign; > turns what follows to upper
// case, < to lower case, <> stops either; \ makes the next character a literal; any other
// character is a literal. "keep literals" 0 stores only the typed characters; the blank
// is shown where nothing was typed.
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
    int inputLength() const; // number of positions the user types

    // The value as shown: case conversions applied and literals inserted when the
    // value holds only the typed characters (a value that carries them is kept).
    QString format(const QString& value) const;
    // The same mask for QLineEdit::setInputMask.
    QString qtInputMask() const;

private:
    enum class Case { None, Upper, Lower };
    struct Position {
        QChar code; // picture character, or the literal itself
        bool literal = false;
        Case caseMode = Case::None;
    };

    QString m_mask;
    QVector<Position> m_positions;
    bool m_saveLiterals = true;
    QChar m_blank = QLatin1Char('_');
};

} // namespace mrv
