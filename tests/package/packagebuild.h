// The Debian packages of this build, made by cpack into a temporary folder and unpacked into a throw-away root as
// "dpkg-deb -x" lays them out: what the package test inspects and runs.
#pragma once

#include <QMap>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

namespace suite::test {

/// What a program said and how it ended; exitCode -1 when it did not start or end in time.
struct Ran {
    int exitCode = -1;
    QString out;
    QString err;
    QString said() const { return out + err; }
};

/// The environment of a program an administrator starts: nothing that points into the build.
QProcessEnvironment administratorsEnvironment();

/// Runs `program` to its end (at most `timeoutMs`).
Ran runProgram(const QString& program, const QStringList& arguments,
               const QProcessEnvironment& env = QProcessEnvironment::systemEnvironment(), const QString& workDir = {},
               int timeoutMs = 120000);

class PackageBuild {
public:
    /// cpack with `config` (a build's CPackConfig.cmake), then every package unpacked into root(); empty on
    /// success, else why not.
    QString make(const QString& cpack, const QString& config);

    /// The folder every package is unpacked into: "/usr/bin/x" of a package is root() + "/usr/bin/x".
    QString root() const { return m_dir.filePath(QStringLiteral("root")); }
    QString inRoot(const QString& path) const { return root() + path; }
    /// The .deb file of `package` (e.g. "suite-server"); empty when cpack made none.
    QString deb(const QString& package) const { return m_debs.value(package); }
    QStringList packages() const { return m_debs.keys(); }
    /// Seconds cpack took.
    double cpackSeconds() const { return m_cpackSeconds; }

    /// The package's regular files, "/usr/bin/x" -> "-rwxr-xr-x root/root", from its data archive.
    QMap<QString, QString> files(const QString& package) const;
    /// A control field ("Depends"), as dpkg-deb reads it.
    QString field(const QString& package, const QString& name) const;
    /// A control file ("conffiles", "postinst"); empty when the package has none.
    QString controlFile(const QString& package, const QString& name) const;
    /// A scratch folder that lives as long as this object.
    QString scratch(const QString& name) const;

private:
    QTemporaryDir m_dir;
    QMap<QString, QString> m_debs;
    double m_cpackSeconds = 0;
};

} // namespace suite::test
