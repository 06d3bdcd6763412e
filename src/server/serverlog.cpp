#include "serverlog.h"

namespace suite::server {
Q_LOGGING_CATEGORY(lcServer, "suite.server")

namespace {

bool hidden(char32_t c)
{
    switch (QChar::category(c)) {
    case QChar::Other_Control:
    case QChar::Other_Format: // bidirectional overrides among them: they reorder what a reader sees
    case QChar::Other_Surrogate:
    case QChar::Separator_Line:
    case QChar::Separator_Paragraph:
        return true;
    default:
        return false;
    }
}

} // namespace

QString printable(QStringView text)
{
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        switch (c.unicode()) {
        case '\\':
            out += QLatin1String("\\\\");
            continue;
        case '\n':
            out += QLatin1String("\\n");
            continue;
        case '\r':
            out += QLatin1String("\\r");
            continue;
        case '\t':
            out += QLatin1String("\\t");
            continue;
        default:
            break;
        }
        // A lone surrogate stands for itself; a pair for the one character it encodes.
        const bool pair = c.isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate();
        const char32_t code = pair ? QChar::surrogateToUcs4(c, text[i + 1]) : c.unicode();
        if (!hidden(code))
            out += text.mid(i, pair ? 2 : 1);
        else if (code < 0x100)
            out += QStringLiteral("\\x%1").arg(uint(code), 2, 16, QLatin1Char('0'));
        else if (code < 0x10000)
            out += QStringLiteral("\\u%1").arg(uint(code), 4, 16, QLatin1Char('0'));
        else
            out += QStringLiteral("\\u{%1}").arg(uint(code), 0, 16);
        if (pair)
            ++i;
    }
    return out;
}

} // namespace suite::server
