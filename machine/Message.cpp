#include "machine/Message.h"

#include <cerrno>
#include <cstring>
#include <sys/socket.h>
#include <unistd.h>

namespace machine {

namespace {

bool SendAll(int fd, const uint8_t* data, size_t size) {
    while (size > 0) {
        ssize_t put = ::send(fd, data, size, MSG_NOSIGNAL);
        if (put < 0 && errno == EINTR)
            continue;
        if (put <= 0)
            return false;
        data += put;
        size -= static_cast<size_t>(put);
    }
    return true;
}

bool ReceiveAll(int fd, uint8_t* data, size_t size) {
    while (size > 0) {
        ssize_t got = ::recv(fd, data, size, 0);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            return false;
        data += got;
        size -= static_cast<size_t>(got);
    }
    return true;
}

} // namespace

void Message::PutU32(uint32_t value) {
    for (int i = 0; i < 4; ++i)
        m_bytes.push_back(static_cast<uint8_t>(value >> (8 * i)));
}

void Message::PutU64(uint64_t value) {
    PutU32(static_cast<uint32_t>(value));
    PutU32(static_cast<uint32_t>(value >> 32));
}

void Message::PutBytes(const void* data, size_t size) {
    PutU32(static_cast<uint32_t>(size));
    const uint8_t* bytes = static_cast<const uint8_t*>(data);
    if (size > 0)
        m_bytes.insert(m_bytes.end(), bytes, bytes + size);
}

bool Message::Take(size_t size) {
    if (!m_ok || m_bytes.size() - m_read < size) {
        m_ok = false;
        return false;
    }
    return true;
}

uint8_t Message::GetU8() {
    return Take(1) ? m_bytes[m_read++] : 0;
}

uint32_t Message::GetU32() {
    if (!Take(4))
        return 0;
    uint32_t value = 0;
    for (int i = 0; i < 4; ++i)
        value |= static_cast<uint32_t>(m_bytes[m_read++]) << (8 * i);
    return value;
}

uint64_t Message::GetU64() {
    uint64_t low = GetU32();
    uint64_t high = GetU32();
    return low | (high << 32);
}

std::vector<uint8_t> Message::GetBytes() {
    uint32_t size = GetU32();
    if (!Take(size))
        return {};
    std::vector<uint8_t> bytes(m_bytes.begin() + static_cast<long>(m_read),
                               m_bytes.begin() + static_cast<long>(m_read + size));
    m_read += size;
    return bytes;
}

std::string Message::GetString() {
    std::vector<uint8_t> bytes = GetBytes();
    return std::string(bytes.begin(), bytes.end());
}

bool Message::Send(int fd) const {
    uint8_t header[4];
    uint32_t size = static_cast<uint32_t>(m_bytes.size());
    for (int i = 0; i < 4; ++i)
        header[i] = static_cast<uint8_t>(size >> (8 * i));
    return SendAll(fd, header, sizeof header) && SendAll(fd, m_bytes.data(), m_bytes.size());
}

bool Message::Receive(int fd) {
    uint8_t header[4];
    if (!ReceiveAll(fd, header, sizeof header))
        return false;
    uint32_t size = 0;
    for (int i = 0; i < 4; ++i)
        size |= static_cast<uint32_t>(header[i]) << (8 * i);
    if (size > kMaxSize)
        return false;
    m_bytes.assign(size, 0);
    m_read = 0;
    m_ok = true;
    return ReceiveAll(fd, m_bytes.data(), size);
}

} // namespace machine
