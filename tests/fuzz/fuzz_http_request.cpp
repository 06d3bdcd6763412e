// Fuzz target: requests as raw bytes off a connection, one after another as keep-alive sends them, through the
// server's HTTP parser (cpp-httplib) and the routes' own parsing: the bearer token and its signature, and the
// bodies of /login, /connect and /call. Nothing here reaches a database.
#include "apirequest.h"
#include "intgcentralservice.h"
#include "servererrors.h"
#include "tokensigner.h"

#include <httplib.h>

#include <QDateTime>

#include <cstdint>
#include <cstdlib>
#include <cstring>

using namespace suite::server;

namespace {

// The connection: the fuzzer's bytes to read, and a sink for the answers.
class MemoryStream final : public httplib::Stream {
public:
    MemoryStream(const std::uint8_t* data, std::size_t size)
        : m_data(reinterpret_cast<const char*>(data))
        , m_size(size)
    {}
    bool atEnd() const { return m_read == m_size; }

    bool is_readable() const override { return !atEnd(); }
    bool is_writable() const override { return true; }
    ssize_t read(char* ptr, std::size_t size) override
    {
        const std::size_t n = std::min(size, m_size - m_read);
        std::memcpy(ptr, m_data + m_read, n);
        m_read += n;
        return ssize_t(n);
    }
    ssize_t write(const char*, std::size_t size) override { return ssize_t(size); }
    void get_remote_ip_and_port(std::string& ip, int& port) const override
    {
        ip = "127.0.0.1";
        port = 40000;
    }
    void get_local_ip_and_port(std::string& ip, int& port) const override
    {
        ip = "127.0.0.1";
        port = 8211;
    }
    socket_t socket() const override { return INVALID_SOCKET; }

private:
    const char* m_data;
    std::size_t m_size;
    std::size_t m_read = 0;
};

void reply(httplib::Response& res, int status)
{
    res.status = status;
    res.set_content("{}", "application/json");
}

// The routes of the real server up to the point where they would open the database.
class Routes : public httplib::Server {
public:
    Routes()
    {
        set_payload_max_length(1u << 20);
        // httplib answers a throwing route 500 and goes on; a parser throwing anything but its refusal is a finding.
        set_exception_handler([](const httplib::Request&, httplib::Response&, std::exception_ptr) { std::abort(); });
        Post("/login", [](const httplib::Request& req, httplib::Response& res) {
            parsed(res, [&] { LoginRequest::parse(QByteArray::fromStdString(req.body)); });
        });
        Post("/connect", [this](const httplib::Request& req, httplib::Response& res) {
            parsed(res, [&] {
                authorize(req);
                if (!IntgCentralService::canonicalServer(
                        ConnectRequest::parse(QByteArray::fromStdString(req.body)).server))
                    throw RequestError(404, QStringLiteral("unknown server"));
            });
        });
        Post("/call", [this](const httplib::Request& req, httplib::Response& res) {
            parsed(res, [&] {
                authorize(req);
                const CallRequest call = CallRequest::parse(QByteArray::fromStdString(req.body));
                if (!IntgCentralService::canonicalServer(call.server))
                    throw RequestError(404, QStringLiteral("unknown server"));
            });
        });
        Get("/health", [](const httplib::Request&, httplib::Response& res) { reply(res, 200); });
    }

    // Answers the requests of one connection until it ends or asks to close, as the server's own loop does.
    void serve(MemoryStream& stream)
    {
        for (int requests = 0; requests < 64 && !stream.atEnd(); ++requests) {
            bool closes = false;
            if (!process_request(stream, false, closes, {}) || closes)
                return;
        }
    }

private:
    template<class Parse> static void parsed(httplib::Response& res, Parse parse)
    {
        try {
            parse();
            reply(res, 200);
        } catch (const RequestError& e) {
            reply(res, e.status());
        }
    }

    void authorize(const httplib::Request& req) const
    {
        const QString token = bearerToken(QString::fromStdString(req.get_header_value("Authorization")));
        if (token.isEmpty() || !m_signer.verify(token, QDateTime::fromSecsSinceEpoch(1767225600, Qt::UTC)))
            throw RequestError(401, QStringLiteral("missing, invalid or expired token"));
    }

    // Seeds carry tokens signed with this key, so the fuzzer starts past the signature check.
    const TokenSigner m_signer{QByteArrayLiteral("fuzzing key")};
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static Routes routes;
    MemoryStream stream(data, size);
    routes.serve(stream);
    return 0;
}
