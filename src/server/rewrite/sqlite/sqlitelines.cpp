// linhas_de: a before-image's text read back as rows, for the undo. json_each and four json_extract per line
// re-render and re-parse every line; this reads the text once.
#include "sqlitelines.h"

#include <sqlite3.h>

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

namespace suite::server {

namespace {

constexpr int kColumns = 4; // NRSEQ, CDARVPROD, QTPRODUTO, SGUNIDADE; then the hidden argument

struct Value {
    int type = SQLITE_NULL;
    sqlite3_int64 integer = 0;
    double real = 0;
    std::size_t at = 0; // a text's bytes in the cursor's `texts`
    std::size_t size = 0;
};

struct Cursor {
    sqlite3_vtab_cursor base;
    std::vector<std::array<Value, kColumns>> lines;
    std::string texts;
    std::size_t line = 0;
};

// Reads the JSON the before-images are written in: an array of arrays of four scalars. Values come out typed as
// json_extract gives them: integers as INTEGER, other numbers as REAL (read exactly, so a shortest-form number
// gives back the very double it was written from), strings as TEXT, null as NULL, true and false as 1 and 0.
class Parser {
public:
    Parser(const char* text, std::size_t size, Cursor& out)
        : m_at(text)
        , m_end(text + size)
        , m_out(out)
    {}

    bool lines()
    {
        if (!take('['))
            return false;
        if (take(']'))
            return atEnd();
        do {
            std::array<Value, kColumns> line;
            if (!take('['))
                return false;
            for (int i = 0; i < kColumns; ++i) {
                if ((i > 0 && !take(',')) || !value(line[std::size_t(i)]))
                    return false;
            }
            if (!take(']'))
                return false;
            m_out.lines.push_back(line);
        } while (take(','));
        return take(']') && atEnd();
    }

private:
    void space()
    {
        while (m_at < m_end && (*m_at == ' ' || *m_at == '\t' || *m_at == '\n' || *m_at == '\r'))
            ++m_at;
    }

    bool take(char c)
    {
        space();
        if (m_at < m_end && *m_at == c) {
            ++m_at;
            return true;
        }
        return false;
    }

    bool atEnd()
    {
        space();
        return m_at == m_end;
    }

    bool word(const char* w)
    {
        const std::size_t n = std::strlen(w);
        if (std::size_t(m_end - m_at) < n || std::memcmp(m_at, w, n) != 0)
            return false;
        m_at += n;
        return true;
    }

    bool value(Value& v)
    {
        space();
        if (m_at == m_end)
            return false;
        if (*m_at == '"')
            return text(v);
        if (word("null")) {
            v.type = SQLITE_NULL;
            return true;
        }
        for (const auto& [name, truth] : {std::pair{"true", 1}, std::pair{"false", 0}}) {
            if (word(name)) {
                v.type = SQLITE_INTEGER;
                v.integer = truth;
                return true;
            }
        }
        return number(v);
    }

    bool number(Value& v)
    {
        const char* start = m_at;
        bool integral = true;
        while (m_at < m_end && *m_at != '\0' && std::strchr("+-0123456789.eE", *m_at) != nullptr) {
            if (*m_at == '.' || *m_at == 'e' || *m_at == 'E')
                integral = false;
            ++m_at;
        }
        if (m_at == start)
            return false;
        const char* first = *start == '+' ? start + 1 : start;
        if (integral) {
            const auto [end, error] = std::from_chars(first, m_at, v.integer);
            if (error == std::errc() && end == m_at) {
                v.type = SQLITE_INTEGER;
                return true;
            }
        }
        const auto [end, error] = std::from_chars(first, m_at, v.real);
        if (end != m_at)
            return false;
        if (error == std::errc::result_out_of_range) {
            // Past a double's reach: infinity (the writer gives it as 9e999) or, with a negative exponent, zero.
            const char* exponent = std::find_if(first, m_at, [](char c) { return c == 'e' || c == 'E'; });
            const bool underflow = exponent != m_at && exponent + 1 != m_at && exponent[1] == '-';
            const double magnitude = underflow ? 0.0 : HUGE_VAL;
            v.real = *first == '-' ? -magnitude : magnitude;
        } else if (error != std::errc()) {
            return false;
        }
        v.type = SQLITE_FLOAT;
        return true;
    }

