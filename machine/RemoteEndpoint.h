// The client side of a served machine: an endpoint whose every call is one message to the
// server and its reply. The connection is made when first needed and made again after the
// server went away; opens made through a lost connection are gone.
#pragma once

#include "machine/Endpoint.h"
#include "machine/Message.h"

#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <vector>

namespace machine {

class RemoteEndpoint : public Endpoint {
public:
    explicit RemoteEndpoint(std::string socketPath);
    ~RemoteEndpoint() override;

    IoError Open(uint32_t access, uint32_t share, uint64_t* openId) override;
    void Close(uint64_t openId) override;
    IoResult Control(uint64_t openId, uint32_t code, const void* in, uint32_t inSize, void* out,
                     uint32_t outSize) override;
    IoResult Write(uint64_t openId, const void* data, uint32_t size) override;
    IoResult Read(uint64_t openId, void* data, uint32_t size) override;
    bool Present() override;

    // Sends a panel command to the served machine. False when the server cannot be reached.
    bool Panel(const std::vector<std::string>& words, const std::vector<uint8_t>& input,
               int* status, std::string* text, std::vector<uint8_t>* output);

    const std::string& SocketPath() const { return m_path; }

private:
    // One exchange; false when the connection failed (it is then dropped). `connect`
    // allows making a new connection first.
    bool Call(const Message& request, Message* reply, bool connect);
    // One request on an open: the op, the server's id of the open, then `fields`. The reply's
    // error and count, and (when `out` is given) its bytes, at most `outSize` of them.
    IoResult Exchange(uint64_t openId, MessageOp op, const std::function<void(Message&)>& fields,
                      void* out, uint32_t outSize);
    bool ConnectLocked();
    void DropLocked();

    std::string m_path;
    std::mutex m_mutex;
    int m_fd = -1;
    uint64_t m_connection = 0; // counts connections; opens belong to one
    struct OpenRecord {
        uint64_t connection; // the connection the open was made through
        uint64_t serverId;
    };
    std::map<uint64_t, OpenRecord> m_opens; // by local id
    uint64_t m_nextOpen = 0;

    // The server's id of a local open, or false when the open is unknown or was made through
    // a connection that has been lost.
    bool ServerId(uint64_t openId, uint64_t* serverId);
};

} // namespace machine
