// One message between a served machine and its clients: a little-endian byte string built
// with Put* and read back with Get*, sent on a stream socket as a 32-bit length and the
// bytes. Reading past the end fails the message instead of reading outside it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace machine {

// What a client asks a served machine; the first byte of every request.
enum class MessageOp : uint8_t {
    Open = 1,    // access, share -> error, open id
    Close = 2,   // open id -> (empty)
    Control = 3, // open id, code, output size, request bytes -> error, moved, reply bytes
    Write = 4,   // open id, bytes -> error, moved
    Read = 5,    // open id, size -> error, moved, bytes
    Present = 6, // -> 0 or 1
    Panel = 7,   // words, input bytes -> exit status, text, output bytes
};

class Message {
public:
    // The largest message either side accepts (a design for medium 4 must fit).
    static constexpr uint32_t kMaxSize = 64u << 20;

    Message() = default;
    explicit Message(std::vector<uint8_t> bytes) : m_bytes(std::move(bytes)) {}

    void PutU8(uint8_t value) { m_bytes.push_back(value); }
    void PutU32(uint32_t value);
    void PutU64(uint64_t value);
    void PutBytes(const void* data, size_t size); // length first, then the bytes
    void PutString(const std::string& text) { PutBytes(text.data(), text.size()); }

    // Each returns a zero value and marks the message bad when it runs out of bytes.
    uint8_t GetU8();
    uint32_t GetU32();
    uint64_t GetU64();
    std::vector<uint8_t> GetBytes();
    std::string GetString();
    bool Ok() const { return m_ok; }
    void MarkBad() { m_ok = false; }

    const std::vector<uint8_t>& Bytes() const { return m_bytes; }

    // Whole messages on a connected stream socket; false when the peer is gone or sends
    // something that is not a message.
    bool Send(int fd) const;
    bool Receive(int fd);

private:
    bool Take(size_t size);

    std::vector<uint8_t> m_bytes;
    size_t m_read = 0;
    bool m_ok = true;
};

} // namespace machine
