#include "sqlitefunctions.h"

#include "sqlitelines.h"
#include <dberror.h>

#include <QCryptographicHash>
#include <QSqlDriver>
#include <QVariant>

#include <sqlite3.h>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>

namespace suite::server {

using db::DbError;

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

// Appends "[v0,v1,...]" for one line; false (and an error on the context) for a BLOB.
bool appendLine(sqlite3_context* context, sqlite3_str* out, int argc, sqlite3_value** argv)
{
    sqlite3_str_appendchar(out, 1, '[');
    for (int i = 0; i < argc; ++i) {
        if (i > 0)
            sqlite3_str_appendchar(out, 1, ',');
        if (!appendValue(out, argv[i])) {
            sqlite3_result_error(context, "linhas_json: JSON cannot hold BLOB values", -1);
            return false;
        }
    }
    sqlite3_str_appendchar(out, 1, ']');
    return true;
}

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
    appendLine(context, state->text, argc, argv);
}

// Hands a finished text to SQLite, or its error; the text is freed either way.
void resultText(sqlite3_context* context, sqlite3_str* text)
{
    const int error = sqlite3_str_errcode(text);
    const int size = sqlite3_str_length(text);
    char* bytes = sqlite3_str_finish(text);
    if (error != SQLITE_OK) {
        sqlite3_free(bytes);
        sqlite3_result_error_code(context, error);
        return;
    }
    sqlite3_result_text(context, bytes, size, sqlite3_free);
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
    resultText(context, state->text);
}

// A growing byte buffer kept in an aggregate's context (which SQLite zeroes); its final call frees it.
struct Bytes {
    char* data;
    sqlite3_int64 size;
    sqlite3_int64 capacity;
    bool failed;
};

bool reserve(Bytes& bytes, sqlite3_int64 more)
{
    if (bytes.failed)
        return false;
    if (bytes.size + more <= bytes.capacity)
        return true;
    sqlite3_int64 capacity = std::max<sqlite3_int64>(256, bytes.capacity * 2);
    while (capacity < bytes.size + more)
        capacity *= 2;
    char* grown = static_cast<char*>(sqlite3_realloc64(bytes.data, sqlite3_uint64(capacity)));
    if (!grown) {
        bytes.failed = true;
        return false;
    }
    bytes.data = grown;
    bytes.capacity = capacity;
    return true;
}

void append(Bytes& bytes, const void* data, sqlite3_int64 size)
{
    if (size > 0 && reserve(bytes, size)) {
        std::memcpy(bytes.data + bytes.size, data, size_t(size));
        bytes.size += size;
    }
}

// The exact form of a line, for comparing recipes without formatting numbers: per value a type byte, then the
// 8 bytes of an integer or a double, or a text's 4-byte length and bytes. Equal forms mean equal values of equal
// types; BLOBs are refused as linhas_json refuses them.
bool appendExact(sqlite3_context* context, Bytes& out, int argc, sqlite3_value** argv)
{
    for (int i = 0; i < argc; ++i) {
        const char type = char(sqlite3_value_type(argv[i]));
        append(out, &type, 1);
        if (type == SQLITE_INTEGER) {
            const sqlite3_int64 value = sqlite3_value_int64(argv[i]);
            append(out, &value, sizeof value);
        } else if (type == SQLITE_FLOAT) {
            const double value = sqlite3_value_double(argv[i]);
            append(out, &value, sizeof value);
        } else if (type == SQLITE_TEXT) {
            const unsigned char* text = sqlite3_value_text(argv[i]);
            const std::int32_t size = sqlite3_value_bytes(argv[i]);
            append(out, &size, sizeof size);
            append(out, text, size);
        } else if (type == SQLITE_BLOB) {
            sqlite3_result_error(context, "linhas_json: JSON cannot hold BLOB values", -1);
            return false;
        }
    }
    return true;
}

// Whether a value's exact form is the one at `at` in a signature of `size` bytes; advances `at` past it.
bool matchesExact(sqlite3_value* value, const char* signature, sqlite3_int64 size, sqlite3_int64& at)
{
    const int type = sqlite3_value_type(value);
    if (at >= size || static_cast<unsigned char>(signature[at]) != type)
        return false;
    ++at;
    if (type == SQLITE_INTEGER || type == SQLITE_FLOAT) {
        char bytes[8];
        if (type == SQLITE_INTEGER) {
            const sqlite3_int64 number = sqlite3_value_int64(value);
            std::memcpy(bytes, &number, sizeof bytes);
        } else {
            const double number = sqlite3_value_double(value);
            std::memcpy(bytes, &number, sizeof bytes);
        }
        if (size - at < 8 || std::memcmp(signature + at, bytes, 8) != 0)
            return false;
        at += 8;
    } else if (type == SQLITE_TEXT) {
        const unsigned char* text = sqlite3_value_text(value);
        const std::int32_t length = sqlite3_value_bytes(value);
        std::int32_t expected;
        if (size - at < sqlite3_int64(sizeof expected))
            return false;
        std::memcpy(&expected, signature + at, sizeof expected);
        at += sizeof expected;
        if (expected != length || size - at < length || std::memcmp(signature + at, text, size_t(length)) != 0)
            return false;
        at += length;
    } else if (type != SQLITE_NULL) {
        return false;
    }
    return true;
}

