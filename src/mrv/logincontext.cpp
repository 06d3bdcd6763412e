// Process-wide login context.
#include "logincontext.h"

namespace mrv {

namespace {
LoginContext& current()
{
    static LoginContext context;
    return context;
}
} // namespace

void setLoginContext(const LoginContext& context)
{
    current() = context;
}
const LoginContext& loginContext()
{
    return current();
}

QString FiliProc()
{
    return current().filiProc;
}
QString NomeFiliProc()
{
    return current().nomeFiliProc;
}
bool ModuFili()
{
    return current().moduFili;
}
QString Operador()
{
    return current().operador;
}
QString WebURL()
{
    return current().webUrl;
}
int WebPort()
{
    return current().webPort;
}
QString AuthToken()
{
    return current().token;
}

} // namespace mrv
