// The far side of the driver interface as the device layer sees it: something that can be
// opened with an access and a share mode, answers control requests, and takes and gives
// blocks. The embedded machine and the client of a served machine are endpoints.
//
// Every endpoint also carries the completion knob: whether a request is answered at once or
// later (the device layer then reports the call as pending and completes it from another
// thread), and whether later answers are held back until released, so that tests can keep
// a request pending for as long as they need.
#pragma once

#include <cstdint>
#include <functional>
#include <mutex>
#include <vector>

namespace machine {

// Access and share bits of an open, with the values Win32 gives them.
constexpr uint32_t kAccessRead = 0x80000000u;  // GENERIC_READ
constexpr uint32_t kAccessWrite = 0x40000000u; // GENERIC_WRITE
constexpr uint32_t kAccessAll = 0x10000000u;   // GENERIC_ALL
constexpr uint32_t kShareRead = 0x1;           // FILE_SHARE_READ
constexpr uint32_t kShareWrite = 0x2;          // FILE_SHARE_WRITE

// What went wrong with a request, in the terms of the driver's I/O status.
enum class IoError : uint32_t {
    None = 0,
    InvalidParameter, // a length the driver does not take
    InvalidFunction,  // a control code the driver does not know
    BufferTooSmall,   // the reply does not fit the output buffer
    Failed,           // the device failed the request (a stalled pipe, an injected failure)
    Gone,             // the device has been removed
    SharingViolation, // an open that conflicts with the opens already made
    NotFound,         // nothing to open: the device is not there
};

struct IoResult {
    IoError error = IoError::None;
    uint32_t moved = 0; // bytes moved (control requests: bytes of reply written)
};

// When a request is answered.
enum class Completion {
    AtOnce,    // every request completes within the call
    Later,     // every request completes later, from another thread
    Alternate, // later, at once, later, ... (both paths in one exchange)
};

class Endpoint {
public:
    Endpoint() = default;
    Endpoint(const Endpoint&) = delete;
    Endpoint& operator=(const Endpoint&) = delete;
    virtual ~Endpoint();

    // Opens the device with Win32 access and share bits; *openId names the open in later
    // calls. Fails with Gone or NotFound when the device is not present and with
    // SharingViolation when an earlier open does not share what this one needs.
    virtual IoError Open(uint32_t access, uint32_t share, uint64_t* openId) = 0;
    virtual void Close(uint64_t openId) = 0;

    virtual IoResult Control(uint64_t openId, uint32_t code, const void* in, uint32_t inSize,
                             void* out, uint32_t outSize) = 0;
    virtual IoResult Write(uint64_t openId, const void* data, uint32_t size) = 0;
    virtual IoResult Read(uint64_t openId, void* data, uint32_t size) = 0;

    // Whether the device is plugged in.
    virtual bool Present() = 0;

    // The completion knob.
    void SetCompletion(Completion completion);
    Completion GetCompletion() const;
    // Decides for the next request: true when it is answered later.
    bool NextAnswersLater();
    // While held, requests answered later stay pending until the hold is released.
    void SetHold(bool hold);
    bool Held() const;

    // Observers are called (without any lock of the endpoint held) whenever the device is
    // plugged or unplugged, or the knob changes. Returns an id for Unsubscribe.
    int Subscribe(std::function<void()> observer);
    void Unsubscribe(int id);

protected:
    void NotifyObservers();

private:
    mutable std::mutex m_knobMutex;
    Completion m_completion = Completion::AtOnce;
    bool m_nextLater = true;
    bool m_hold = false;

    std::mutex m_observerMutex;
    int m_nextObserver = 0;
    std::vector<std::pair<int, std::function<void()>>> m_observers;
};

} // namespace machine
