#include "machine/Machine.h"

#include "machine/DesignCheck.h"

#include <algorithm>
#include <cstring>
#include <fstream>

namespace machine {

namespace {

constexpr size_t kTraceLimit = 16384;
constexpr size_t kAnswerLimit = 16;
constexpr size_t kMaxRequestName = 511;
constexpr uint32_t kBlobLimit = 0xFFFF; // the folder list's length is a 16-bit field

bool KnownCode(uint32_t code) {
    switch (code) {
    case kStatus:
    case kChangeFolder:
    case kReadFolderList:
    case kSendDesignName:
    case kSendDesignData:
    case kReceiveDesignName:
    case kReceiveDesignData:
    case kDeleteName:
    case kDeleteStart:
    case kRenameName:
    case kRenameData:
    case kFolderCommandName:
    case kFolderCommandData:
    case kServiceAnswer:
    case kServiceRequest:
        return true;
    default:
        return false;
    }
}

bool IsNameCommand(uint32_t code) {
    return code == kChangeFolder || code == kSendDesignName || code == kReceiveDesignName ||
           code == kDeleteName || code == kRenameName || code == kFolderCommandName;
}

void Refuse(uint8_t* reply, uint16_t detail) {
    reply[kReplyAck] = kRefused;
    PutU16(reply + kReplyDetail, detail);
}

// Splits a machine path into names. A path beginning with '\' starts at the medium's root,
// any other at `current`. Empty components (doubled or trailing backslashes) are skipped.
bool ParsePath(const std::string& text, const StoragePath& current, StoragePath* path) {
    if (text.empty())
        return false;
    *path = text[0] == '\\' ? StoragePath() : current;
    size_t start = 0;
    while (start <= text.size()) {
        size_t end = text.find('\\', start);
        if (end == std::string::npos)
            end = text.size();
        std::string name = text.substr(start, end - start);
        if (!name.empty()) {
            if (!Storage::ValidName(name))
                return false;
            path->push_back(name);
        }
        start = end + 1;
    }
    return true;
}

// Every design lies below the root folder EMB of its medium.
bool InsideRoot(const StoragePath& path) {
    return !path.empty() && Storage::SameName(path[0], Storage::kRootFolder);
}

std::string Extension(const std::string& name) {
    size_t dot = name.rfind('.');
    if (dot == std::string::npos)
        return std::string();
    std::string ext = name.substr(dot + 1);
    for (char& c : ext)
        c = (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
    return ext;
}

std::string BaseName(const std::string& name) {
    size_t dot = name.rfind('.');
    return dot == std::string::npos ? name : name.substr(0, dot);
}

bool IsDesignName(const std::string& name) {
    std::string ext = Extension(name);
    return ext == "kst" || ext == "kst+";
}

std::string NameFromBlock(const uint8_t* block, uint32_t count) {
    const char* text = reinterpret_cast<const char*>(block);
    size_t length = 0;
    while (length < count && text[length] != '\0')
        ++length;
    return std::string(text, length);
}

uint16_t DetailFor(StorageStatus status) {
    switch (status) {
    case StorageStatus::Ok:
        return kDetailNone;
    case StorageStatus::NotFound:
        return kDetailNotFound;
    case StorageStatus::Exists:
        return kDetailExists;
    case StorageStatus::NotEmpty:
        return kDetailNotEmpty;
    case StorageStatus::NotAFile:
        return kDetailNotAFile;
    case StorageStatus::NotAFolder:
        return kDetailNotAFolder;
    case StorageStatus::Full:
    case StorageStatus::IoError:
        break;
    }
    return kDetailStorageError;
}

} // namespace

// A name command whose name block has arrived, waiting for its data request.
struct Machine::Pending {
    uint32_t code = 0;
    int medium = 0;
    bool valid = false; // the name parsed as a path
    StoragePath path;
};

Machine::Machine(MachineOptions options)
    : m_options(std::move(options)), m_storage(m_options.storageDir, m_options.capacity) {
    for (StoragePath& folder : m_currentFolder)
        folder = {Storage::kRootFolder};
}

Machine::~Machine() {
    std::lock_guard<std::mutex> lock(m_mutex);
    FinishWork();
}

bool Machine::Start(std::string* error) {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (!m_storage.Prepare(error))
        return false;
    // The root folder as stored, so that the current folder carries its stored name.
    for (int medium = kMediumBuiltIn; medium <= kMediumUsb; ++medium) {
        if (auto found = m_storage.Find(medium, {Storage::kRootFolder}))
            m_currentFolder[medium] = found->names;
    }
    return true;
}

// ---------------------------------------------------------------------------------------
// Opens

IoError Machine::Open(uint32_t access, uint32_t share, uint64_t* openId) {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (!m_plugged)
        return IoError::NotFound;
    auto reads = [](uint32_t a) { return (a & (kAccessRead | kAccessAll | 0x1)) != 0; };
    auto writes = [](uint32_t a) { return (a & (kAccessWrite | kAccessAll | 0x2)) != 0; };
    for (const auto& entry : m_opens) {
        const OpenRecord& other = entry.second;
        if ((reads(access) && !(other.share & kShareRead)) ||
            (writes(access) && !(other.share & kShareWrite)) ||
            (reads(other.access) && !(share & kShareRead)) ||
            (writes(other.access) && !(share & kShareWrite)))
            return IoError::SharingViolation;
    }
    *openId = ++m_nextOpen;
    m_opens[*openId] = OpenRecord{access, share};
    return IoError::None;
}

void Machine::Close(uint64_t openId) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_opens.erase(openId);
    if (m_opens.empty())
        FinishWork();
}

bool Machine::OpenValid(uint64_t openId) const {
    return m_plugged && m_opens.count(openId) != 0;
}

bool Machine::Present() {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_plugged;
}

// ---------------------------------------------------------------------------------------
// Requests and blocks

bool Machine::Fault(IoKind kind, IoResult* result) {
    size_t index = static_cast<size_t>(kind);
    if (m_unplugAt[index] > 0 && --m_unplugAt[index] == 0) {
        UnplugLocked();
        result->error = IoError::Gone;
        return true;
    }
    if (m_failAt[index] > 0 && --m_failAt[index] == 0) {
        result->error = IoError::Failed;
        return true;
    }
    return false;
}

template <class F> IoResult Machine::Serve(IoKind kind, uint64_t openId, TraceEntry entry, F body) {
    IoResult result;
    bool unplugged = false;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        bool wasPlugged = m_plugged;
        entry.kind = kind;
        if (!OpenValid(openId))
            result.error = IoError::Gone;
        else if (!Fault(kind, &result))
            body(entry, result);
        entry.error = result.error;
        entry.moved = result.moved;
        Record(std::move(entry));
        unplugged = wasPlugged && !m_plugged;
    }
    if (unplugged)
        NotifyObservers();
    return result;
}

