// Loads screen modules (lib<name>.so), opens them through IniProc, unloads them when their
// windows are gone.
#pragma once

#include <QLibrary>
#include <QObject>
#include <QPointer>
#include <QTimer>
#include <map>
#include <memory>

class QWidget;

namespace suite::host {

class ModuleManager : public QObject {
    Q_OBJECT
public:
    explicit ModuleManager(QString modulesDir, QObject* parent = nullptr);
    ~ModuleManager() override;

    // Loads the module when needed and runs its IniProc, guarded: failures reach the
    // host's exception handler. True when IniProc completed.
    bool open(const QString& name);

    // A screen the module created through the form factory: the module stays loaded while
    // it (or any other object of the module) lives.
    void adopt(QWidget* form);

    bool isLoaded(const QString& name) const;
    QString libraryPath(const QString& name) const;

signals:
    void moduleLoaded(const QString& name);
    // resident: the system kept the code mapped (the module's globals were not reset).
    void moduleUnloaded(const QString& name, bool resident);

private:
    using EntryPoint = void (*)();
    struct Module {
        QString name;
        std::unique_ptr<QLibrary> library;
        EntryPoint iniProc = nullptr;
        EntryPoint packageUnload = nullptr;
        const void* base = nullptr; // load address, to recognise the module's objects
        QList<QPointer<QWidget>> forms;
    };

    Module& load(const QString& name);
    Module* owner(const QObject* object);
    bool hasLiveObjects(Module& module);
    void scheduleUnloadCheck();
    void unloadIdleModules();
    void unload(Module& module);
    void objectOfModuleDestroyed();

    QString m_modulesDir;
    std::map<QString, Module> m_modules;
    Module* m_opening = nullptr; // the module whose IniProc is running
    QTimer m_unloadTimer;
};

} // namespace suite::host
