// A request sent from a raw socket piece by piece, as a hostile client would, until the server answers or closes:
// what a server reads of a request it should refuse early, and what it answers.
#pragma once

#include <QByteArray>
#include <QString>

namespace suite::bench {

class StreamedRequest {
public:
    // `head`, then `piece` `pieces` times, then `tail`.
    StreamedRequest(QByteArray head, QByteArray piece, qint64 pieces, QByteArray tail);

    struct Outcome {
        int status = 0;     // 0: no answer
        QByteArray body;    // the answer's body, as far as it came
        qint64 sent = 0;    // bytes the server took before it answered or closed
        bool whole = false; // every byte was sent
        QString ending;     // how it ended when there was no answer
    };

    // Sends to 127.0.0.1:`port`; waits at most `silence` seconds for any progress.
    Outcome send(quint16 port, int silence = 60) const;

    qint64 size() const { return m_head.size() + m_piece.size() * m_pieces + m_tail.size(); }

private:
    QByteArray m_head;
    QByteArray m_piece;
    qint64 m_pieces;
    QByteArray m_tail;
};

} // namespace suite::bench
