// The module's C entry points, resolved by name by the host.
#include "package/pkg_rci06000.h"

#include <binding.h>

extern "C" {

Q_DECL_EXPORT void IniProc()
{
    // Nothing may unwind into the host's C call: failures go to its exception handler.
    mrv::invokeGuarded([] { rci06000::IniProc(); });
}

Q_DECL_EXPORT void CriaListServ()
{
    mrv::invokeGuarded([] { rci06000::CriaListServ(); });
}

Q_DECL_EXPORT void IniHistorico()
{
    mrv::invokeGuarded([] { rci06000::IniHistorico(); });
}

Q_DECL_EXPORT void PackageLoad()
{
    rci06000::PackageLoad();
}

Q_DECL_EXPORT void PackageUnload()
{
    rci06000::PackageUnload();
}

Q_DECL_EXPORT const char* PackageInfo()
{
    return rci06000::PackageInfo();
}

} // extern "C"
