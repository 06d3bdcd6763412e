// JSON text read in place.
#include "jsoncursor.h"

#include <QByteArray>

namespace suite::wire {

namespace {

bool isBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

int hexValue(char c)
{
    if (isDigit(c))
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// The length of the UTF-8 sequence at `at`, or 0 when it is not a well-formed one (overlong, a surrogate, > U+10FFFF).
qsizetype utf8Length(QByteArrayView text, qsizetype at)
{
    const auto byte = [&](qsizetype i) { return i < text.size() ? uchar(text[i]) : 0; };
    const uchar lead = byte(at);
    const auto continues = [&](qsizetype i, uchar low = 0x80, uchar high = 0xBF) {
        return byte(i) >= low && byte(i) <= high;
    };
    if (lead >= 0xC2 && lead <= 0xDF)
        return continues(at + 1) ? 2 : 0;
    if (lead >= 0xE0 && lead <= 0xEF) {
        const uchar low = lead == 0xE0 ? 0xA0 : 0x80;
        const uchar high = lead == 0xED ? 0x9F : 0xBF;
        return continues(at + 1, low, high) && continues(at + 2) ? 3 : 0;
    }
    if (lead >= 0xF0 && lead <= 0xF4) {
        const uchar low = lead == 0xF0 ? 0x90 : 0x80;
        const uchar high = lead == 0xF4 ? 0x8F : 0xBF;
        return continues(at + 1, low, high) && continues(at + 2) && continues(at + 3) ? 4 : 0;
    }
    return 0;
}

} // namespace

void JsonCursor::fail(const char* what) const
{
    throw JsonTextError(QStringLiteral("malformed JSON: %1 at offset %2").arg(QLatin1String(what)).arg(m_pos));
}

char JsonCursor::peek()
{
    while (m_pos < m_text.size() && isBlank(m_text[m_pos]))
        ++m_pos;
    return m_pos < m_text.size() ? m_text[m_pos] : 0;
}

void JsonCursor::expect(char c)
{
    if (peek() != c)
        fail(c == ':' ? "a colon expected" : c == '"' ? "a string expected" : "unexpected character");
    ++m_pos;
}

bool JsonCursor::consume(char c)
{
    if (peek() != c)
        return false;
    ++m_pos;
    return true;
}

QByteArrayView JsonCursor::stringBody()
{
    expect('"');
    const qsizetype start = m_pos;
    while (m_pos < m_text.size()) {
        const uchar c = uchar(m_text[m_pos]);
        if (c == '"') {
            const QByteArrayView body = m_text.sliced(start, m_pos - start);
            ++m_pos;
            return body;
        }
        if (c < 0x20)
            fail("a control character in a string");
        if (c == '\\') {
            const char escaped = m_pos + 1 < m_text.size() ? m_text[m_pos + 1] : 0;
            if (escaped == 'u') {
                int code = 0;
                for (int i = 2; i < 6; ++i) {
                    const int digit = m_pos + i < m_text.size() ? hexValue(m_text[m_pos + i]) : -1;
                    if (digit < 0)
                        fail("a bad \\u escape");
                    code = code * 16 + digit;
                }
                if (code == 0)
                    throw JsonTextError(QStringLiteral("a JSON string holds a NUL character"));
                m_pos += 6;
            } else if (QByteArrayView("\"\\/bfnrt").contains(escaped) && escaped != 0) {
                m_pos += 2;
            } else {
                fail("a bad escape");
            }
        } else if (c >= 0x80) {
            const qsizetype length = utf8Length(m_text, m_pos);
            if (length == 0)
                fail("invalid UTF-8 in a string");
            m_pos += length;
        } else {
            ++m_pos;
        }
    }
    fail("an unterminated string");
}

void JsonCursor::skipString()
{
    stringBody();
}

QString JsonCursor::readString()
{
    return decodeStringBody(stringBody());
}

QString decodeStringBody(QByteArrayView body)
{
    if (!body.contains('\\'))
        return QString::fromUtf8(body);
    QString text;
    text.reserve(body.size());
    qsizetype i = 0;
    while (i < body.size()) {
        const qsizetype escape = body.indexOf('\\', i);
        const qsizetype plainEnd = escape < 0 ? body.size() : escape;
        text += QString::fromUtf8(body.sliced(i, plainEnd - i));
        if (escape < 0)
            break;
        const char kind = body[escape + 1];
        switch (kind) {
        case 'b': text += QChar(0x08); break;
        case 'f': text += QChar(0x0C); break;
        case 'n': text += QChar(0x0A); break;
        case 'r': text += QChar(0x0D); break;
        case 't': text += QChar(0x09); break;
        case 'u': {
            int code = 0;
            for (int d = 2; d < 6; ++d)
                code = code * 16 + hexValue(body[escape + d]);
            text += QChar(char16_t(code));
            i = escape + 6;
            continue;
        }
        default: text += QLatin1Char(kind); break;
        }
        i = escape + 2;
    }
    return text;
}

void JsonCursor::skipNumber()
{
    const auto digits = [this] {
        const qsizetype start = m_pos;
        while (m_pos < m_text.size() && isDigit(m_text[m_pos]))
            ++m_pos;
        return m_pos - start;
    };
    if (m_pos < m_text.size() && m_text[m_pos] == '-')
        ++m_pos;
    const qsizetype start = m_pos;
    const qsizetype whole = digits();
    if (whole == 0 || (whole > 1 && m_text[start] == '0'))
        fail("an illegal number");
    if (m_pos < m_text.size() && m_text[m_pos] == '.') {
        ++m_pos;
        if (digits() == 0)
            fail("an illegal number");
    }
    if (m_pos < m_text.size() && (m_text[m_pos] == 'e' || m_text[m_pos] == 'E')) {
        ++m_pos;
        if (m_pos < m_text.size() && (m_text[m_pos] == '+' || m_text[m_pos] == '-'))
            ++m_pos;
        if (digits() == 0)
            fail("an illegal number");
    }
}

void JsonCursor::skipWord(const char* word)
{
    const QByteArrayView expected(word);
    if (!m_text.sliced(m_pos).startsWith(expected))
        fail("an illegal value");
    m_pos += expected.size();
}

QByteArrayView JsonCursor::skipValue()
{
    const char next = peek();
    const qsizetype start = m_pos;
    switch (next) {
    case '"':
        skipString();
        break;
    case '{':
    case '[':
        if (++m_depth > kMaxDepth)
            fail("too deep a nesting");
        if (next == '{')
            forEachMember([this](const QString&) { skipValue(); });
        else
            forEachElement([this] { skipValue(); });
        --m_depth;
        break;
    case 't':
        skipWord("true");
        break;
    case 'f':
        skipWord("false");
        break;
    case 'n':
        skipWord("null");
        break;
    default:
        if (next != '-' && !isDigit(next))
            fail(next == 0 ? "a value expected" : "an illegal value");
        skipNumber();
    }
    return m_text.sliced(start, m_pos - start);
}

QJsonValue JsonCursor::readScalar()
{
    const char next = peek();
    if (next == '"')
        return readString();
    if (next == '{' || next == '[')
        fail("a nested value");
    const QByteArrayView text = skipValue();
    if (next == 't')
        return true;
    if (next == 'f')
        return false;
    if (next == 'n')
        return QJsonValue::Null;
    bool ok = false;
    const double number = QByteArray::fromRawData(text.data(), text.size()).toDouble(&ok);
    if (!ok)
        fail("an illegal number");
    return number;
}

QJsonValue scalarOf(QByteArrayView text)
{
    JsonCursor cursor(text);
    const QJsonValue value = cursor.readScalar();
    if (!cursor.atEnd())
        cursor.fail("text after the value");
    return value;
}

} // namespace suite::wire