IoResult Machine::Control(uint64_t openId, uint32_t code, const void* in, uint32_t inSize,
                          void* out, uint32_t outSize) {
    TraceEntry entry;
    entry.code = code;
    entry.length = inSize;
    if (in != nullptr)
        std::memcpy(entry.request.data(), in, std::min<uint32_t>(inSize, kRequestSize));
    return Serve(IoKind::Control, openId, std::move(entry), [&](TraceEntry& e, IoResult& r) {
        if (!KnownCode(code)) {
            r.error = IoError::InvalidFunction;
            return;
        }
        if (in == nullptr || inSize != kRequestSize) {
            r.error = IoError::InvalidParameter;
            return;
        }
        if (out == nullptr || outSize < kReplySize) {
            r.error = IoError::BufferTooSmall;
            return;
        }
        uint8_t reply[kReplySize] = {};
        // Any request ends a data phase left unfinished; any but a status query lets a store
        // or delete in progress finish first.
        m_phase = Phase::Idle;
        if (code != kStatus) {
            FinishWork();
            if (code != m_readyCode)
                m_readyCode = 0;
        }
        auto refused = m_refuse.find(code);
        if (refused != m_refuse.end())
            Refuse(reply, refused->second);
        else
            Dispatch(code, e.request.data(), reply);
        std::memcpy(out, reply, kReplySize);
        std::memcpy(e.reply.data(), reply, kReplySize);
        r.moved = kReplySize;
    });
}

