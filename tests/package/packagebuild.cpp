// PackageBuild: cpack, then dpkg-deb to list, read and unpack what it made.
#include "packagebuild.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>

namespace suite::test {

QProcessEnvironment administratorsEnvironment()
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove(QStringLiteral("LD_LIBRARY_PATH"));
    env.remove(QStringLiteral("SUITE_BIN_DIR"));
    return env;
}

Ran runProgram(const QString& program, const QStringList& arguments, const QProcessEnvironment& env,
               const QString& workDir, int timeoutMs)
{
    QProcess process;
    process.setProcessEnvironment(env);
    if (!workDir.isEmpty())
        process.setWorkingDirectory(workDir);
    process.start(program, arguments);
    process.closeWriteChannel();
    if (!process.waitForFinished(timeoutMs)) {
        process.kill();
        process.waitForFinished(5000);
        return {-1, QString::fromUtf8(process.readAllStandardOutput()),
                QStringLiteral("%1 did not end: %2").arg(program, process.errorString())};
    }
    return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
            QString::fromUtf8(process.readAllStandardOutput()), QString::fromUtf8(process.readAllStandardError())};
}

QString PackageBuild::make(const QString& cpack, const QString& config)
{
    if (!m_dir.isValid())
        return QStringLiteral("no temporary folder");
    if (cpack.isEmpty() || !QFile::exists(config))
        return QStringLiteral("no cpack or no CPackConfig.cmake (\"%1\", \"%2\")").arg(cpack, config);
    const QString out = m_dir.filePath(QStringLiteral("out"));
    QElapsedTimer timer;
    timer.start();
    const Ran made = runProgram(cpack, {QStringLiteral("--config"), config, QStringLiteral("-B"), out}, {}, {}, 300000);
    m_cpackSeconds = timer.elapsed() / 1000.0;
    if (made.exitCode != 0)
        return QStringLiteral("cpack failed: ") + made.said();

    for (const QString& name : QDir(out).entryList({QStringLiteral("*.deb")}, QDir::Files)) {
        const QString deb = QDir(out).filePath(name);
        const Ran package =
            runProgram(QStringLiteral("dpkg-deb"), {QStringLiteral("-f"), deb, QStringLiteral("Package")});
        if (package.exitCode != 0)
            return QStringLiteral("dpkg-deb cannot read %1: %2").arg(name, package.said());
        m_debs.insert(package.out.trimmed(), deb);
        const Ran unpacked = runProgram(QStringLiteral("dpkg-deb"), {QStringLiteral("-x"), deb, root()});
        if (unpacked.exitCode != 0)
            return QStringLiteral("dpkg-deb -x %1 failed: %2").arg(name, unpacked.said());
    }
    if (m_debs.isEmpty())
        return QStringLiteral("cpack made no .deb in %1: %2").arg(out, made.out);
    return {};
}

QMap<QString, QString> PackageBuild::files(const QString& package) const
{
    // "-rwxr-xr-x root/root  1234 2026-12-10 05:00 ./usr/bin/suite-server"
    static const QRegularExpression entry(QStringLiteral("^(\\S+)\\s+(\\S+)\\s+\\d+\\s+\\S+\\s+\\S+\\s+\\.(/\\S+)$"));
    QMap<QString, QString> files;
    const Ran listed = runProgram(QStringLiteral("dpkg-deb"), {QStringLiteral("-c"), deb(package)});
    for (const QString& line : listed.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
        const QRegularExpressionMatch m = entry.match(line);
        if (m.hasMatch() && m.captured(1).startsWith(QLatin1Char('-')))
            files.insert(m.captured(3), m.captured(1) + QLatin1Char(' ') + m.captured(2));
    }
    return files;
}

QString PackageBuild::field(const QString& package, const QString& name) const
{
    return runProgram(QStringLiteral("dpkg-deb"), {QStringLiteral("-f"), deb(package), name}).out.trimmed();
}

QString PackageBuild::controlFile(const QString& package, const QString& name) const
{
    const QString dir = scratch(QStringLiteral("control-") + package);
    runProgram(QStringLiteral("dpkg-deb"), {QStringLiteral("-e"), deb(package), dir});
    QFile file(QDir(dir).filePath(name));
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

QString PackageBuild::scratch(const QString& name) const
{
    const QString dir = m_dir.filePath(QStringLiteral("scratch/") + name);
    QDir().mkpath(dir);
    return dir;
}

} // namespace suite::test
