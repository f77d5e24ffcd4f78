// IsConnectRX4400: the host's test whether a machine is connected.
#include "stdafx.h"
#include "frame/VantelPrintUsb.h"
#include "usb/DriverInterface.h"

#include <setupapi.h>

namespace {

// Opens the device of the driver's interface at dwIndex as the transport opens it; an invalid
// handle when there is none or it cannot be opened.
HANDLE OpenInterface(DWORD dwIndex) {
    HDEVINFO hDevInfo = SetupDiGetClassDevsA(&GUID_USBCOMM_INTERFACE, NULL, NULL,
                                             DIGCF_PRESENT | DIGCF_DEVICEINTERFACE);
    if (hDevInfo == INVALID_HANDLE_VALUE)
        return INVALID_HANDLE_VALUE;

    SP_DEVICE_INTERFACE_DATA interfaceData;
    memset(&interfaceData, 0, sizeof(interfaceData));
    interfaceData.cbSize = sizeof(SP_DEVICE_INTERFACE_DATA);
    if (!SetupDiEnumDeviceInterfaces(hDevInfo, NULL, &GUID_USBCOMM_INTERFACE, dwIndex,
                                     &interfaceData)) {
        SetupDiDestroyDeviceInfoList(hDevInfo);
        return INVALID_HANDLE_VALUE;
    }

    DWORD dwRequired = 0;
    SetupDiGetDeviceInterfaceDetailA(hDevInfo, &interfaceData, NULL, 0, &dwRequired, NULL);
    PSP_DEVICE_INTERFACE_DETAIL_DATA_A pDetail =
        dwRequired >= sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A)
            ? static_cast<PSP_DEVICE_INTERFACE_DETAIL_DATA_A>(malloc(dwRequired))
            : NULL;
    if (pDetail == NULL) {
        SetupDiDestroyDeviceInfoList(hDevInfo);
        return INVALID_HANDLE_VALUE;
    }
    // The size of the record's fixed part: 5 on a 32-bit build, 8 on a 64-bit one.
    pDetail->cbSize = sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A);
    HANDLE hDevice = INVALID_HANDLE_VALUE;
    if (SetupDiGetDeviceInterfaceDetailA(hDevInfo, &interfaceData, pDetail, dwRequired, NULL, NULL))
        hDevice = CreateFileA(pDetail->DevicePath, GENERIC_READ | GENERIC_WRITE,
                              FILE_SHARE_READ | FILE_SHARE_WRITE, NULL, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OVERLAPPED, NULL);
    free(pDetail);
    SetupDiDestroyDeviceInfoList(hDevInfo);
    return hDevice;
}

} // namespace

extern "C" AFX_EXT_API bool IsConnectRX4400() {
    for (DWORD dwIndex = 0; dwIndex < USBCOMM_MAX_INTERFACES; ++dwIndex) {
        HANDLE hDevice = OpenInterface(dwIndex);
        if (hDevice != INVALID_HANDLE_VALUE) {
            CloseHandle(hDevice);
            return true;
        }
    }
    return false;
}