IoResult Machine::Write(uint64_t openId, const void* data, uint32_t size) {
    TraceEntry entry;
    entry.length = size;
    return Serve(IoKind::Write, openId, std::move(entry), [&](TraceEntry& e, IoResult& r) {
        if (size > kBlockSize || (size > 0 && data == nullptr)) {
            r.error = IoError::InvalidParameter;
            return;
        }
        if (size == 0)
            return; // a zero-length packet: nothing moves
        // A short block is padded with zeros: the machine always takes 512 bytes.
        e.block.assign(kBlockSize, 0);
        std::memcpy(e.block.data(), data, size);
        r.moved = size;
        if (m_phase == Phase::NameBlock) {
            m_phase = Phase::Idle;
            NameArrived(NameFromBlock(e.block.data(), m_nameCount));
        } else if (m_phase == Phase::WriteData) {
            uint32_t take = std::min<uint32_t>(kBlockSize, m_writeLength - m_written);
            if (m_writeBuffer.size() + take <= m_writeLimit)
                m_writeBuffer.insert(m_writeBuffer.end(), e.block.begin(), e.block.begin() + take);
            else
                m_writeOverflow = true;
            m_written += take;
            if (--m_blocksLeft == 0) {
                m_phase = Phase::Idle;
                if (!CompleteWrite())
                    r = IoResult{IoError::Failed, 0}; // the machine stalls the last block
            }
        } else {
            r = IoResult{IoError::Failed, 0}; // nothing expected: the pipe stalls
        }
    });
}

IoResult Machine::Read(uint64_t openId, void* data, uint32_t size) {
    TraceEntry entry;
    entry.length = size;
    return Serve(IoKind::Read, openId, std::move(entry), [&](TraceEntry& e, IoResult& r) {
        if (size < kBlockSize || data == nullptr) {
            r.error = IoError::InvalidParameter; // the driver reads whole blocks only
            return;
        }
        if (m_phase != Phase::ReadData) {
            r.error = IoError::Failed; // nothing to send: the pipe stalls
            return;
        }
        // The last block is padded with zeros; only its leading bytes count.
        e.block.assign(kBlockSize, 0);
        size_t take = std::min<size_t>(kBlockSize, m_readBuffer.size() - m_readOffset);
        std::memcpy(e.block.data(), m_readBuffer.data() + m_readOffset, take);
        m_readOffset += take;
        r.moved = kBlockSize;
        if (m_shortAt > 0 && --m_shortAt == 0)
            r.moved = std::min(m_shortBytes, kBlockSize);
        std::memcpy(data, e.block.data(), r.moved);
        if (m_readOffset >= m_readBuffer.size()) {
            m_phase = Phase::Idle;
            m_readBuffer.clear();
        }
    });
}

void Machine::Record(TraceEntry entry) {
    if (!m_tracing)
        return;
    if (m_trace.size() >= kTraceLimit)
        m_trace.pop_front();
    m_trace.push_back(std::move(entry));
}

// ---------------------------------------------------------------------------------------
// The protocol

void Machine::Dispatch(uint32_t code, const uint8_t* request, uint8_t* reply) {
    if (IsNameCommand(code)) {
        NameCommand(code, request, reply);
        return;
    }
    switch (code) {
    case kStatus:
        Status(request, reply);
        break;
    case kReadFolderList:
        ReadFolderList(request, reply);
        break;
    case kSendDesignData:
        SendDesignData(request, reply);
        break;
    case kReceiveDesignData:
        ReceiveDesignData(reply);
        break;
    case kDeleteStart:
        DeleteStart(reply);
        break;
    case kRenameData:
        RenameData(request, reply);
        break;
    case kFolderCommandData:
        FolderCommandData(request, reply);
        break;
    case kServiceAnswer:
        ServiceAnswer(request, reply);
        break;
    case kServiceRequest:
        ServiceRequest(reply);
        break;
    default:
        Refuse(reply, kDetailBadRequest);
        break;
    }
}

bool Machine::Busy() const {
    return m_work != Work::None || (m_pending && m_pending->code == kSendDesignName);
}

