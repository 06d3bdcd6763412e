// Reading and applying the suite's edit masks.
#include "editmaskformat.h"

namespace mrv {

namespace {

bool isMaskCode(QChar c)
{
    return QStringLiteral("LlAaCc09#").contains(c);
}

// Characters Qt's input mask language reserves; a literal one needs a backslash.
bool isQtMaskMeta(QChar c)
{
    return QStringLiteral("AaNnXx90DdHhBb#><!\\[]{};").contains(c);
}

QChar qtCodeFor(QChar picture)
{
    switch (picture.toLatin1()) {
    case 'L':
        return QLatin1Char('A');
    case 'l':
        return QLatin1Char('a');
    case 'A':
        return QLatin1Char('N');
    case 'a':
        return QLatin1Char('n');
    case 'C':
        return QLatin1Char('X');
    case 'c':
        return QLatin1Char('x');
    case '0':
        return QLatin1Char('9');
    case '9':
        return QLatin1Char('0');
    default:
        return QLatin1Char('#');
    }
}

} // namespace

EditMaskFormat::EditMaskFormat(const QString& mask)
    : m_mask(mask)
{
    // The picture ends at the first unescaped ';'; then come "save literals" and the blank.
    qsizetype end = mask.size();
    for (qsizetype i = 0; i < mask.size(); ++i) {
        if (mask.at(i) == QLatin1Char('\\')) {
            ++i;
        } else if (mask.at(i) == QLatin1Char(';')) {
            end = i;
            break;
        }
    }
    if (end < mask.size()) {
        const QStringList rest = mask.mid(end + 1).split(QLatin1Char(';'));
        if (!rest.isEmpty() && !rest.at(0).isEmpty())
            m_saveLiterals = rest.at(0) != QLatin1String("0");
        if (rest.size() > 1 && !rest.at(1).isEmpty())
            m_blank = rest.at(1).at(0);
    }

    Case caseMode = Case::None;
    for (qsizetype i = 0; i < end; ++i) {
        const QChar c = mask.at(i);
        if (c == QLatin1Char('\\') && i + 1 < end) {
            m_positions.append({mask.at(++i), true, caseMode});
        } else if (c == QLatin1Char('>')) {
            caseMode = Case::Upper;
        } else if (c == QLatin1Char('<')) {
            // "<>" switches case conversion off
            if (i + 1 < end && mask.at(i + 1) == QLatin1Char('>')) {
                caseMode = Case::None;
                ++i;
            } else {
                caseMode = Case::Lower;
            }
        } else if (c == QLatin1Char('!')) {
            // blank-side marker: no effect on the shown text
        } else if (c == QLatin1Char('_')) {
            m_positions.append({QLatin1Char(' '), true, caseMode});
        } else {
            m_positions.append({c, !isMaskCode(c), caseMode});
        }
    }
}

int EditMaskFormat::inputLength() const
{
    int n = 0;
    for (const Position& p : m_positions)
        n += p.literal ? 0 : 1;
    return n;
}

QString EditMaskFormat::format(const QString& value) const
{
    if (m_positions.isEmpty())
        return value;

    auto applyCase = [](QChar c, Case mode) {
        return mode == Case::Upper ? c.toUpper() : mode == Case::Lower ? c.toLower() : c;
    };

    bool carriesLiterals = value.size() == m_positions.size() && m_positions.size() != inputLength();
    for (qsizetype i = 0; carriesLiterals && i < m_positions.size(); ++i)
        carriesLiterals = !m_positions.at(i).literal || value.at(i) == m_positions.at(i).code;

    QString out;
    out.reserve(m_positions.size());
    if (carriesLiterals) {
        for (qsizetype i = 0; i < m_positions.size(); ++i)
            out.append(applyCase(value.at(i), m_positions.at(i).caseMode));
        return out;
    }

    // Literals go in between typed characters; a short value gets no trailing literals.
    qsizetype next = 0;
    for (const Position& p : m_positions) {
        if (next >= value.size())
            break;
        if (p.literal)
            out.append(p.code);
        else
            out.append(applyCase(value.at(next++), p.caseMode));
    }
    out.append(value.mid(next));
    return out;
}

QString EditMaskFormat::qtInputMask() const
{
    if (m_positions.isEmpty())
        return {};
    QString out;
    Case caseMode = Case::None;
    for (const Position& p : m_positions) {
        if (p.caseMode != caseMode) {
            out.append(p.caseMode == Case::Upper   ? QLatin1Char('>')
                       : p.caseMode == Case::Lower ? QLatin1Char('<')
                                                   : QLatin1Char('!'));
            caseMode = p.caseMode;
        }
        if (p.literal) {
            if (isQtMaskMeta(p.code))
                out.append(QLatin1Char('\\'));
            out.append(p.code);
        } else {
            out.append(qtCodeFor(p.code));
        }
    }
    out.append(QLatin1Char(';')).append(m_blank);
    return out;
}

} // namespace mrv
