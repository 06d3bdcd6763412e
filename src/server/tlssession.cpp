#include "sessionconnection.h"

namespace suite::server::session {

void startTls(net::ip::tcp::socket socket, std::string address, AddressQuota::Ticket ticket, bool addressFull,
              const SessionServices& services)
{
    std::make_shared<Session<TlsStream>>(services, std::move(address), std::move(ticket), addressFull,
                                         std::move(socket), *services.tls)
        ->start();
}

} // namespace suite::server::session