void Machine::Status(const uint8_t* request, uint8_t* reply) {
    // A reply given while a transfer is going on (or that ends one) never carries an
    // operator request: the PC reads the sub-status of such replies for its own purposes.
    bool busy = Busy();
    uint8_t status = kStatusDone;
    uint8_t sub = 0;
    switch (request[0]) {
    case kSelectStore:
        if (m_work == Work::Store && m_workPollsLeft > 0) {
            --m_workPollsLeft;
            status = kStatusBusy;
        } else {
            FinishWork();
            status = m_lastStore;
            if (status == kStatusDone && m_listAgain) {
                sub = kSubStatusListAgain;
                m_listAgain = false;
            }
        }
        break;
    case kSelectDelete:
        if (m_work == Work::Delete && m_workPollsLeft > 0) {
            --m_workPollsLeft;
            status = kStatusBusy;
        } else {
            FinishWork();
            status = m_lastDelete;
        }
        break;
    case kSelectReadiness:
        if (m_stayNotReady) {
            status = kNotYet;
        } else if (m_sendReadyLeft > 0) {
            --m_sendReadyLeft;
            status = kNotYet;
        }
        break;
    default:
        break;
    }
    // The operator's requests are handed over one per reply.
    if (sub == 0 && !busy && !m_requests.empty()) {
        sub = static_cast<uint8_t>(m_requests.front().first);
        if (sub == 4 || sub == 5)
            m_serviceArgument = m_requests.front().second;
        m_requests.pop_front();
    }
    reply[kReplyAck] = status;
    reply[kReplyState] = m_running ? kStateRunning : kStateIdle;
    reply[kReplySubStatus] = sub;
}

void Machine::NameCommand(uint32_t code, const uint8_t* request, uint8_t* reply) {
    m_pending.reset();
    m_sendReadyLeft = 0;
    uint16_t medium = GetU16(request + kRequestParameter);
    uint16_t count = GetU16(request + kRequestCount);
    if (m_running) {
        Refuse(reply, kDetailRunning);
        return;
    }
    bool sewing =
        medium == kMediumSewing && (code == kSendDesignName || code == kReceiveDesignName);
    if ((medium < kMediumBuiltIn || medium > kMediumUsb) && !sewing) {
        Refuse(reply, kDetailBadMedium);
        return;
    }
    if (count == 0 || count > kBlockSize) {
        Refuse(reply, kDetailBadName);
        return;
    }
    m_phase = Phase::NameBlock;
    m_phaseCode = code;
    m_phaseMedium = medium;
    m_nameCount = count;
    reply[kReplyAck] = kAccepted;
}

void Machine::NameArrived(const std::string& name) {
    auto pending = std::make_unique<Pending>();
    pending->code = m_phaseCode;
    pending->medium = m_phaseMedium;
    if (pending->medium == kMediumSewing) {
        // Medium 4 holds one design: only the last name of the path counts.
        std::string last =
            name.substr(name.rfind('\\') == std::string::npos ? 0 : name.rfind('\\') + 1);
        pending->valid = Storage::ValidName(last);
        pending->path = {last};
    } else {
        pending->valid = ParsePath(name, m_currentFolder[pending->medium], &pending->path);
    }
    if (pending->code == kChangeFolder) {
        int medium = pending->medium;
        std::optional<Storage::Found> found;
        if (pending->valid && InsideRoot(pending->path))
            found = m_storage.Find(medium, pending->path);
        if (found && found->folder) {
            m_currentFolder[medium] = found->names;
            m_folderError[medium] = kDetailNone;
        } else {
            // Reported by the next reading of this medium's folder list.
            m_folderError[medium] =
                !pending->valid ? kDetailBadName : (found ? kDetailNotAFolder : kDetailNotFound);
        }
        return;
    }
    if (pending->code == kSendDesignName)
        m_sendReadyLeft = m_options.notReadyReplies;
    m_pending = std::move(pending);
}

Machine::Pending* Machine::Expect(uint32_t nameCode, uint8_t* reply) {
    if (!m_pending || m_pending->code != nameCode) {
        Refuse(reply, kDetailOutOfSequence);
        return nullptr;
    }
    if (!m_pending->valid) {
        Refuse(reply, kDetailBadName);
        m_pending.reset();
        return nullptr;
    }
    return m_pending.get();
}

bool Machine::NotReadyYet(uint32_t code) {
    if (m_stayNotReady)
        return true;
    if (m_readyCode != code) {
        m_readyCode = code;
        m_readyLeft = m_options.notReadyReplies;
    }
    if (m_readyLeft > 0) {
        --m_readyLeft;
        return true;
    }
    m_readyCode = 0;
    return false;
}

void Machine::StartRead(std::vector<uint8_t> bytes) {
    m_readBuffer = std::move(bytes);
    m_readOffset = 0;
    m_phase = m_readBuffer.empty() ? Phase::Idle : Phase::ReadData;
}

