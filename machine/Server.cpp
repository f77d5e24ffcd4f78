#include "machine/Server.h"

#include "machine/PanelCommand.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace machine {

namespace {

// The most one read or write moves, and the most a control request answers with.
constexpr uint32_t kMaxTransfer = 1u << 16;

} // namespace

Server::Server(std::shared_ptr<Machine> machine, std::string socketPath)
    : m_machine(std::move(machine)), m_path(std::move(socketPath)) {}

Server::~Server() {
    Stop();
}

bool Server::Start(std::string* error) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (m_path.empty() || m_path.size() >= sizeof address.sun_path) {
        *error = "the socket path must have 1 to " + std::to_string(sizeof address.sun_path - 1) +
                 " characters";
        return false;
    }
    std::memcpy(address.sun_path, m_path.c_str(), m_path.size() + 1);
    m_listen = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (m_listen < 0) {
        *error = std::string("socket: ") + std::strerror(errno);
        return false;
    }
    // A socket file nobody listens on is what an ended server left behind.
    int probe = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (probe >= 0) {
        if (::connect(probe, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0) {
            ::close(probe);
            ::close(m_listen);
            m_listen = -1;
            *error = "another machine is already served on " + m_path;
            return false;
        }
        ::close(probe);
    }
    // The socket is bound and listening under a temporary name and then renamed into place, so
    // that a client which sees the file can connect at once (bind makes the file before listen
    // accepts anything).
    std::string staging = m_path + ".new";
    sockaddr_un staged = address;
    if (staging.size() >= sizeof staged.sun_path)
        staging = m_path; // no room for the suffix: bind in place
    std::memcpy(staged.sun_path, staging.c_str(), staging.size() + 1);
    ::unlink(staging.c_str());
    if (::bind(m_listen, reinterpret_cast<sockaddr*>(&staged), sizeof staged) != 0 ||
        ::listen(m_listen, 16) != 0 ||
        (staging != m_path && ::rename(staging.c_str(), m_path.c_str()) != 0)) {
        *error = "cannot listen on " + m_path + ": " + std::strerror(errno);
        ::unlink(staging.c_str());
        ::close(m_listen);
        m_listen = -1;
        return false;
    }
    m_acceptor = std::thread([this] { AcceptLoop(); });
    return true;
}

void Server::Stop() {
    if (m_listen < 0)
        return;
    m_stopping = true;
    ::shutdown(m_listen, SHUT_RDWR);
    if (m_acceptor.joinable())
        m_acceptor.join();
    std::vector<Connection> threads;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        for (int fd : m_connections)
            ::shutdown(fd, SHUT_RDWR);
        threads.swap(m_threads);
    }
    for (Connection& connection : threads)
        connection.thread.join();
    ::close(m_listen);
    m_listen = -1;
    ::unlink(m_path.c_str());
}

void Server::AcceptLoop() {
    while (!m_stopping) {
        int fd = ::accept4(m_listen, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0) {
            if (errno == EINTR || errno == ECONNABORTED)
                continue;
            return; // the listening socket was shut down
        }
        std::lock_guard<std::mutex> lock(m_mutex);
        if (m_stopping) {
            ::close(fd);
            return;
        }
        // Threads of connections that have ended are joined as new ones arrive.
        for (auto it = m_threads.begin(); it != m_threads.end();) {
            if (it->done->load()) {
                it->thread.join();
                it = m_threads.erase(it);
            } else {
                ++it;
            }
        }
        m_connections.push_back(fd);
        auto done = std::make_shared<std::atomic<bool>>(false);
        m_threads.push_back(Connection{std::thread([this, fd, done] {
                                           Serve(fd);
                                           done->store(true);
                                       }),
                                       done});
    }
}

void Server::Serve(int fd) {
    std::vector<uint64_t> opens;
    Message request;
    while (request.Receive(fd)) {
        Message reply = Answer(request, opens);
        if (!request.Ok() || !reply.Send(fd))
            break; // a malformed request ends the connection
    }
    for (uint64_t open : opens)
        m_machine->Close(open);
    std::lock_guard<std::mutex> lock(m_mutex);
    m_connections.erase(std::remove(m_connections.begin(), m_connections.end(), fd),
                        m_connections.end());
    ::close(fd);
}

Message Server::Answer(Message& request, std::vector<uint64_t>& opens) {
    Message reply;
    auto owned = [&](uint64_t id) {
        return std::find(opens.begin(), opens.end(), id) != opens.end();
    };
    auto putResult = [&](const IoResult& result) {
        reply.PutU32(static_cast<uint32_t>(result.error));
        reply.PutU32(result.moved);
    };
    switch (static_cast<MessageOp>(request.GetU8())) {
    case MessageOp::Open: {
        uint32_t access = request.GetU32();
        uint32_t share = request.GetU32();
        uint64_t id = 0;
        IoError error =
            request.Ok() ? m_machine->Open(access, share, &id) : IoError::InvalidParameter;
        if (error == IoError::None)
            opens.push_back(id);
        reply.PutU32(static_cast<uint32_t>(error));
        reply.PutU64(id);
        break;
    }
    case MessageOp::Close: {
        uint64_t id = request.GetU64();
        if (request.Ok() && owned(id)) {
            m_machine->Close(id);
            opens.erase(std::find(opens.begin(), opens.end(), id));
        }
        break;
    }
    case MessageOp::Control: {
        uint64_t id = request.GetU64();
        uint32_t code = request.GetU32();
        uint32_t outSize = std::min(request.GetU32(), kMaxTransfer);
        std::vector<uint8_t> in = request.GetBytes();
        std::vector<uint8_t> out(outSize);
        IoResult result{IoError::Gone, 0};
        if (request.Ok() && owned(id))
            result = m_machine->Control(id, code, in.data(), static_cast<uint32_t>(in.size()),
                                        out.data(), outSize);
        putResult(result);
        reply.PutBytes(out.data(), std::min<size_t>(result.moved, out.size()));
        break;
    }
    case MessageOp::Write: {
        uint64_t id = request.GetU64();
        std::vector<uint8_t> data = request.GetBytes();
        IoResult result{IoError::Gone, 0};
        if (request.Ok() && owned(id))
            result = m_machine->Write(id, data.data(), static_cast<uint32_t>(data.size()));
        putResult(result);
        break;
    }
    case MessageOp::Read: {
        uint64_t id = request.GetU64();
        uint32_t size = std::min(request.GetU32(), kMaxTransfer);
        std::vector<uint8_t> data(size);
        IoResult result{IoError::Gone, 0};
        if (request.Ok() && owned(id))
            result = m_machine->Read(id, data.data(), size);
        putResult(result);
        reply.PutBytes(data.data(), std::min<size_t>(result.moved, data.size()));
        break;
    }
    case MessageOp::Present:
        reply.PutU32(m_machine->Present() ? 1 : 0);
        break;
    case MessageOp::Panel: {
        uint32_t count = request.GetU32();
        std::vector<std::string> words;
        for (uint32_t i = 0; i < count && request.Ok(); ++i)
            words.push_back(request.GetString());
        std::vector<uint8_t> input = request.GetBytes();
        PanelReply answer = request.Ok() ? RunPanelCommand(*m_machine, words, input)
                                         : PanelReply{2, "malformed panel command\n", {}};
        reply.PutU32(static_cast<uint32_t>(answer.status));
        reply.PutString(answer.text);
        reply.PutBytes(answer.output.data(), answer.output.size());
        break;
    }
    default:
        request.MarkBad();
        break;
    }
    return reply;
}

} // namespace machine
