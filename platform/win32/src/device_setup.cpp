// Device setup: the device-interface sets of SetupDiGetClassDevsA and the calls that walk
// them, with the validation and the error codes that Windows gives.
#include "device_internal.h"

#include <windows.h>
#include <setupapi.h>

#include <cstddef>
#include <cstring>
#include <memory>
#include <mutex>
#include <set>

namespace emu {
namespace internal {

namespace {

// The device setup class of USB devices, which the machine's device belongs to.
constexpr GUID kUsbDeviceClass = {
    0x36FC9E60, 0xC465, 0x11CF, {0x80, 0x56, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};

struct InterfaceEntry {
    DeviceInterfaceInfo info;
};

// A device-information set: a snapshot of the interfaces taken when it was made. The
// Reserved fields handed out point to its entries; they are only compared, never followed
// before they are found in a live set.
struct DeviceInfoSet {
    std::vector<std::unique_ptr<InterfaceEntry>> entries;
};

struct SetTable {
    std::mutex mutex;
    std::set<DeviceInfoSet*> sets;
};

SetTable& Sets() {
    static SetTable* table = new SetTable;
    return *table;
}

// The set behind a handle, or nullptr with ERROR_INVALID_HANDLE. The caller holds the
// table's lock.
DeviceInfoSet* FindSetLocked(HDEVINFO handle) {
    auto* set = static_cast<DeviceInfoSet*>(handle);
    if (handle == nullptr || handle == INVALID_HANDLE_VALUE || Sets().sets.count(set) == 0) {
        Fail(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    return set;
}

const InterfaceEntry* FindEntry(const DeviceInfoSet& set, ULONG_PTR reserved) {
    for (const auto& entry : set.entries) {
        if (reinterpret_cast<ULONG_PTR>(entry.get()) == reserved)
            return entry.get();
    }
    return nullptr;
}

void FillDevInfo(const InterfaceEntry& entry, PSP_DEVINFO_DATA data) {
    data->ClassGuid = kUsbDeviceClass;
    data->DevInst = static_cast<DWORD>(entry.info.id);
    data->Reserved = reinterpret_cast<ULONG_PTR>(&entry);
}

} // namespace

} // namespace internal
} // namespace emu

using namespace emu::internal;

extern "C" {

HDEVINFO WINAPI SetupDiGetClassDevsA(const GUID* ClassGuid, PCSTR, HWND, DWORD Flags) {
    if (!(Flags & DIGCF_ALLCLASSES) && ClassGuid == nullptr) {
        Fail(ERROR_INVALID_PARAMETER);
        return INVALID_HANDLE_VALUE;
    }
    auto set = std::make_unique<DeviceInfoSet>();
    // Only device interfaces exist here: a set of device setup classes is empty.
    if (Flags & DIGCF_DEVICEINTERFACE) {
        for (DeviceInterfaceInfo& info : ListDeviceInterfaces()) {
            if (!(Flags & DIGCF_ALLCLASSES) && !SameGuid(info.interfaceClass, *ClassGuid))
                continue;
            if ((Flags & DIGCF_PRESENT) && !info.present)
                continue;
            auto entry = std::make_unique<InterfaceEntry>();
            entry->info = std::move(info);
            set->entries.push_back(std::move(entry));
        }
    }
    std::lock_guard<std::mutex> lock(Sets().mutex);
    DeviceInfoSet* raw = set.release();
    Sets().sets.insert(raw);
    SetLastError(ERROR_SUCCESS);
    return raw;
}

BOOL WINAPI SetupDiEnumDeviceInterfaces(HDEVINFO DeviceInfoSet, PSP_DEVINFO_DATA DeviceInfoData,
                                        const GUID* InterfaceClassGuid, DWORD MemberIndex,
                                        PSP_DEVICE_INTERFACE_DATA DeviceInterfaceData) {
    // The output record is checked first, before the set.
    if (DeviceInterfaceData == nullptr ||
        DeviceInterfaceData->cbSize != sizeof(SP_DEVICE_INTERFACE_DATA))
        return Fail(ERROR_INVALID_PARAMETER);
    std::lock_guard<std::mutex> lock(Sets().mutex);
    auto* set = FindSetLocked(DeviceInfoSet);
    if (set == nullptr)
        return FALSE;
    std::memset(DeviceInterfaceData, 0, sizeof *DeviceInterfaceData);
    DeviceInterfaceData->cbSize = sizeof(SP_DEVICE_INTERFACE_DATA);
    if (InterfaceClassGuid == nullptr)
        return Fail(ERROR_INVALID_PARAMETER);
    const InterfaceEntry* device = nullptr;
    if (DeviceInfoData != nullptr) {
        if (DeviceInfoData->cbSize != sizeof(SP_DEVINFO_DATA) || DeviceInfoData->Reserved == 0)
            return Fail(ERROR_INVALID_PARAMETER);
        device = FindEntry(*set, DeviceInfoData->Reserved);
        if (device == nullptr)
            return Fail(ERROR_INVALID_PARAMETER);
    }
    DWORD index = 0;
    for (const auto& entry : set->entries) {
        if (device != nullptr && entry.get() != device)
            continue;
        if (!SameGuid(entry->info.interfaceClass, *InterfaceClassGuid))
            continue;
        if (index++ != MemberIndex)
            continue;
        DeviceInterfaceData->InterfaceClassGuid = entry->info.interfaceClass;
        DeviceInterfaceData->Flags = entry->info.present ? SPINT_ACTIVE : 0;
        DeviceInterfaceData->Reserved = reinterpret_cast<ULONG_PTR>(entry.get());
        SetLastError(ERROR_SUCCESS);
        return TRUE;
    }
    return Fail(ERROR_NO_MORE_ITEMS);
}

BOOL WINAPI SetupDiGetDeviceInterfaceDetailA(
    HDEVINFO DeviceInfoSet, PSP_DEVICE_INTERFACE_DATA DeviceInterfaceData,
    PSP_DEVICE_INTERFACE_DETAIL_DATA_A DeviceInterfaceDetailData,
    DWORD DeviceInterfaceDetailDataSize, PDWORD RequiredSize, PSP_DEVINFO_DATA DeviceInfoData) {
    std::lock_guard<std::mutex> lock(Sets().mutex);
    auto* set = FindSetLocked(DeviceInfoSet);
    if (set == nullptr)
        return FALSE;
    if (DeviceInterfaceData == nullptr ||
        DeviceInterfaceData->cbSize != sizeof(SP_DEVICE_INTERFACE_DATA) ||
        DeviceInterfaceData->Reserved == 0)
        return Fail(ERROR_INVALID_PARAMETER);
    const InterfaceEntry* entry = FindEntry(*set, DeviceInterfaceData->Reserved);
    if (entry == nullptr)
        return Fail(ERROR_INVALID_PARAMETER); // an interface of another set
    if (DeviceInterfaceDetailData != nullptr &&
        DeviceInterfaceDetailData->cbSize != sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A))
        return Fail(ERROR_INVALID_USER_BUFFER);
    if (DeviceInterfaceDetailData == nullptr && DeviceInterfaceDetailDataSize != 0)
        return Fail(ERROR_INVALID_USER_BUFFER);
    DWORD needed = static_cast<DWORD>(offsetof(SP_DEVICE_INTERFACE_DETAIL_DATA_A, DevicePath) + 1 +
                                      entry->info.path.size());
    if (RequiredSize != nullptr)
        *RequiredSize = needed;
    if (DeviceInfoData != nullptr && DeviceInfoData->cbSize == sizeof(SP_DEVINFO_DATA))
        FillDevInfo(*entry, DeviceInfoData);
    if (DeviceInterfaceDetailDataSize < needed)
        return Fail(ERROR_INSUFFICIENT_BUFFER);
    std::memcpy(DeviceInterfaceDetailData->DevicePath, entry->info.path.c_str(),
                entry->info.path.size() + 1);
    SetLastError(ERROR_SUCCESS);
    return TRUE;
}

BOOL WINAPI SetupDiDestroyDeviceInfoList(HDEVINFO DeviceInfoSet) {
    std::lock_guard<std::mutex> lock(Sets().mutex);
    auto* set = FindSetLocked(DeviceInfoSet);
    if (set == nullptr)
        return FALSE;
    Sets().sets.erase(set);
    delete set;
    SetLastError(ERROR_SUCCESS);
    return TRUE;
}

} // extern "C"
