#include "sqlitefunctions.h"

#include "dberror.h"

#include <QSqlDriver>
#include <QVariant>

#include <sqlite3.h>

#include <charconv>
#include <cmath>

namespace suite::db {

namespace {

// sqlite3's own json_array() formats every REAL with printf("%!.15g"): a third of a before-image's cost,
// and not exact past 15 digits.
void appendNumber(sqlite3_str* out, double value)
{
    if (std::isinf(value)) {
        // What SQLite's JSON reader takes for infinity.
        sqlite3_str_appendall(out, value > 0 ? "9e999" : "-9e999");
        return;
    }
    char text[32];
    const auto end = std::to_chars(text, text + sizeof text, value).ptr;
    sqlite3_str_append(out, text, int(end - text));
}

void appendNumber(sqlite3_str* out, sqlite3_int64 value)
{
    char text[24];
    const auto end = std::to_chars(text, text + sizeof text, value).ptr;
    sqlite3_str_append(out, text, int(end - text));
}

void appendString(sqlite3_str* out, const unsigned char* text, int size)
{
    static const char hex[] = "0123456789abcdef";
    sqlite3_str_appendchar(out, 1, '"');
    int plain = 0;
    for (int i = 0; i < size; ++i) {
        const unsigned char c = text[i];
        if (c >= 0x20 && c != '"' && c != '\\')
            continue;
        sqlite3_str_append(out, reinterpret_cast<const char*>(text) + plain, i - plain);
        plain = i + 1;
        if (c == '"' || c == '\\') {
            const char escaped[] = {'\\', char(c)};
            sqlite3_str_append(out, escaped, 2);
        } else {
            const char escaped[] = {'\\', 'u', '0', '0', hex[c >> 4], hex[c & 15]};
            sqlite3_str_append(out, escaped, 6);
        }
    }
    sqlite3_str_append(out, reinterpret_cast<const char*>(text) + plain, size - plain);
    sqlite3_str_appendchar(out, 1, '"');
}

// False for a BLOB, which JSON cannot hold.
bool appendValue(sqlite3_str* out, sqlite3_value* value)
{
    switch (sqlite3_value_type(value)) {
    case SQLITE_INTEGER:
        appendNumber(out, sqlite3_value_int64(value));
        return true;
    case SQLITE_FLOAT:
        appendNumber(out, sqlite3_value_double(value));
        return true;
    case SQLITE_NULL:
        sqlite3_str_appendall(out, "null");
        return true;
    case SQLITE_TEXT:
        appendString(out, sqlite3_value_text(value), sqlite3_value_bytes(value));
        return true;
    default:
        return false;
    }
}

struct LinesState {
    sqlite3_str* text;
};

void linesStep(sqlite3_context* context, int argc, sqlite3_value** argv)
{
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL)
        return;
    auto* state = static_cast<LinesState*>(sqlite3_aggregate_context(context, sizeof(LinesState)));
    if (!state) {
        sqlite3_result_error_nomem(context);
        return;
    }
    if (!state->text) {
        state->text = sqlite3_str_new(sqlite3_context_db_handle(context));
        sqlite3_str_appendchar(state->text, 1, '[');
    } else {
        sqlite3_str_appendchar(state->text, 1, ',');
    }
    sqlite3_str_appendchar(state->text, 1, '[');
    for (int i = 0; i < argc; ++i) {
        if (i > 0)
            sqlite3_str_appendchar(state->text, 1, ',');
        if (!appendValue(state->text, argv[i])) {
            sqlite3_result_error(context, "linhas_json: JSON cannot hold BLOB values", -1);
            return;
        }
    }
    sqlite3_str_appendchar(state->text, 1, ']');
}

// SQLite calls this once for every group, also when the statement stops early, so the text is always freed.
void linesFinal(sqlite3_context* context)
{
    auto* state = static_cast<LinesState*>(sqlite3_aggregate_context(context, 0));
    if (!state || !state->text) {
        sqlite3_result_text(context, "[]", 2, SQLITE_STATIC);
        return;
    }
    sqlite3_str_appendchar(state->text, 1, ']');
    const int error = sqlite3_str_errcode(state->text);
    const int size = sqlite3_str_length(state->text);
    char* text = sqlite3_str_finish(state->text);
    if (error == SQLITE_OK) {
        sqlite3_result_text(context, text, size, sqlite3_free);
        return;
    }
    sqlite3_free(text);
    sqlite3_result_error_code(context, error);
}

} // namespace

void registerSqliteFunctions(const QSqlDatabase& db)
{
    const QVariant handle = db.driver() ? db.driver()->handle() : QVariant();
    if (!handle.isValid() || qstrcmp(handle.typeName(), "sqlite3*") != 0)
        throw DbError(QStringLiteral("adding SQL functions: not a SQLite connection"));
    sqlite3* connection = *static_cast<sqlite3* const*>(handle.constData());
    const int rc = sqlite3_create_function(connection, "linhas_json", 4, SQLITE_UTF8 | SQLITE_DETERMINISTIC, nullptr,
                                           nullptr, linesStep, linesFinal);
    if (rc != SQLITE_OK)
        throw DbError(QStringLiteral("adding SQL functions: %1").arg(QString::fromUtf8(sqlite3_errstr(rc))));
}

} // namespace suite::db
