// Process-wide login context.
#include "logincontext.h"

namespace mrv {

namespace {
LoginContext& activeContext()
{
    static LoginContext context;
    return context;
}
} // namespace

void setLoginContext(const LoginContext& context)
{
    activeContext() = context;
}
const LoginContext& loginContext()
{
    return activeContext();
}

QString FiliProc()
{
    return activeContext().filiProc;
}
QString NomeFiliProc()
{
    return activeContext().nomeFiliProc;
}
bool ModuFili()
{
    return activeContext().moduFili;
}
QString Operador()
{
    return activeContext().operador;
}
QString WebURL()
{
    return activeContext().webUrl;
}
int WebPort()
{
    return activeContext().webPort;
}
QString AuthToken()
{
    return activeContext().token;
}

} // namespace mrv
