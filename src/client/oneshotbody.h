// A request body that can be read once only. Qt's HTTP sends a request again, unasked, when its connection closes
// before any answer; a body it cannot rewind stops that, so that a call the server may have done is never repeated
// behind the caller's back (the reply fails with ContentReSendError instead).
#pragma once

#include <QByteArray>
#include <QIODevice>

namespace mrv::Internal {

class OneShotBody : public QIODevice {
public:
    explicit OneShotBody(QByteArray data, QObject* parent = nullptr);

    bool isSequential() const override { return true; }
    qint64 bytesAvailable() const override;
    bool reset() override { return false; }

protected:
    qint64 readData(char* data, qint64 maxSize) override;
    qint64 writeData(const char*, qint64) override { return -1; }

private:
    QByteArray m_data;
    qint64 m_read = 0;
};

} // namespace mrv::Internal
