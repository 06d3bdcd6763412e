// While a long call runs on one connection, asks the service on a second one how far it has got
// (GetProgresso), once a second, and hands each new text to whoever shows it.
#pragma once

#include <QObject>
#include <QString>
#include <QTimer>

#include <functional>
#include <memory>

namespace mrv {

class TNetConnection;

class CallProgress : public QObject {
    Q_OBJECT
public:
    // like: the connection the long call runs on (its server and address are used).
    CallProgress(const TNetConnection& like, std::function<void(const QString&)> show, int intervalMs = 1000);
    ~CallProgress() override;

    // "Gravando receitas locais: 120 de 200 filiais", or the phase alone.
    static QString text(const QString& phase, qint64 done, qint64 total);

private:
    void poll();

    std::unique_ptr<TNetConnection> m_aside;
    std::function<void(const QString&)> m_show;
    QTimer m_timer;
    QString m_last;
    bool m_polling = false;
};

} // namespace mrv
