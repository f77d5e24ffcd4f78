// Serves one machine to other processes over a Unix stream socket. Every connection is one
// client endpoint; the opens made through a connection are closed when it ends.
#pragma once

#include "machine/Machine.h"
#include "machine/Message.h"

#include <atomic>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace machine {

class Server {
public:
    Server(std::shared_ptr<Machine> machine, std::string socketPath);
    ~Server();
    Server(const Server&) = delete;
    Server& operator=(const Server&) = delete;

    // Binds the socket (replacing a stale socket file) and starts accepting. False with a
    // reason when the socket cannot be made.
    bool Start(std::string* error);
    // Stops accepting, ends every connection and removes the socket file.
    void Stop();

private:
    void AcceptLoop();
    void Serve(int fd);
    Message Answer(Message& request, std::vector<uint64_t>& opens);

    std::shared_ptr<Machine> m_machine;
    std::string m_path;
    int m_listen = -1;
    std::atomic<bool> m_stopping{false};
    std::thread m_acceptor;
    std::mutex m_mutex;
    std::vector<int> m_connections;
    struct Connection {
        std::thread thread;
        std::shared_ptr<std::atomic<bool>> done;
    };
    std::vector<Connection> m_threads;
};

} // namespace machine
