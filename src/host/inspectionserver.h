// A local socket through which a test driver reads the running host's windows: where each control is on the
// screen, which window is active or modal, and every dialog shown so far. Off unless --inspect names a socket.
#pragma once

#include <QJsonArray>
#include <QJsonObject>
#include <QObject>

class QLocalServer;
class QLocalSocket;

namespace suite::host {

class InspectionServer : public QObject {
    Q_OBJECT
public:
    explicit InspectionServer(QObject* parent = nullptr);
    ~InspectionServer() override;

    // Listens on `path` (readable by this user only); false with the reason in `error`.
    bool listen(const QString& path, QString* error);

    // Requests, one line each, each answered with one line of JSON:
    //   "ping"          {"pong": true}: the event loop (or a nested one, under a modal dialog) is turning
    //   "dump [SINCE]"  the visible windows and their widgets, and the dialogs shown after number SINCE
    QJsonObject answer(const QString& request) const;
    QJsonObject snapshot(int shownSince) const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void serve(QLocalSocket* socket);

    QLocalServer* m_server = nullptr;
    QJsonArray m_shown; // every dialog window as it showed: seq, class, objectName, title, text
};

} // namespace suite::host
