#include "oneshotbody.h"

#include <algorithm>
#include <cstring>

namespace mrv::Internal {

OneShotBody::OneShotBody(QByteArray data, QObject* parent)
    : QIODevice(parent)
    , m_data(std::move(data))
{
    open(QIODevice::ReadOnly);
}

qint64 OneShotBody::bytesAvailable() const
{
    return m_data.size() - m_read + QIODevice::bytesAvailable();
}

qint64 OneShotBody::readData(char* data, qint64 maxSize)
{
    const qint64 n = std::min(maxSize, qint64(m_data.size()) - m_read);
    if (n <= 0)
        return m_read < m_data.size() ? 0 : -1;
    std::memcpy(data, m_data.constData() + m_read, size_t(n));
    m_read += n;
    return n;
}

} // namespace mrv::Internal
