// The arguments of a remote call, as the desktop sends them and the server reads them back by kind.
#pragma once

#include "packet.h"

#include <QDate>
#include <QJsonArray>
#include <QString>
#include <functional>

#include <optional>
#include <stdexcept>

namespace suite::wire {

/// A call argument as the wire carries it: texts as strings, integers as numbers, dates as "yyyy-MM-dd" or null
/// (an empty editor), a packet (QJsonObject) as itself, string lists and variant lists as arrays.
QJsonValue argumentToJson(const QVariant& value);

/// An argument missing or of another kind than the method takes: the request itself is wrong.
class ArgumentError : public std::runtime_error {
public:
    explicit ArgumentError(const QString& message)
        : std::runtime_error(message.toStdString())
        , m_message(message)
    {}
    QString message() const { return m_message; }

private:
    QString m_message;
};

/// The positional arguments of one call, each read as the kind the method takes; a mismatch throws ArgumentError.
/// Each one is kept as its JSON text and read only when the method asks for it, so that a method can refuse a call
/// (rights, counts) before it pays for reading a large argument.
class Arguments {
public:
    Arguments(QString method, const QJsonArray& args);
    /// `args` are the texts of the arguments, each inside `text`, which they share.
    Arguments(QString method, QByteArray text, QList<QByteArrayView> args)
        : m_method(std::move(method))
        , m_text(std::move(text))
        , m_args(std::move(args))
    {}

    const QString& method() const { return m_method; }
    void expectCount(int count) const;
    QString text(int index) const;
    /// A text of at most `maxLength` characters; a longer one is refused, and when it is far longer, unread.
    QString text(int index, qsizetype maxLength) const;
    int integer(int index) const;
    std::optional<QDate> date(int index) const; // "yyyy-MM-dd" or null
    /// A string read where it lies, a piece at a time: `piece` gets each text between `separator`s (escapes decoded),
    /// with `last` set for what follows the last separator, and returns false to stop. A long list costs its longest
    /// piece, never a copy of the whole. `separator` must be ASCII and no JSON escape letter or hex digit.
    void forEachTextPiece(int index, char separator,
                          const std::function<bool(const QString& piece, bool last)>& piece) const;
    /// An object; nullopt when it is one but not a packet, which is for the method to answer.
    std::optional<Packet> packet(int index) const;
    /// A packet read a row at a time (see Packet::readRows); false when it is an object but not a packet.
    bool packetRows(int index, QList<Column>& columns, const Packet::RowSink& onRow) const;

private:
    [[noreturn]] void wrongKind(int index, const char* expected) const;
    QJsonValue scalar(int index) const;

    QString m_method;
    QByteArray m_text;
    QList<QByteArrayView> m_args;
};

} // namespace suite::wire
