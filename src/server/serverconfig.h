// The configuration file of `suite-server serve --config FILE`, read strictly.
#pragma once

#include "servesettings.h"

#include <QHash>
#include <QString>

namespace suite::server {

// Reads an INI file of [section] lines, "key = value" lines under them, comment lines starting with "#" or ";" and
// blank lines. Anything else, an unknown section or key, a bad value and a key given twice are refused with a
// ConfigError naming the file, the line and the key: a server never starts on settings it did not understand.
// Relative paths in the file are taken from the file's folder.
class ServerConfig {
public:
    static ServeSettings read(const QString& path);

private:
    explicit ServerConfig(const QString& path);
    void readLine(const QString& text, int number);
    void readSection(const QString& text);

    QString m_path;
    QString m_baseDir;
    QString m_section;
    QHash<QString, int> m_lineOf; // "section/key" given, and where
    ServeSettings m_settings;
};

} // namespace suite::server
