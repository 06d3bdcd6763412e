// Loads screen modules (lib<name>.so), opens them through IniProc, unloads them when their
// windows are gone.
#include "modulemanager.h"
#include "hostlog.h"

#include <binding.h>
#include <errors.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QScopeGuard>
#include <QThread>
#include <QWidget>

#include <cstring>
#include <dlfcn.h>

namespace suite::host {

namespace {

// Base address of the shared object that holds address, or nullptr.
const void* imageOf(const void* address)
{
    Dl_info info{};
    if (address == nullptr || dladdr(address, &info) == 0)
        return nullptr;
    return info.dli_fbase;
}

// The vtable tells where a polymorphic object's class was compiled, also for classes
// without Q_OBJECT; the meta-object covers classes whose vtable the compiler placed elsewhere.
bool definedIn(const QObject* object, const void* base)
{
    const void* vtable = nullptr;
    std::memcpy(&vtable, static_cast<const void*>(object), sizeof vtable);
    return imageOf(vtable) == base || imageOf(object->metaObject()) == base;
}

// A module may only go when no event loop of its own can be below us on the stack.
bool onlyMainLoopRunning()
{
    return QThread::currentThread()->loopLevel() <= 1;
}

} // namespace

ModuleManager::ModuleManager(QString modulesDir, QObject* parent)
    : QObject(parent)
    , m_modulesDir(std::move(modulesDir))
{
    m_unloadTimer.setSingleShot(true);
    connect(&m_unloadTimer, &QTimer::timeout, this, &ModuleManager::unloadIdleModules);
}

ModuleManager::~ModuleManager()
{
    // The windows went with the main window; what remains is the packages' shut-down and code.
    for (auto& entry : m_modules) {
        if (entry.second.packageUnload)
            mrv::invokeGuarded(entry.second.packageUnload);
        entry.second.library->unload();
    }
}

QString ModuleManager::libraryPath(const QString& name) const
{
    return QDir(m_modulesDir).filePath(QStringLiteral("lib%1.so").arg(name.toLower()));
}

bool ModuleManager::isLoaded(const QString& name) const
{
    return m_modules.count(name.toLower()) > 0;
}

ModuleManager::Module& ModuleManager::load(const QString& name)
{
    const QString key = name.toLower();
    if (auto it = m_modules.find(key); it != m_modules.end())
        return it->second;

    const QString path = libraryPath(key);
    if (!QFileInfo::exists(path))
        throw mrv::Exception(
            QStringLiteral("Módulo %1 não encontrado em %2.").arg(key, QDir::toNativeSeparators(m_modulesDir)));
    auto library = std::make_unique<QLibrary>(path);
    if (!library->load())
        throw mrv::Exception(
            QStringLiteral("Não foi possível carregar o módulo %1: %2").arg(key, library->errorString()));
    const auto iniProc = reinterpret_cast<EntryPoint>(library->resolve("IniProc"));
    if (iniProc == nullptr) {
        library->unload();
        throw mrv::Exception(QStringLiteral("O módulo %1 não exporta IniProc.").arg(key));
    }
    Module module;
    module.name = key;
    module.iniProc = iniProc;
    module.packageUnload = reinterpret_cast<EntryPoint>(library->resolve("PackageUnload"));
    module.base = imageOf(reinterpret_cast<const void*>(iniProc));
    using InfoEntry = const char* (*)();
    if (const auto info = reinterpret_cast<InfoEntry>(library->resolve("PackageInfo")))
        qCInfo(lcHost).noquote() << "module" << key << info();
    module.library = std::move(library);
    qCInfo(lcHost) << "loaded module" << key << "from" << path;
    auto& stored = m_modules.emplace(key, std::move(module)).first->second;
    // The package's start-up steps run once per load, before any of its screens.
    if (const auto packageLoad = reinterpret_cast<EntryPoint>(stored.library->resolve("PackageLoad")))
        packageLoad();
    emit moduleLoaded(key);
    return stored;
}

bool ModuleManager::open(const QString& name)
{
    // "module" opens through IniProc; "module:Entry" through another entry the module exports.
    const QString moduleName = name.section(QLatin1Char(':'), 0, 0);
    const QString entryName = name.contains(QLatin1Char(':')) ? name.section(QLatin1Char(':'), 1) : QString();
    // A screen closed just before must not leave its old module (and its "created" flag) in place.
    if (m_unloadTimer.isActive() && m_opening == nullptr) {
        m_unloadTimer.stop();
        unloadIdleModules();
    }
    const bool completed = mrv::invokeGuarded([this, &moduleName, &entryName] {
        Module& module = load(moduleName);
        EntryPoint entry = module.iniProc;
        if (!entryName.isEmpty()) {
            entry = reinterpret_cast<EntryPoint>(module.library->resolve(entryName.toLatin1().constData()));
            if (entry == nullptr)
                throw mrv::Exception(
                    QStringLiteral("O módulo %1 não exporta %2.").arg(module.name, entryName.left(40)));
        }
        const auto restore = qScopeGuard([this, previous = m_opening] { m_opening = previous; });
        m_opening = &module;
        entry();
    });
    // A screen refused at creation leaves nothing alive: the module can go at once.
    scheduleUnloadCheck();
    return completed;
}

ModuleManager::Module* ModuleManager::owner(const QObject* object)
{
    for (auto& entry : m_modules) {
        if (entry.second.base != nullptr && definedIn(object, entry.second.base))
            return &entry.second;
    }
    return nullptr;
}

void ModuleManager::adopt(QWidget* form)
{
    Module* module = owner(form);
    if (module == nullptr)
        module = m_opening; // a kit screen class created on the module's behalf
    if (module == nullptr)
        return;
    module->forms.append(form);
    connect(form, &QObject::destroyed, this, &ModuleManager::objectOfModuleDestroyed, Qt::UniqueConnection);
}

void ModuleManager::objectOfModuleDestroyed()
{
    scheduleUnloadCheck();
}

void ModuleManager::scheduleUnloadCheck()
{
    // Deferred: the destroyed signal comes from inside the module's own destructor.
    m_unloadTimer.start(0);
}

bool ModuleManager::hasLiveObjects(Module& module)
{
    module.forms.removeAll(nullptr);
    bool live = !module.forms.isEmpty();
    const QWidgetList widgets = QApplication::allWidgets();
    for (QWidget* widget : widgets) {
        if (definedIn(widget, module.base)) {
            live = true;
            connect(widget, &QObject::destroyed, this, &ModuleManager::objectOfModuleDestroyed, Qt::UniqueConnection);
        }
    }
    if (QCoreApplication* app = QCoreApplication::instance()) {
        for (QObject* child : app->children()) {
            if (definedIn(child, module.base)) {
                live = true;
                connect(child, &QObject::destroyed, this, &ModuleManager::objectOfModuleDestroyed,
                        Qt::UniqueConnection);
            }
        }
    }
    return live;
}

void ModuleManager::unloadIdleModules()
{
    if (m_opening != nullptr || !onlyMainLoopRunning()) {
        m_unloadTimer.start(100);
        return;
    }
    for (auto it = m_modules.begin(); it != m_modules.end();) {
        if (hasLiveObjects(it->second)) {
            ++it;
            continue;
        }
        unload(it->second);
        it = m_modules.erase(it);
    }
}

void ModuleManager::unload(Module& module)
{
    const QString path = module.library->fileName();
    if (module.packageUnload)
        mrv::invokeGuarded(module.packageUnload);
    module.library->unload();
    module.library.reset();
    // A library with unique symbols stays mapped after dlclose; its globals then keep their values.
    bool resident = false;
    if (void* handle = dlopen(QFile::encodeName(path).constData(), RTLD_NOW | RTLD_NOLOAD)) {
        resident = true;
        dlclose(handle);
        qCWarning(lcHost) << "module" << module.name << "stays resident after unloading";
    }
    qCInfo(lcHost) << "unloaded module" << module.name;
    emit moduleUnloaded(module.name, resident);
}

} // namespace suite::host