// Reads back one value of the exact form as the JSON linhas_json writes for it; returns the bytes it used.
int appendJsonOfExact(sqlite3_str* out, const char* at)
{
    const int type = static_cast<unsigned char>(at[0]);
    if (type == SQLITE_INTEGER) {
        sqlite3_int64 value;
        std::memcpy(&value, at + 1, sizeof value);
        appendNumber(out, value);
        return 1 + sizeof value;
    }
    if (type == SQLITE_FLOAT) {
        double value;
        std::memcpy(&value, at + 1, sizeof value);
        appendNumber(out, value);
        return 1 + sizeof value;
    }
    if (type == SQLITE_TEXT) {
        std::int32_t size;
        std::memcpy(&size, at + 1, sizeof size);
        appendString(out, reinterpret_cast<const unsigned char*>(at + 1 + sizeof size), size);
        return 1 + sizeof size + size;
    }
    sqlite3_str_appendall(out, "null");
    return 1;
}

void signatureStep(sqlite3_context* context, int argc, sqlite3_value** argv)
{
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL)
        return;
    auto* exact = static_cast<Bytes*>(sqlite3_aggregate_context(context, sizeof(Bytes)));
    if (!exact) {
        sqlite3_result_error_nomem(context);
        return;
    }
    appendExact(context, *exact, argc, argv);
}

void signatureFinal(sqlite3_context* context)
{
    auto* exact = static_cast<Bytes*>(sqlite3_aggregate_context(context, 0));
    if (!exact || !exact->data) {
        sqlite3_result_zeroblob(context, 0);
        return;
    }
    if (exact->failed) {
        sqlite3_free(exact->data);
        sqlite3_result_error_nomem(context);
        return;
    }
    sqlite3_result_blob64(context, exact->data, sqlite3_uint64(exact->size), sqlite3_free);
}

// A recipe compared with a signature line by line as its lines arrive. While they match, each line is copied
// from the signature in one piece; at the first that differs the lines so far are written as JSON from that copy,
// and every later line straight as JSON, as linhas_json writes them. An equal recipe costs no formatting at all.
struct DifferState {
    Bytes matchedLines;
    sqlite3_str* json;
    sqlite3_int64 matched; // bytes of the signature the lines matched, while they all do
    sqlite3_int64 signatureSize;
    int lines;
};

// Starts the JSON of a recipe that differs with the lines that matched, and frees their copy.
void startJson(sqlite3_context* context, DifferState& state)
{
    state.json = sqlite3_str_new(sqlite3_context_db_handle(context));
    sqlite3_str_appendchar(state.json, 1, '[');
    const char* at = state.matchedLines.data;
    for (int line = 0; line < state.lines; ++line) {
        sqlite3_str_appendall(state.json, line ? ",[" : "[");
        for (int i = 0; i < 4; ++i) {
            if (i > 0)
                sqlite3_str_appendchar(state.json, 1, ',');
            at += appendJsonOfExact(state.json, at);
        }
        sqlite3_str_appendchar(state.json, 1, ']');
    }
    sqlite3_free(state.matchedLines.data);
    state.matchedLines = {};
}

void differStep(sqlite3_context* context, int argc, sqlite3_value** argv)
{
    auto* state = static_cast<DifferState*>(sqlite3_aggregate_context(context, sizeof(DifferState)));
    if (!state) {
        sqlite3_result_error_nomem(context);
        return;
    }
    sqlite3_value* signatureValue = argv[argc - 1];
    const bool hasSignature = sqlite3_value_type(signatureValue) != SQLITE_NULL;
    const char* signature = hasSignature ? static_cast<const char*>(sqlite3_value_blob(signatureValue)) : nullptr;
    state->signatureSize = hasSignature ? sqlite3_value_bytes(signatureValue) : 0;
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL)
        return;
    if (!state->json) {
        const sqlite3_int64 lineStart = state->matched;
        sqlite3_int64 at = lineStart;
        bool same = true;
        for (int i = 0; i < argc - 1 && same; ++i)
            same = matchesExact(argv[i], signature, state->signatureSize, at);
        if (same) {
            append(state->matchedLines, signature + lineStart, at - lineStart);
            state->matched = at;
            ++state->lines;
            return;
        }
        startJson(context, *state);
    }
    if (state->lines > 0)
        sqlite3_str_appendchar(state->json, 1, ',');
    ++state->lines;
    appendLine(context, state->json, argc - 1, argv);
}

