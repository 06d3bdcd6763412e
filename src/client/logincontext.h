// Who is logged in, to which branch, and where the application server is.
#pragma once

#include <QString>

namespace mrv {

// Set once by the host after login; read by every module.
struct LoginContext {
    QString filiProc;     // branch code the user logged in to ("0001")
    QString nomeFiliProc; // its name
    QString operador;     // operator code
    QString operadorNome;
    QString webUrl;   // application server host
    QString token;    // session token from POST /login
    QString database; // URL of the shared database
    int webPort = 8211;
    bool moduFili = false; // true in a branch installation
};

void setLoginContext(const LoginContext& context);
const LoginContext& loginContext();

QString FiliProc();
QString NomeFiliProc();
bool ModuFili();
QString Operador();
QString WebURL();
int WebPort();
QString AuthToken();

} // namespace mrv