void Machine::StartWrite(uint32_t length, uint64_t keep) {
    m_writeLength = length;
    m_written = 0;
    m_blocksLeft = static_cast<uint32_t>((uint64_t(length) + kBlockSize - 1) / kBlockSize);
    m_writeLimit = keep;
    m_writeBuffer.clear();
    m_writeBuffer.reserve(static_cast<size_t>(std::min<uint64_t>(length, keep)));
    m_writeOverflow = false;
    m_phase = m_blocksLeft > 0 ? Phase::WriteData : Phase::Idle;
}

void Machine::ReadFolderList(const uint8_t* request, uint8_t* reply) {
    uint16_t medium = GetU16(request);
    if (request[2] != 1) {
        Refuse(reply, kDetailBadRequest);
        return;
    }
    if (medium < kMediumBuiltIn || medium > kMediumUsb) {
        Refuse(reply, kDetailBadMedium);
        return;
    }
    if (m_folderError[medium] != kDetailNone) {
        Refuse(reply, m_folderError[medium]);
        m_folderError[medium] = kDetailNone;
        return;
    }
    auto found = m_storage.Find(medium, m_currentFolder[medium]);
    if (!found || !found->folder) {
        Refuse(reply, kDetailNotFound); // the current folder has gone
        return;
    }
    if (NotReadyYet(kReadFolderList)) {
        reply[kReplyAck] = kNotYet;
        return;
    }
    std::vector<uint8_t> blob = FolderBlob(medium, m_currentFolder[medium]);
    reply[kReplyAck] = kReady;
    PutU16(reply + kReplyLength16, static_cast<uint16_t>(blob.size()));
    StartRead(std::move(blob));
}

std::vector<uint8_t> Machine::FolderBlob(int medium, const StoragePath& folder) {
    std::vector<StorageEntry> entries;
    m_storage.List(medium, folder, &entries);
    std::vector<uint8_t> blob(4, 0);
    uint32_t count = 0;
    for (const StorageEntry& entry : entries) {
        uint32_t length = (16 + static_cast<uint32_t>(entry.name.size()) + 1 + 3) & ~3u;
        if (blob.size() + length > kBlobLimit)
            break; // what does not fit the 16-bit length is left out
        int32_t kind = kKindFolder;
        int32_t width = 0;
        int32_t height = 0;
        if (!entry.folder) {
            kind = kKindOtherFile;
            if (IsDesignName(entry.name)) {
                std::string companion = BaseName(entry.name) + ".rzf";
                for (const StorageEntry& other : entries) {
                    if (!other.folder && Storage::SameName(other.name, companion))
                        kind = kKindDesignWithCompanion;
                }
                StoragePath file = folder;
                file.push_back(entry.name);
                if (auto found = m_storage.Find(medium, file)) {
                    uint8_t header[kDesignHeaderSize] = {};
                    std::ifstream in(found->disk, std::ios::binary);
                    in.read(reinterpret_cast<char*>(header), sizeof header);
                    DesignExtents(header, static_cast<size_t>(in.gcount()), &width, &height);
                }
            }
        }
        size_t at = blob.size();
        blob.resize(at + length, 0);
        PutU32(&blob[at], length);
        PutU32(&blob[at + 4], static_cast<uint32_t>(kind));
        PutU32(&blob[at + 8], static_cast<uint32_t>(width));
        PutU32(&blob[at + 12], static_cast<uint32_t>(height));
        std::memcpy(&blob[at + 16], entry.name.data(), entry.name.size());
        ++count;
    }
    PutU32(blob.data(), count);
    return blob;
}

void Machine::SendDesignData(const uint8_t* request, uint8_t* reply) {
    Pending* pending = Expect(kSendDesignName, reply);
    if (pending == nullptr)
        return;
    uint32_t length = GetU32(request);
    if (pending->medium != kMediumSewing && m_storage.Find(pending->medium, pending->path)) {
        Refuse(reply, kDetailExists);
        m_pending.reset();
        return;
    }
    m_targetMedium = pending->medium;
    m_target = pending->path;
    m_pending.reset();
    m_sendReadyLeft = 0;
    reply[kReplyAck] = kAccepted;
    m_phaseCode = kSendDesignData;
    // More than the medium holds is counted but not kept: the store will report it full.
    StartWrite(length, m_storage.Capacity(m_targetMedium) + 1);
    if (m_phase == Phase::Idle)
        CompleteWrite(); // no data at all
}

