// JSON text read in place: values are checked and skipped, or decoded one at a time, never built as a whole
// document, so that what a large request costs is its text and what the reader keeps of it.
#pragma once

#include <QByteArrayView>
#include <QJsonValue>
#include <QString>

#include <stdexcept>

namespace suite::wire {

/// Text that is not JSON, or a string holding a NUL ("\u0000"), which C code and PostgreSQL cut or refuse.
class JsonTextError : public std::runtime_error {
public:
    explicit JsonTextError(const QString& message)
        : std::runtime_error(message.toStdString())
        , m_message(message)
    {}
    QString message() const { return m_message; }

private:
    QString m_message;
};

class JsonCursor {
public:
    /// Deeper nesting is refused, as Qt's own parser refuses it.
    static constexpr int kMaxDepth = 1024;

    explicit JsonCursor(QByteArrayView text)
        : m_text(text)
    {}

    /// The next byte after blanks, or 0 at the end.
    char peek();
    bool atEnd() { return peek() == 0; }
    /// Throws unless the next byte after blanks is `c`.
    void expect(char c);
    /// Skips `c` when it comes next.
    bool consume(char c);

    /// Checks the value that comes next and steps over it; its text.
    QByteArrayView skipValue();
    /// The string that comes next, decoded.
    QString readString();
    /// The scalar that comes next (string, number, true, false or null); an array or an object throws.
    QJsonValue readScalar();

    /// Calls `member(key)` for each member of the object that comes next; it must step over the member's value.
    template <typename F> void forEachMember(F member)
    {
        expect('{');
        if (consume('}'))
            return;
        do {
            const QString key = readString();
            expect(':');
            member(key);
        } while (consume(','));
        expect('}');
    }
    /// Calls `element()` for each element of the array that comes next; it must step over the element.
    template <typename F> void forEachElement(F element)
    {
        expect('[');
        if (consume(']'))
            return;
        do
            element();
        while (consume(','));
        expect(']');
    }

    [[noreturn]] void fail(const char* what) const;

private:
    void skipString();
    void skipNumber();
    void skipWord(const char* word);
    // The bytes between the quotes, after checking escapes, control bytes and UTF-8.
    QByteArrayView stringBody();

    QByteArrayView m_text;
    qsizetype m_pos = 0;
    int m_depth = 0;
};

/// The value of one JSON text that holds a single scalar; throws JsonTextError otherwise.
QJsonValue scalarOf(QByteArrayView text);

/// The text a checked string body spells (the bytes between its quotes, escapes decoded).
QString decodeStringBody(QByteArrayView body);

} // namespace suite::wire