    void utf8(unsigned code)
    {
        std::string& t = m_out.texts;
        if (code < 0x80) {
            t += char(code);
        } else if (code < 0x800) {
            t += char(0xC0 | (code >> 6));
            t += char(0x80 | (code & 0x3F));
        } else if (code < 0x10000) {
            t += char(0xE0 | (code >> 12));
            t += char(0x80 | ((code >> 6) & 0x3F));
            t += char(0x80 | (code & 0x3F));
        } else {
            t += char(0xF0 | (code >> 18));
            t += char(0x80 | ((code >> 12) & 0x3F));
            t += char(0x80 | ((code >> 6) & 0x3F));
            t += char(0x80 | (code & 0x3F));
        }
    }

    bool hex4(unsigned& code)
    {
        if (m_end - m_at < 4)
            return false;
        const auto [end, error] = std::from_chars(m_at, m_at + 4, code, 16);
        if (error != std::errc() || end != m_at + 4)
            return false;
        m_at += 4;
        return true;
    }

    bool text(Value& v)
    {
        ++m_at; // the opening quote
        v.type = SQLITE_TEXT;
        v.at = m_out.texts.size();
        while (m_at < m_end && *m_at != '"') {
            const char* plain = m_at;
            while (m_at < m_end && *m_at != '"' && *m_at != '\\')
                ++m_at;
            m_out.texts.append(plain, std::size_t(m_at - plain));
            if (m_at == m_end || *m_at == '"')
                break;
            if (++m_at == m_end)
                return false;
            const char escaped = *m_at++;
            switch (escaped) {
            case '"': case '\\': case '/': m_out.texts += escaped; break;
            case 'b': m_out.texts += '\b'; break;
            case 'f': m_out.texts += '\f'; break;
            case 'n': m_out.texts += '\n'; break;
            case 'r': m_out.texts += '\r'; break;
            case 't': m_out.texts += '\t'; break;
            case 'u': {
                unsigned code = 0;
                if (!hex4(code))
                    return false;
                unsigned low = 0;
                if (code >= 0xD800 && code < 0xDC00 && m_end - m_at >= 6 && m_at[0] == '\\' && m_at[1] == 'u') {
                    m_at += 2;
                    if (!hex4(low) || low < 0xDC00 || low > 0xDFFF)
                        return false;
                    code = 0x10000 + ((code - 0xD800) << 10) + (low - 0xDC00);
                }
                utf8(code);
                break;
            }
            default:
                return false;
            }
        }
        if (m_at == m_end)
            return false;
        ++m_at; // the closing quote
        v.size = m_out.texts.size() - v.at;
        return true;
    }

