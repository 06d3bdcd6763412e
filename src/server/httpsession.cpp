#include "sessionconnection.h"

namespace suite::server {

namespace session {

ApiReply addressFullReply()
{
    ApiReply reply = ApiHandler::error(503, QStringLiteral("too many connections from this address; try again"));
    reply.headers.append(std::pair<QByteArray, QByteArray>("Retry-After", "1"));
    return reply;
}

bool abandoned(const error_code& ec)
{
    return ec == beast::error::timeout || ec == http::error::end_of_stream || ec == net::error::eof ||
           ec == net::error::connection_reset || ec == net::error::operation_aborted ||
           ec == http::error::partial_message || ec == net::ssl::error::stream_truncated;
}

} // namespace session

void startSession(boost::asio::ip::tcp::socket socket, std::string address, AddressQuota::Ticket ticket,
                  bool addressFull, const SessionServices& services)
{
    if (services.tls)
        session::startTls(std::move(socket), std::move(address), std::move(ticket), addressFull, services);
    else
        session::startPlain(std::move(socket), std::move(address), std::move(ticket), addressFull, services);
}

} // namespace suite::server
