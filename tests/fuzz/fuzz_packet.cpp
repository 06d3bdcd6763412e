// Fuzz target: the data packet's decoder on any JSON text; once decoded, a packet must encode to a text that decodes
// to the same packet (what the server sends is what the desktop reads).
#include <packet.h>

#include <QJsonArray>
#include <QJsonDocument>

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using suite::wire::Packet;
    const QJsonDocument document =
        QJsonDocument::fromJson(QByteArray::fromRawData(reinterpret_cast<const char*>(data), qsizetype(size)));
    const QJsonValue value = document.isArray() ? QJsonValue(document.array()) : QJsonValue(document.object());
    Packet::Problem problem = Packet::Problem::NotAPacket;
    const std::optional<Packet> packet = Packet::fromJson(value, &problem);
    if (!packet)
        return 0;
    const QJsonObject once = packet->toJson();
    const std::optional<Packet> again = Packet::fromJson(once);
    if (!again || again->toJson() != once)
        std::abort();
    return 0;
}