    const char* m_at;
    const char* m_end;
    Cursor& m_out;
};

int connect(sqlite3* db, void*, int, const char* const*, sqlite3_vtab** table, char**)
{
    const int rc = sqlite3_declare_vtab(db, "CREATE TABLE x(NRSEQ, CDARVPROD, QTPRODUTO, SGUNIDADE, texto HIDDEN)");
    if (rc != SQLITE_OK)
        return rc;
    *table = static_cast<sqlite3_vtab*>(sqlite3_malloc(sizeof(sqlite3_vtab)));
    if (!*table)
        return SQLITE_NOMEM;
    std::memset(*table, 0, sizeof(sqlite3_vtab));
    return SQLITE_OK;
}

int disconnect(sqlite3_vtab* table)
{
    sqlite3_free(table);
    return SQLITE_OK;
}

// Only with its text given: linhas_de(x) in a FROM clause.
int bestIndex(sqlite3_vtab*, sqlite3_index_info* info)
{
    for (int i = 0; i < info->nConstraint; ++i) {
        const auto& c = info->aConstraint[i];
        if (c.iColumn == kColumns && c.op == SQLITE_INDEX_CONSTRAINT_EQ) {
            if (!c.usable)
                return SQLITE_CONSTRAINT;
            info->aConstraintUsage[i].argvIndex = 1;
            info->aConstraintUsage[i].omit = 1;
            info->estimatedCost = 10;
            info->estimatedRows = 10;
            return SQLITE_OK;
        }
    }
    return SQLITE_CONSTRAINT;
}

int open(sqlite3_vtab*, sqlite3_vtab_cursor** cursor)
{
    auto* c = new (std::nothrow) Cursor{};
    if (!c)
        return SQLITE_NOMEM;
    *cursor = &c->base;
    return SQLITE_OK;
}

int close(sqlite3_vtab_cursor* cursor)
{
    delete reinterpret_cast<Cursor*>(cursor);
    return SQLITE_OK;
}

int filter(sqlite3_vtab_cursor* cursor, int, const char*, int argc, sqlite3_value** argv)
{
    auto* c = reinterpret_cast<Cursor*>(cursor);
    c->lines.clear();
    c->texts.clear();
    c->line = 0;
    if (argc < 1 || sqlite3_value_type(argv[0]) == SQLITE_NULL)
        return SQLITE_OK;
    const auto* text = reinterpret_cast<const char*>(sqlite3_value_text(argv[0]));
    const int size = sqlite3_value_bytes(argv[0]);
    try {
        if (Parser(text, std::size_t(size), *c).lines())
            return SQLITE_OK;
    } catch (const std::bad_alloc&) {
        return SQLITE_NOMEM;
    }
    sqlite3_free(cursor->pVtab->zErrMsg);
    cursor->pVtab->zErrMsg = sqlite3_mprintf("linhas_de: the text is not an array of lines of four values");
    return SQLITE_ERROR;
}

int next(sqlite3_vtab_cursor* cursor)
{
    ++reinterpret_cast<Cursor*>(cursor)->line;
    return SQLITE_OK;
}

int eof(sqlite3_vtab_cursor* cursor)
{
    const auto* c = reinterpret_cast<Cursor*>(cursor);
    return c->line >= c->lines.size();
}

int column(sqlite3_vtab_cursor* cursor, sqlite3_context* context, int index)
{
    const auto* c = reinterpret_cast<Cursor*>(cursor);
    if (index >= kColumns) {
        sqlite3_result_null(context);
        return SQLITE_OK;
    }
    const Value& v = c->lines[c->line][std::size_t(index)];
    switch (v.type) {
    case SQLITE_INTEGER:
        sqlite3_result_int64(context, v.integer);
        break;
    case SQLITE_FLOAT:
        sqlite3_result_double(context, v.real);
        break;
    case SQLITE_TEXT:
        sqlite3_result_text64(context, c->texts.data() + v.at, v.size, SQLITE_TRANSIENT, SQLITE_UTF8);
        break;
    default:
        sqlite3_result_null(context);
    }
    return SQLITE_OK;
}

int rowid(sqlite3_vtab_cursor* cursor, sqlite3_int64* id)
{
    *id = sqlite3_int64(reinterpret_cast<Cursor*>(cursor)->line);
    return SQLITE_OK;
}

sqlite3_module linesModule()
{
    sqlite3_module m{};
    m.xConnect = connect; // no xCreate: the table exists only as the function
    m.xBestIndex = bestIndex;
    m.xDisconnect = disconnect;
    m.xDestroy = disconnect;
    m.xOpen = open;
    m.xClose = close;
    m.xFilter = filter;
    m.xNext = next;
    m.xEof = eof;
    m.xColumn = column;
    m.xRowid = rowid;
    return m;
}

} // namespace

int registerLinesTable(sqlite3* connection)
{
    static const sqlite3_module module = linesModule();
    return sqlite3_create_module(connection, "linhas_de", &module, nullptr);
}

} // namespace suite::server
