// A local socket through which a test driver reads the running host's windows.
#include "inspectionserver.h"
#include "uiinspector.h"

#include <QApplication>
#include <QDialog>
#include <QEvent>
#include <QJsonDocument>
#include <QLocalServer>
#include <QLocalSocket>
#include <QMessageBox>
#include <QWidget>

namespace suite::host {

namespace {

// Requests are short; a client that sends a longer line is not a driver of ours.
constexpr qint64 kMaxRequest = 256;

QJsonValue nameOf(const QWidget* widget)
{
    if (!widget)
        return QJsonValue::Null;
    return widget->objectName().isEmpty() ? QString::fromLatin1(widget->metaObject()->className())
                                          : widget->objectName();
}

// The visible widgets of one window, depth first; windows inside it are listed on their own.
void collectVisible(const QWidget* parent, QJsonArray& into)
{
    for (const QObject* child : parent->children()) {
        const auto* widget = qobject_cast<const QWidget*>(child);
        if (!widget || widget->isWindow() || !widget->isVisible())
            continue;
        QJsonObject entry = UiInspector::describeOnScreen(widget);
        entry.insert(QStringLiteral("parent"), parent->objectName());
        into.append(entry);
        collectVisible(widget, into);
    }
}

} // namespace

InspectionServer::InspectionServer(QObject* parent)
    : QObject(parent)
    , m_server(new QLocalServer(this))
{
    qApp->installEventFilter(this);
}

InspectionServer::~InspectionServer()
{
    qApp->removeEventFilter(this);
}

bool InspectionServer::listen(const QString& path, QString* error)
{
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    if (!m_server->listen(path)) {
        *error = m_server->errorString();
        return false;
    }
    connect(m_server, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket* socket = m_server->nextPendingConnection()) {
            connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
            connect(socket, &QLocalSocket::readyRead, this, [this, socket] { serve(socket); });
        }
    });
    return true;
}

void InspectionServer::serve(QLocalSocket* socket)
{
    while (socket->canReadLine()) {
        const QString request = QString::fromUtf8(socket->readLine(kMaxRequest)).trimmed();
        socket->write(QJsonDocument(answer(request)).toJson(QJsonDocument::Compact) + '\n');
    }
    if (socket->bytesAvailable() > kMaxRequest)
        socket->abort();
}

QJsonObject InspectionServer::answer(const QString& request) const
{
    const QStringList words = request.split(u' ', Qt::SkipEmptyParts);
    if (words.value(0) == QLatin1String("ping"))
        return QJsonObject{{QStringLiteral("pong"), true}};
    if (words.value(0) == QLatin1String("dump"))
        return snapshot(words.value(1).toInt());
    return QJsonObject{{QStringLiteral("error"), QStringLiteral("unknown request: ") + request}};
}

QJsonObject InspectionServer::snapshot(int shownSince) const
{
    QJsonArray windows;
    const QWidget* active = QApplication::activeWindow();
    for (const QWidget* window : QApplication::topLevelWidgets()) {
        if (!window->isVisible())
            continue;
        QJsonObject entry = UiInspector::describeOnScreen(window);
        entry.insert(QStringLiteral("active"), window == active);
        entry.insert(QStringLiteral("modal"), window->isModal());
        QJsonArray widgets;
        collectVisible(window, widgets);
        entry.insert(QStringLiteral("widgets"), widgets);
        windows.append(entry);
    }
    QJsonArray shown;
    for (const QJsonValue& dialog : m_shown)
        if (dialog[QStringLiteral("seq")].toInt() > shownSince)
            shown.append(dialog);
    const QWidget* focus = QApplication::focusWidget();
    return QJsonObject{
        {QStringLiteral("active"), nameOf(active)},
        {QStringLiteral("modal"), nameOf(QApplication::activeModalWidget())},
        {QStringLiteral("popup"), nameOf(QApplication::activePopupWidget())},
        {QStringLiteral("focus"), nameOf(focus)},
        {QStringLiteral("focusClass"), focus ? QString::fromLatin1(focus->metaObject()->className()) : QString()},
        {QStringLiteral("shownCount"), int(m_shown.size())},
        {QStringLiteral("shown"), shown},
        {QStringLiteral("windows"), windows},
    };
}

bool InspectionServer::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::Show && watched->isWidgetType()) {
        const auto* dialog = qobject_cast<const QDialog*>(watched);
        if (dialog && dialog->isWindow()) {
            const auto* box = qobject_cast<const QMessageBox*>(dialog);
            m_shown.append(QJsonObject{
                {QStringLiteral("seq"), int(m_shown.size()) + 1},
                {QStringLiteral("class"), QString::fromLatin1(dialog->metaObject()->className())},
                {QStringLiteral("objectName"), dialog->objectName()},
                {QStringLiteral("title"), dialog->windowTitle()},
                {QStringLiteral("text"), box ? box->text() : QString()},
            });
        }
    }
    return QObject::eventFilter(watched, event);
}

} // namespace suite::host
