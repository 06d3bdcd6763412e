// The host as the kit and the module see it in tests: it records what reaches it and keeps screens as top-level
// windows that it does not show (the module shows its own, as under the real host).
#pragma once

#include <hostservices.h>

#include <QStringList>
#include <QWidget>
#include <memory>

namespace suite::test {

class RecordingHost : public mrv::HostServices {
public:
    RecordingHost()
        : m_ownMain(std::make_unique<QWidget>())
    {
        m_ownMain->resize(800, 600);
        main = m_ownMain.get();
        mrv::setHostServices(this);
    }
    ~RecordingHost() override
    {
        if (mrv::hostServices() == this)
            mrv::setHostServices(nullptr);
    }
    RecordingHost(const RecordingHost&) = delete;
    RecordingHost& operator=(const RecordingHost&) = delete;

    QWidget* mainWindow() override { return main; }
    void addScreen(QWidget*) override { ++screensAdded; }
    void refreshLocalCache(const QStringList& names, QWidget*, bool, const QString&) override
    {
        cacheRefreshes << names;
    }
    void handleException(const QString& message) override { errors << message; }
    QString reportsDir() override { return reports; }

    QWidget* main = nullptr; // the busy animation covers it; a hidden window of the host's own unless a test sets one
    QString reports = qEnvironmentVariable("SUITE_SOURCE_DIR") + QStringLiteral("/reports"); // the source tree's
    QStringList errors;
    QStringList cacheRefreshes;
    int screensAdded = 0;

private:
    std::unique_ptr<QWidget> m_ownMain;
};

} // namespace suite::test
