#include "sessionconnection.h"

namespace suite::server::session {

void startPlain(net::ip::tcp::socket socket, std::string address, AddressQuota::Ticket ticket, bool addressFull,
                const SessionServices& services)
{
    std::make_shared<Session<PlainStream>>(services, std::move(address), std::move(ticket), addressFull,
                                           std::move(socket))
        ->start();
}

} // namespace suite::server::session