void differFinal(sqlite3_context* context)
{
    auto* state = static_cast<DifferState*>(sqlite3_aggregate_context(context, 0));
    if (!state) {
        // No row at all, so no signature either: a recipe with no lines, compared with one that has some.
        sqlite3_result_text(context, "[]", 2, SQLITE_STATIC);
        return;
    }
    if (state->matchedLines.failed) {
        sqlite3_free(state->matchedLines.data);
        if (state->json)
            sqlite3_free(sqlite3_str_finish(state->json));
        sqlite3_result_error_nomem(context);
        return;
    }
    if (!state->json) {
        if (state->matched == state->signatureSize) {
            sqlite3_free(state->matchedLines.data);
            sqlite3_result_null(context);
            return;
        }
        // Every line matched, but the signature has more.
        startJson(context, *state);
    }
    sqlite3_str_appendchar(state->json, 1, ']');
    resultText(context, state->json);
}

// The number of lines in a text linhas_json wrote: the arrays one level down, strings skipped.
void lineCount(sqlite3_context* context, int, sqlite3_value** argv)
{
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL) {
        sqlite3_result_null(context);
        return;
    }
    const auto* text = reinterpret_cast<const char*>(sqlite3_value_text(argv[0]));
    const int size = sqlite3_value_bytes(argv[0]);
    int depth = 0;
    int lines = 0;
    bool inString = false;
    for (int i = 0; i < size; ++i) {
        const char c = text[i];
        if (inString) {
            if (c == '\\')
                ++i;
            else if (c == '"')
                inString = false;
        } else if (c == '"') {
            inString = true;
        } else if (c == '[') {
            if (++depth == 2)
                ++lines;
        } else if (c == ']') {
            --depth;
        }
    }
    sqlite3_result_int(context, lines);
}

// resumo(x): the first 128 bits of the SHA-256 of x's bytes, in hex, as PostgreSQL's
// left(encode(sha256(...), 'hex'), 32) gives them: a recipe's digest.
void digest(sqlite3_context* context, int, sqlite3_value** argv)
{
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL)
        return;
    const void* bytes = sqlite3_value_blob(argv[0]);
    const int size = sqlite3_value_bytes(argv[0]);
    const QByteArray hex =
        QCryptographicHash::hash(QByteArrayView(static_cast<const char*>(bytes), size), QCryptographicHash::Sha256)
            .toHex()
            .left(32);
    sqlite3_result_text(context, hex.constData(), int(hex.size()), SQLITE_TRANSIENT);
}

// The connection's own handle, or null when it is not SQLite.
sqlite3* sqliteHandle(const QSqlDatabase& db)
{
    const QVariant handle = db.driver() ? db.driver()->handle() : QVariant();
    if (!handle.isValid() || qstrcmp(handle.typeName(), "sqlite3*") != 0)
        return nullptr;
    return *static_cast<sqlite3* const*>(handle.constData());
}

} // namespace

void registerSqliteFunctions(const QSqlDatabase& db)
{
    sqlite3* connection = sqliteHandle(db);
    if (!connection)
        throw DbError(QStringLiteral("adding SQL functions: not a SQLite connection"));
    const struct {
        const char* name;
        int arguments;
        void (*step)(sqlite3_context*, int, sqlite3_value**);
        void (*final)(sqlite3_context*);
    } aggregates[] = {
        {"linhas_json", 4, linesStep, linesFinal},
        {"linhas_assinatura", 4, signatureStep, signatureFinal},
        {"linhas_json_se_diferem", 5, differStep, differFinal},
    };
    for (const auto& a : aggregates) {
        const int rc = sqlite3_create_function(connection, a.name, a.arguments, SQLITE_UTF8 | SQLITE_DETERMINISTIC,
                                               nullptr, nullptr, a.step, a.final);
        if (rc != SQLITE_OK)
            throw DbError(QStringLiteral("adding SQL functions: %1").arg(QString::fromUtf8(sqlite3_errstr(rc))));
    }
    int rc = sqlite3_create_function(connection, "linhas_qt", 1, SQLITE_UTF8 | SQLITE_DETERMINISTIC, nullptr, lineCount,
                                     nullptr, nullptr);
    if (rc == SQLITE_OK)
        rc = sqlite3_create_function(connection, "resumo", 1, SQLITE_UTF8 | SQLITE_DETERMINISTIC, nullptr, digest,
                                     nullptr, nullptr);
    if (rc == SQLITE_OK)
        rc = registerLinesTable(connection);
    if (rc != SQLITE_OK)
        throw DbError(QStringLiteral("adding SQL functions: %1").arg(QString::fromUtf8(sqlite3_errstr(rc))));
}

void ensureSqliteFunctions(const QSqlDatabase& db)
{
    sqlite3* connection = sqliteHandle(db);
    if (!connection)
        return;
    // All are registered together, so one tells whether the others are there.
    sqlite3_stmt* probe = nullptr;
    const int rc = sqlite3_prepare_v2(connection, "SELECT linhas_qt(NULL)", -1, &probe, nullptr);
    sqlite3_finalize(probe);
    if (rc != SQLITE_OK)
        registerSqliteFunctions(db);
}

} // namespace suite::server
