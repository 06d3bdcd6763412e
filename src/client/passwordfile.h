// A password kept in a file, so that it never shows on a command line (every user of the machine reads those).
#pragma once

#include <QString>
#include <optional>

namespace mrv {

// The file's first line, without its line end; nullopt, with `error` saying why in Portuguese, when it cannot be read.
std::optional<QString> passwordFromFile(const QString& path, QString& error);

} // namespace mrv
