// Writing a file that stands for a login: readable by its owner alone, never through a link planted in its place.
#pragma once

#include <QByteArray>
#include <QString>

namespace suite::cli {

// Makes the missing folders of `path` (mode 0700), then writes `content` to a new file of mode 0600 in the same
// folder and renames it over `path`, so a reader sees the old file or the new one whole. Refuses, with the reason,
// when `path` is a symbolic link or not a regular file. Throws mrv::Exception.
void writePrivateFile(const QString& path, const QByteArray& content);

} // namespace suite::cli
