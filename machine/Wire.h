// The machine's driver interface as it appears on the wire: the device-interface class, the
// control codes, the request and reply blocks and the block size. Every number the machine
// answers with is defined here, so that it can be compared with the transport's own table.
#pragma once

#include <cstddef>
#include <cstdint>

namespace machine {

// Device-interface class {AC9E08A8-9BEE-4CA2-9159-669A02F2C97E}, laid out as a GUID.
struct InterfaceClass {
    uint32_t data1;
    uint16_t data2;
    uint16_t data3;
    uint8_t data4[8];
};
constexpr InterfaceClass kInterfaceClass = {
    0xAC9E08A8, 0x9BEE, 0x4CA2, {0x91, 0x59, 0x66, 0x9A, 0x02, 0xF2, 0xC9, 0x7E}};

// Control codes: device type 0x8000, buffered, any access.
constexpr uint32_t ControlCode(uint32_t function) {
    return (0x8000u << 16) | (function << 2);
}

constexpr uint32_t kStatus = ControlCode(0x801);            // 0x80002004
constexpr uint32_t kChangeFolder = ControlCode(0x803);      // 0x8000200C
constexpr uint32_t kReadFolderList = ControlCode(0x804);    // 0x80002010
constexpr uint32_t kSendDesignName = ControlCode(0x805);    // 0x80002014
constexpr uint32_t kSendDesignData = ControlCode(0x806);    // 0x80002018
constexpr uint32_t kReceiveDesignName = ControlCode(0x807); // 0x8000201C
constexpr uint32_t kReceiveDesignData = ControlCode(0x808); // 0x80002020
constexpr uint32_t kDeleteName = ControlCode(0x809);        // 0x80002024
constexpr uint32_t kDeleteStart = ControlCode(0x80A);       // 0x80002028
constexpr uint32_t kRenameName = ControlCode(0x80B);        // 0x8000202C
constexpr uint32_t kRenameData = ControlCode(0x80C);        // 0x80002030
constexpr uint32_t kFolderCommandName = ControlCode(0x80D); // 0x80002034
constexpr uint32_t kFolderCommandData = ControlCode(0x80E); // 0x80002038
constexpr uint32_t kServiceAnswer = ControlCode(0x881);     // 0x80002204
constexpr uint32_t kServiceRequest = ControlCode(0x882);    // 0x80002208

static_assert(kStatus == 0x80002004 && kFolderCommandData == 0x80002038, "control codes");
static_assert(kServiceAnswer == 0x80002204 && kServiceRequest == 0x80002208, "control codes");

// Sizes of the blocks.
constexpr uint32_t kRequestSize = 4;
constexpr uint32_t kReplySize = 8;
constexpr uint32_t kBlockSize = 512;

// Request form A: bytes 0-1 parameter (medium or 0), bytes 2-3 byte count of the block that
// follows. Form B: as each code defines. All little-endian.
constexpr size_t kRequestParameter = 0;
constexpr size_t kRequestCount = 2;

// Reply: byte 0 acknowledgement or status (0 = refused), bytes 2-3 refusal detail, byte 4
// machine state, byte 5 sub-status, bytes 6-7 a 16-bit length, bytes 4-7 a 32-bit length.
constexpr size_t kReplyAck = 0;
constexpr size_t kReplyDetail = 2;
constexpr size_t kReplyState = 4;
constexpr size_t kReplySubStatus = 5;
constexpr size_t kReplyLength16 = 6;
constexpr size_t kReplyLength32 = 4;

constexpr uint8_t kRefused = 0;
constexpr uint8_t kAccepted = 1;
constexpr uint8_t kReady = 1;  // read requests: the data is ready
constexpr uint8_t kNotYet = 2; // read requests and selector 3: not yet
constexpr uint8_t kStateIdle = 0;
constexpr uint8_t kStateRunning = 2;

// Status selectors and the values they report.
constexpr uint8_t kSelectStore = 1;     // last store: 2 storing, 3 rejected, 1 done
constexpr uint8_t kSelectDelete = 2;    // last delete: 2 deleting, 3 failed, 1 done
constexpr uint8_t kSelectReadiness = 3; // readiness for data: 1 ready, 2 not yet
constexpr uint8_t kStatusDone = 1;
constexpr uint8_t kStatusBusy = 2;
constexpr uint8_t kStatusFailed = 3;

// Sub-status 2 after a design was stored on medium 4: the machine wants the folder again.
constexpr uint8_t kSubStatusListAgain = 2;

// Storage media.
constexpr int kMediumBuiltIn = 1;
constexpr int kMediumCard = 2;
constexpr int kMediumUsb = 3;
constexpr int kMediumSewing = 4;

// Folder-command modes.
constexpr uint16_t kFolderCreate = 1;
constexpr uint16_t kFolderRename = 2;
constexpr uint16_t kFolderDelete = 3;

// Kinds in the folder-information records: -1 a folder; files carry the machine's type code.
constexpr int32_t kKindFolder = -1;
constexpr int32_t kKindDesignWithCompanion = 6;
constexpr int32_t kKindOtherFile = 0;

// Refusal details of the machine's own (reply bytes 2-3 with byte 0 = 0).
enum Detail : uint16_t {
    kDetailNone = 0,
    kDetailNotFound = 2,        // the named file or folder does not exist
    kDetailExists = 3,          // the name is already taken
    kDetailNotEmpty = 4,        // a folder to delete still holds entries
    kDetailBadMedium = 6,       // no such medium for this request
    kDetailBadName = 7,         // an empty, too long or malformed name or path
    kDetailOutOfSequence = 8,   // a data request without its name command
    kDetailBadRequest = 9,      // a request block the machine cannot take
    kDetailNotAFile = 10,       // a folder where a file is needed
    kDetailNotAFolder = 11,     // a file where a folder is needed
    kDetailProtected = 12,      // the root folder EMB cannot be renamed or deleted
    kDetailNothingPending = 13, // a service request read with no request raised
    kDetailStorageError = 14,   // the medium could not be read or written
    kDetailRunning = 33,        // the machine is running
};

inline uint16_t GetU16(const uint8_t* p) {
    return static_cast<uint16_t>(p[0] | (p[1] << 8));
}
inline uint32_t GetU32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
           (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}
inline void PutU16(uint8_t* p, uint16_t v) {
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
}
inline void PutU32(uint8_t* p, uint32_t v) {
    for (int i = 0; i < 4; ++i)
        p[i] = static_cast<uint8_t>(v >> (8 * i));
}

} // namespace machine
