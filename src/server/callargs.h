// The positional arguments of a remote call, checked by kind: a mismatch is a 400.
#pragma once

#include <QDate>
#include <QJsonArray>
#include <QString>
#include <optional>

namespace suite::server {

class CallArgs
{
public:
    CallArgs(QString method, QJsonArray args);

    void expectCount(int count) const;
    QString text(int index) const;
    int integer(int index) const;
    std::optional<QDate> date(int index) const;   // "yyyy-MM-dd" or null
    QJsonValue object(int index) const;           // a packet; its inside is checked by the service

private:
    [[noreturn]] void wrongKind(int index, const char *expected) const;

    QString m_method;
    QJsonArray m_args;
};

} // namespace suite::server
