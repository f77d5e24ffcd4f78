// Device notifications: RegisterDeviceNotificationA and UnregisterDeviceNotification. A
// registration is a record of the window and the filter; nothing in the system acts on the
// notifications, so none are posted.
#include "device_internal.h"

#include <windows.h>
#include <dbt.h>

#include <mutex>
#include <set>

namespace {

struct Registration {
    HANDLE recipient;
    DEV_BROADCAST_DEVICEINTERFACE_A filter;
};

struct RegistrationTable {
    std::mutex mutex;
    std::set<Registration*> registrations;
};

RegistrationTable& Registrations() {
    static RegistrationTable* table = new RegistrationTable;
    return *table;
}

bool IsRecipientWindow(HANDLE recipient) {
    return IsWindow(static_cast<HWND>(recipient)) != FALSE;
}

} // namespace

using emu::internal::Fail;

extern "C" {

HDEVNOTIFY WINAPI RegisterDeviceNotificationA(HANDLE hRecipient, LPVOID NotificationFilter,
                                              DWORD Flags) {
    if ((Flags & ~DEVICE_NOTIFY_ALL_INTERFACE_CLASSES) != DEVICE_NOTIFY_WINDOW_HANDLE) {
        Fail(ERROR_INVALID_PARAMETER); // only windows receive notifications here
        return nullptr;
    }
    if (!IsRecipientWindow(hRecipient)) {
        Fail(ERROR_INVALID_WINDOW_HANDLE);
        return nullptr;
    }
    if (NotificationFilter == nullptr) {
        Fail(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    auto* header = static_cast<const DEV_BROADCAST_HDR*>(NotificationFilter);
    if (header->dbch_size < sizeof(DEV_BROADCAST_HDR) ||
        header->dbch_devicetype != DBT_DEVTYP_DEVICEINTERFACE ||
        header->dbch_size < sizeof(DEV_BROADCAST_DEVICEINTERFACE_A)) {
        Fail(ERROR_INVALID_DATA);
        return nullptr;
    }
    auto* registration = new Registration{
        hRecipient, *static_cast<const DEV_BROADCAST_DEVICEINTERFACE_A*>(NotificationFilter)};
    std::lock_guard<std::mutex> lock(Registrations().mutex);
    Registrations().registrations.insert(registration);
    SetLastError(ERROR_SUCCESS);
    return registration;
}

BOOL WINAPI UnregisterDeviceNotification(HDEVNOTIFY Handle) {
    std::lock_guard<std::mutex> lock(Registrations().mutex);
    auto* registration = static_cast<Registration*>(Handle);
    if (Registrations().registrations.erase(registration) == 0)
        return Fail(ERROR_INVALID_HANDLE);
    delete registration;
    SetLastError(ERROR_SUCCESS);
    return TRUE;
}

} // extern "C"
