// The toolkit's own texts (file dialog, print preview, standard buttons) in the users' language.
#pragma once

namespace mrv {

// Installs Qt's Brazilian Portuguese translations on the running application; false when they
// are not installed on this machine (the texts then stay in English).
bool installQtTranslations();

} // namespace mrv
