// vantel serve: serves a PC folder to the machine's operator (CCom::StatusLoop) until SIGINT or
// SIGTERM (on Windows Ctrl-C, Ctrl-Break or closing the console) sets the cancel event. On
// POSIX each request the machine raises is printed as one line: the emulation's machine is
// watched through an endpoint placed in front of it, which sees the requests in the status
// replies and the names in the service-request reads.
#include "ComHost.h"
#include "command/Com.h"

#include <cstdio>
#include <optional>
#include <string>

#ifdef _WIN32

namespace {

// The machine behind the real driver cannot be watched: its requests are not printed.
void WatchRequests() {}

} // namespace

#else

#include "usb/DriverInterface.h"

#include "plug/MachinePlug.h"

#include <cstring>
#include <memory>
#include <mutex>

namespace {

class RequestWatch : public machine::Endpoint {
public:
    explicit RequestWatch(std::shared_ptr<machine::Endpoint> inner) : m_inner(std::move(inner)) {
        m_subscription = m_inner->Subscribe([this] { NotifyObservers(); });
    }
    ~RequestWatch() override { m_inner->Unsubscribe(m_subscription); }

    machine::IoError Open(uint32_t access, uint32_t share, uint64_t* openId) override {
        return m_inner->Open(access, share, openId);
    }
    void Close(uint64_t openId) override { m_inner->Close(openId); }
    machine::IoResult Control(uint64_t openId, uint32_t code, const void* in, uint32_t inSize,
                              void* out, uint32_t outSize) override {
        const machine::IoResult result = m_inner->Control(openId, code, in, inSize, out, outSize);
        if (result.error != machine::IoError::None || outSize < USBCOMM_REPLY_SIZE)
            return result;
        const BYTE* reply = static_cast<const BYTE*>(out);
        std::lock_guard<std::mutex> lock(m_mutex);
        m_nameFollows = code == IOCTL_USBCOMM_SERVICE_REQUEST && reply[0] == USBCOMM_READY;
        if (code == IOCTL_USBCOMM_STATUS) {
            const int request = reply[USBCOMM_REPLY_SUBSTATUS];
            if (request >= COM_REQUEST_REMEMBER && request <= COM_REQUEST_SEND_LIST)
                Print(request, "");
            else if (request == COM_REQUEST_OPEN_ENTRY || request == COM_REQUEST_STORE_DESIGN)
                m_named = request;
        }
        return result;
    }
    machine::IoResult Write(uint64_t openId, const void* data, uint32_t size) override {
        return m_inner->Write(openId, data, size);
    }
    machine::IoResult Read(uint64_t openId, void* data, uint32_t size) override {
        const machine::IoResult result = m_inner->Read(openId, data, size);
        std::lock_guard<std::mutex> lock(m_mutex);
        if (m_nameFollows && m_named != 0 && result.error == machine::IoError::None) {
            const char* text = static_cast<const char*>(data);
            Print(m_named, std::string(text, strnlen(text, result.moved)));
            m_named = 0;
        }
        m_nameFollows = false;
        return result;
    }
    bool Present() override { return m_inner->Present(); }

private:
    static void Print(int request, const std::string& name) {
        static const char* const kWhat[] = {"",
                                            "remember the current folder",
                                            "list the remembered folder",
                                            "send the folder list",
                                            "open",
                                            "store the sewing design as"};
        if (name.empty())
            std::printf("request %d: %s\n", request, kWhat[request]);
        else
            std::printf("request %d: %s \"%s\"\n", request, kWhat[request], name.c_str());
        std::fflush(stdout);
    }

    std::shared_ptr<machine::Endpoint> m_inner;
    int m_subscription;
    std::mutex m_mutex;
    bool m_nameFollows = false;
    int m_named = 0;
};

void WatchRequests() {
    std::shared_ptr<machine::Endpoint> watched = plug::SelectedMachine();
    if (watched)
        plug::SelectMachine(std::make_shared<RequestWatch>(watched));
}

} // namespace

#endif // _WIN32

namespace {

int RunServe(const std::vector<std::string>& words) {
    host::Args args(words, {});
    const auto selector = host::SelectorOption(args, "serve", 0);
    if (!selector)
        return 2;
    if (!args.Ok() || args.Positional().size() != 1) {
        std::fprintf(stderr, "vantel serve: %s\n",
                     args.Ok() ? "usage: vantel serve DIR [--selector N]" : args.Error().c_str());
        return 2;
    }
    CEvent cancel(FALSE, TRUE);
    std::optional<host::InterruptWatch> interrupt;
    interrupt.emplace([&cancel](const host::InterruptWatch&) { cancel.SetEvent(); });
    WatchRequests();

    std::string folder = args.Positional()[0];
    int code;
    {
        host::ComHost session;
        CCom com(session.Owner(), &cancel);
        const BYTE* blob = com.SetFolderInfo(&folder[0]);
        std::printf("serving %s (%u bytes of folder information) until interrupted\n",
                    folder.c_str(), blob != NULL ? com.m_nFolderInfoSize : 0);
        std::fflush(stdout);
        code = com.StatusLoop(*selector);
    }
    interrupt.reset();
    if (code != 0) {
        std::printf("serve: ended with result %d\n", code);
        return 1;
    }
    std::printf("serve: stopped\n");
    return 0;
}

} // namespace

VANTEL_COMMAND("serve", "serve DIR [--selector N]",
               "serve a PC folder to the machine's operator panel until interrupted", RunServe);