void Machine::ReceiveDesignData(uint8_t* reply) {
    Pending* pending = Expect(kReceiveDesignName, reply);
    if (pending == nullptr)
        return;
    std::vector<uint8_t> bytes;
    std::string sewingName;
    if (pending->medium == kMediumSewing) {
        if (!m_storage.GetSewing(&sewingName, &bytes)) {
            Refuse(reply, kDetailNotFound);
            m_pending.reset();
            return;
        }
    } else {
        auto found = InsideRoot(pending->path) ? m_storage.Find(pending->medium, pending->path)
                                               : std::nullopt;
        if (!found || found->folder) {
            Refuse(reply, found ? kDetailNotAFile : kDetailNotFound);
            m_pending.reset();
            return;
        }
    }
    if (NotReadyYet(kReceiveDesignData)) {
        reply[kReplyAck] = kNotYet;
        return;
    }
    if (pending->medium != kMediumSewing &&
        m_storage.ReadFile(pending->medium, pending->path, &bytes) != StorageStatus::Ok) {
        Refuse(reply, kDetailStorageError);
        m_pending.reset();
        return;
    }
    m_pending.reset();
    reply[kReplyAck] = kReady;
    PutU32(reply + kReplyLength32, static_cast<uint32_t>(bytes.size()));
    StartRead(std::move(bytes));
}

void Machine::DeleteStart(uint8_t* reply) {
    Pending* pending = Expect(kDeleteName, reply);
    if (pending == nullptr)
        return;
    auto found =
        InsideRoot(pending->path) ? m_storage.Find(pending->medium, pending->path) : std::nullopt;
    if (!found || found->folder) {
        Refuse(reply, found ? kDetailNotAFile : kDetailNotFound);
        m_pending.reset();
        return;
    }
    m_targetMedium = pending->medium;
    m_target = pending->path;
    m_pending.reset();
    m_work = Work::Delete;
    m_workPollsLeft = m_options.deletingPolls;
    m_lastDelete = kStatusBusy;
    reply[kReplyAck] = kAccepted;
}

void Machine::RenameData(const uint8_t* request, uint8_t* reply) {
    Pending* pending = Expect(kRenameName, reply);
    if (pending == nullptr)
        return;
    uint16_t length = GetU16(request + 2);
    auto found =
        InsideRoot(pending->path) ? m_storage.Find(pending->medium, pending->path) : std::nullopt;
    uint16_t detail = !found                                 ? kDetailNotFound
                      : found->folder                        ? kDetailNotAFile
                      : (length == 0 || length > kBlockSize) ? kDetailBadName
                                                             : kDetailNone;
    if (detail != kDetailNone) {
        Refuse(reply, detail);
        m_pending.reset();
        return;
    }
    m_targetMedium = pending->medium;
    m_target = pending->path;
    m_pending.reset();
    m_phaseCode = kRenameData;
    reply[kReplyAck] = kAccepted;
    StartWrite(length, length);
}

void Machine::FolderCommandData(const uint8_t* request, uint8_t* reply) {
    Pending* pending = Expect(kFolderCommandName, reply);
    if (pending == nullptr)
        return;
    uint16_t mode = GetU16(request);
    uint16_t length = GetU16(request + 2);
    auto found =
        InsideRoot(pending->path) ? m_storage.Find(pending->medium, pending->path) : std::nullopt;
    uint16_t detail = kDetailNone;
    if (mode != kFolderCreate && mode != kFolderRename && mode != kFolderDelete)
        detail = kDetailBadRequest;
    else if (!found)
        detail = kDetailNotFound;
    else if (!found->folder)
        detail = kDetailNotAFolder;
    else if (mode != kFolderCreate && pending->path.size() == 1)
        detail = kDetailProtected;
    else if (mode == kFolderDelete && length != 0)
        detail = kDetailBadRequest;
    else if (mode != kFolderDelete && (length == 0 || length > kBlockSize))
        detail = kDetailBadName;
    int medium = pending->medium;
    StoragePath path = pending->path;
    m_pending.reset();
    if (detail == kDetailNone && mode == kFolderDelete)
        detail = DetailFor(m_storage.RemoveFolder(medium, path));
    if (detail != kDetailNone) {
        Refuse(reply, detail);
        return;
    }
    reply[kReplyAck] = kAccepted;
    if (mode == kFolderDelete) {
        for (int m = kMediumBuiltIn; m <= kMediumUsb; ++m) {
            if (!m_storage.Find(m, m_currentFolder[m]))
                m_currentFolder[m] = {Storage::kRootFolder}; // its current folder went
        }
        return;
    }
    m_targetMedium = medium;
    m_target = path;
    m_folderMode = mode;
    m_phaseCode = kFolderCommandData;
    StartWrite(length, length);
}

