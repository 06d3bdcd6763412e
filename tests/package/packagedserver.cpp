// PackagedServer: the packaged program run as the tests run this build's, in the administrator's environment.
#include "packagedserver.h"
#include "packagebuild.h"

#include <httplib.h>

namespace suite::test {

QString PackagedServer::start(const QString& program, const QStringList& arguments)
{
    return m_server.launch(program, arguments, administratorsEnvironment());
}

int PackagedServer::stop()
{
    m_server.stop();
    QProcess& process = m_server.process();
    return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
}

int PackagedServer::get(const char* path, std::string* body) const
{
    httplib::Client client("127.0.0.1", port());
    client.set_connection_timeout(5);
    client.set_read_timeout(10);
    const httplib::Result answer = client.Get(path);
    if (!answer)
        return 0;
    if (body)
        *body = answer->body;
    return answer->status;
}

} // namespace suite::test
