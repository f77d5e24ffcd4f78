#include "machine/RemoteEndpoint.h"

#include <algorithm>
#include <cstring>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace machine {

RemoteEndpoint::RemoteEndpoint(std::string socketPath) : m_path(std::move(socketPath)) {}

RemoteEndpoint::~RemoteEndpoint() {
    std::lock_guard<std::mutex> lock(m_mutex);
    DropLocked();
}

bool RemoteEndpoint::ConnectLocked() {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (m_path.empty() || m_path.size() >= sizeof address.sun_path)
        return false;
    std::memcpy(address.sun_path, m_path.c_str(), m_path.size() + 1);
    int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return false;
    if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        ::close(fd);
        return false;
    }
    m_fd = fd;
    ++m_connection;
    return true;
}

void RemoteEndpoint::DropLocked() {
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
}

bool RemoteEndpoint::Call(const Message& request, Message* reply, bool connect) {
    if (m_fd < 0 && !(connect && ConnectLocked()))
        return false;
    if (request.Send(m_fd) && reply->Receive(m_fd))
        return true;
    DropLocked();
    return false;
}

bool RemoteEndpoint::ServerId(uint64_t openId, uint64_t* serverId) {
    auto it = m_opens.find(openId);
    if (it == m_opens.end() || it->second.connection != m_connection || m_fd < 0)
        return false;
    *serverId = it->second.serverId;
    return true;
}

IoError RemoteEndpoint::Open(uint32_t access, uint32_t share, uint64_t* openId) {
    std::lock_guard<std::mutex> lock(m_mutex);
    Message request;
    request.PutU8(static_cast<uint8_t>(MessageOp::Open));
    request.PutU32(access);
    request.PutU32(share);
    Message reply;
    if (!Call(request, &reply, true))
        return IoError::NotFound; // no server: no device
    IoError error = static_cast<IoError>(reply.GetU32());
    uint64_t serverId = reply.GetU64();
    if (!reply.Ok())
        return IoError::Failed;
    if (error == IoError::None) {
        *openId = ++m_nextOpen;
        m_opens[*openId] = OpenRecord{m_connection, serverId};
    }
    return error;
}

void RemoteEndpoint::Close(uint64_t openId) {
    std::lock_guard<std::mutex> lock(m_mutex);
    uint64_t serverId = 0;
    if (ServerId(openId, &serverId)) {
        Message request;
        request.PutU8(static_cast<uint8_t>(MessageOp::Close));
        request.PutU64(serverId);
        Message reply;
        Call(request, &reply, false);
    }
    m_opens.erase(openId);
}

IoResult RemoteEndpoint::Exchange(uint64_t openId, MessageOp op,
                                  const std::function<void(Message&)>& fields, void* out,
                                  uint32_t outSize) {
    std::lock_guard<std::mutex> lock(m_mutex);
    uint64_t serverId = 0;
    if (!ServerId(openId, &serverId))
        return IoResult{IoError::Gone, 0};
    Message request;
    request.PutU8(static_cast<uint8_t>(op));
    request.PutU64(serverId);
    fields(request);
    Message reply;
    if (!Call(request, &reply, false))
        return IoResult{IoError::Gone, 0};
    IoResult result;
    result.error = static_cast<IoError>(reply.GetU32());
    result.moved = std::min(reply.GetU32(), outSize);
    if (out != nullptr) {
        // The bytes that came back, never more than the caller's buffer holds.
        std::vector<uint8_t> bytes = reply.GetBytes();
        if (bytes.size() > outSize)
            return IoResult{IoError::Failed, 0};
        if (!bytes.empty())
            std::memcpy(out, bytes.data(), bytes.size());
        result.moved = static_cast<uint32_t>(bytes.size());
    }
    return reply.Ok() ? result : IoResult{IoError::Failed, 0};
}

IoResult RemoteEndpoint::Control(uint64_t openId, uint32_t code, const void* in, uint32_t inSize,
                                 void* out, uint32_t outSize) {
    return Exchange(
        openId, MessageOp::Control,
        [&](Message& request) {
            request.PutU32(code);
            request.PutU32(outSize);
            request.PutBytes(in, in != nullptr ? inSize : 0);
        },
        out, out != nullptr ? outSize : 0);
}

IoResult RemoteEndpoint::Write(uint64_t openId, const void* data, uint32_t size) {
    return Exchange(
        openId, MessageOp::Write,
        [&](Message& request) { request.PutBytes(data, data != nullptr ? size : 0); }, nullptr,
        size);
}

IoResult RemoteEndpoint::Read(uint64_t openId, void* data, uint32_t size) {
    return Exchange(
        openId, MessageOp::Read, [&](Message& request) { request.PutU32(size); }, data,
        data != nullptr ? size : 0);
}

bool RemoteEndpoint::Present() {
    std::lock_guard<std::mutex> lock(m_mutex);
    Message request;
    request.PutU8(static_cast<uint8_t>(MessageOp::Present));
    Message reply;
    if (!Call(request, &reply, true))
        return false;
    return reply.GetU32() == 1 && reply.Ok();
}

bool RemoteEndpoint::Panel(const std::vector<std::string>& words, const std::vector<uint8_t>& input,
                           int* status, std::string* text, std::vector<uint8_t>* output) {
    std::lock_guard<std::mutex> lock(m_mutex);
    Message request;
    request.PutU8(static_cast<uint8_t>(MessageOp::Panel));
    request.PutU32(static_cast<uint32_t>(words.size()));
    for (const std::string& word : words)
        request.PutString(word);
    request.PutBytes(input.data(), input.size());
    Message reply;
    if (!Call(request, &reply, true))
        return false;
    *status = static_cast<int>(reply.GetU32());
    *text = reply.GetString();
    *output = reply.GetBytes();
    return reply.Ok();
}

} // namespace machine