void Machine::ServiceAnswer(const uint8_t* request, uint8_t* reply) {
    uint16_t parameter = GetU16(request + kRequestParameter);
    uint16_t length = GetU16(request + kRequestCount);
    if (parameter != 0 || length == 0) {
        Refuse(reply, kDetailBadRequest);
        return;
    }
    reply[kReplyAck] = kAccepted;
    m_phaseCode = kServiceAnswer;
    StartWrite(length, length);
}

void Machine::ServiceRequest(uint8_t* reply) {
    if (!m_serviceArgument) {
        Refuse(reply, kDetailNothingPending);
        return;
    }
    if (NotReadyYet(kServiceRequest)) {
        reply[kReplyAck] = kNotYet;
        return;
    }
    std::vector<uint8_t> bytes(m_serviceArgument->begin(), m_serviceArgument->end());
    bytes.push_back(0);
    m_serviceArgument.reset();
    reply[kReplyAck] = kReady;
    PutU16(reply + kReplyLength16, static_cast<uint16_t>(bytes.size()));
    StartRead(std::move(bytes));
}

bool Machine::CompleteWrite() {
    std::vector<uint8_t> data = std::move(m_writeBuffer);
    m_writeBuffer.clear();
    switch (m_phaseCode) {
    case kSendDesignData:
        m_storeBytes = std::move(data);
        m_storeOverflow = m_writeOverflow;
        m_work = Work::Store;
        m_workPollsLeft = m_options.storingPolls;
        m_lastStore = kStatusBusy;
        return true;
    case kRenameData:
    case kFolderCommandData: {
        // The new name is known only now: a name that is taken or malformed makes the
        // machine stall the block that completed it.
        std::string name = NameFromBlock(data.data(), static_cast<uint32_t>(data.size()));
        if (!Storage::ValidName(name))
            return false;
        StorageStatus status = (m_phaseCode == kFolderCommandData && m_folderMode == kFolderCreate)
                                   ? m_storage.MakeFolder(m_targetMedium, m_target, name)
                                   : m_storage.Rename(m_targetMedium, m_target, name);
        if (status == StorageStatus::Ok && m_phaseCode == kFolderCommandData) {
            // A renamed folder that was current stays current under its new name.
            StoragePath& current = m_currentFolder[m_targetMedium];
            if (m_folderMode == kFolderRename && current.size() >= m_target.size() &&
                std::equal(m_target.begin(), m_target.end(), current.begin(), Storage::SameName))
                current[m_target.size() - 1] = name;
        }
        return status == StorageStatus::Ok;
    }
    case kServiceAnswer:
        if (m_answers.size() >= kAnswerLimit)
            m_answers.pop_front();
        m_answers.push_back(std::move(data));
        return true;
    default:
        return true;
    }
}

void Machine::FinishWork() {
    if (m_work == Work::Store)
        m_lastStore = DoStore();
    else if (m_work == Work::Delete)
        m_lastDelete = DoDelete();
    m_work = Work::None;
    m_storeBytes.clear();
    m_storeBytes.shrink_to_fit();
}

uint8_t Machine::DoStore() {
    if (m_storeOverflow || m_target.empty())
        return kStatusFailed;
    const std::string& name = m_target.back();
    bool design = m_targetMedium == kMediumSewing || IsDesignName(name);
    if (design && !CheckDesignStructure(m_storeBytes.data(), m_storeBytes.size()))
        return kStatusFailed;
    if (m_targetMedium == kMediumSewing) {
        if (m_storage.PutSewing(name, m_storeBytes) != StorageStatus::Ok)
            return kStatusFailed;
        m_listAgain = true;
        return kStatusDone;
    }
    StoragePath folder(m_target.begin(), m_target.end() - 1);
    if (!InsideRoot(folder))
        return kStatusFailed;
    return m_storage.WriteFile(m_targetMedium, folder, name, m_storeBytes) == StorageStatus::Ok
               ? kStatusDone
               : kStatusFailed;
}

uint8_t Machine::DoDelete() {
    return m_storage.RemoveFile(m_targetMedium, m_target) == StorageStatus::Ok ? kStatusDone
                                                                               : kStatusFailed;
}

void Machine::UnplugLocked() {
    m_plugged = false;
    m_opens.clear();
    m_phase = Phase::Idle;
    m_pending.reset();
    FinishWork();
}

// ---------------------------------------------------------------------------------------
// The operator panel

bool Machine::RaiseRequest(int request, const std::string& name) {
    if (request < 1 || request > 5)
        return false;
    bool named = request == 4 || request == 5;
    if (named && (name.empty() || name.size() > kMaxRequestName))
        return false;
    std::lock_guard<std::mutex> lock(m_mutex);
    m_requests.emplace_back(request, named ? name : std::string());
    return true;
}

size_t Machine::PendingRequests() {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_requests.size();
}

void Machine::SetRunning(bool running) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_running = running;
}

bool Machine::Running() {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_running;
}

void Machine::Plug() {
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (m_plugged)
            return;
        m_plugged = true;
    }
    NotifyObservers();
}

void Machine::Unplug() {
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (!m_plugged)
            return;
        UnplugLocked();
    }
    NotifyObservers();
}

bool Machine::PutSewingDesign(const std::string& name, const std::vector<uint8_t>& bytes) {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_storage.PutSewing(name, bytes) == StorageStatus::Ok;
}

bool Machine::LoadSewingDesign(int medium, const std::string& path) {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (medium < kMediumBuiltIn || medium > kMediumUsb)
        return false;
    StoragePath parsed;
    std::vector<uint8_t> bytes;
    if (!ParsePath(path, m_currentFolder[medium], &parsed) || !InsideRoot(parsed) ||
        m_storage.ReadFile(medium, parsed, &bytes) != StorageStatus::Ok)
        return false;
    auto found = m_storage.Find(medium, parsed);
    return found && m_storage.PutSewing(found->names.back(), bytes) == StorageStatus::Ok;
}

bool Machine::SewingDesign(std::string* name, std::vector<uint8_t>* bytes) {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_storage.GetSewing(name, bytes);
}

std::vector<std::vector<uint8_t>> Machine::ServiceAnswers() {
    std::lock_guard<std::mutex> lock(m_mutex);
    return std::vector<std::vector<uint8_t>>(m_answers.begin(), m_answers.end());
}

std::string Machine::CurrentFolder(int medium) {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (medium < kMediumBuiltIn || medium > kMediumUsb)
        return std::string();
    std::string path;
    for (const std::string& name : m_currentFolder[medium])
        path += "\\" + name;
    return path;
}

// ---------------------------------------------------------------------------------------
// Configuration, faults, trace

void Machine::SetNotReadyReplies(int count) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_options.notReadyReplies = std::max(0, count);
}

void Machine::SetStoringPolls(int count) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_options.storingPolls = std::max(0, count);
}

void Machine::SetDeletingPolls(int count) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_options.deletingPolls = std::max(0, count);
}

void Machine::SetCapacity(int medium, uint64_t bytes) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_storage.SetCapacity(medium, bytes);
}

void Machine::RefuseCode(uint32_t code, uint16_t detail) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_refuse[code] = detail;
}

void Machine::FailNth(IoKind kind, int n) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_failAt[static_cast<size_t>(kind)] = std::max(0, n);
}

void Machine::ShortBlock(int n, uint32_t bytes) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_shortAt = std::max(0, n);
    m_shortBytes = bytes;
}

void Machine::StayNotReady(bool stay) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_stayNotReady = stay;
}

void Machine::UnplugAt(IoKind kind, int n) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_unplugAt[static_cast<size_t>(kind)] = std::max(0, n);
}

void Machine::ClearFaults() {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_refuse.clear();
    m_failAt = {};
    m_unplugAt = {};
    m_shortAt = 0;
    m_stayNotReady = false;
}

std::vector<TraceEntry> Machine::Trace() {
    std::lock_guard<std::mutex> lock(m_mutex);
    return std::vector<TraceEntry>(m_trace.begin(), m_trace.end());
}

void Machine::ClearTrace() {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_trace.clear();
}

void Machine::SetTracing(bool on) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_tracing = on;
    if (!on)
        m_trace.clear();
}

} // namespace machine
