// Device setup (setupapi): the device interfaces present under an interface class, as the
// SDK's setupapi.h declares them. The SDK packs these records to 1 byte on 32-bit builds and
// to 8 on 64-bit ones; so does this header, and cbSize is checked against the sizes below.
#pragma once

#include "windef.h"

#if UINTPTR_MAX > 0xFFFFFFFFu
#pragma pack(push, 8)
#define VANTEL_SETUPAPI_64 1
#else
#pragma pack(push, 1)
#define VANTEL_SETUPAPI_64 0
#endif

#ifdef __cplusplus
extern "C" {
#endif

#ifndef ANYSIZE_ARRAY
#define ANYSIZE_ARRAY 1
#endif

typedef PVOID HDEVINFO;

#define DIGCF_DEFAULT 0x00000001
#define DIGCF_PRESENT 0x00000002
#define DIGCF_ALLCLASSES 0x00000004
#define DIGCF_PROFILE 0x00000008
#define DIGCF_DEVICEINTERFACE 0x00000010

#define SPINT_ACTIVE 0x00000001
#define SPINT_DEFAULT 0x00000002
#define SPINT_REMOVED 0x00000004

typedef struct _SP_DEVINFO_DATA {
    DWORD cbSize;
    GUID ClassGuid;
    DWORD DevInst;
    ULONG_PTR Reserved;
} SP_DEVINFO_DATA, *PSP_DEVINFO_DATA;

typedef struct _SP_DEVICE_INTERFACE_DATA {
    DWORD cbSize;
    GUID InterfaceClassGuid;
    DWORD Flags;
    ULONG_PTR Reserved;
} SP_DEVICE_INTERFACE_DATA, *PSP_DEVICE_INTERFACE_DATA;

typedef struct _SP_DEVICE_INTERFACE_DETAIL_DATA_A {
    DWORD cbSize;
    CHAR DevicePath[ANYSIZE_ARRAY];
} SP_DEVICE_INTERFACE_DETAIL_DATA_A, *PSP_DEVICE_INTERFACE_DETAIL_DATA_A;
typedef SP_DEVICE_INTERFACE_DETAIL_DATA_A SP_DEVICE_INTERFACE_DETAIL_DATA;
typedef PSP_DEVICE_INTERFACE_DETAIL_DATA_A PSP_DEVICE_INTERFACE_DETAIL_DATA;

HDEVINFO WINAPI SetupDiGetClassDevsA(const GUID* ClassGuid, PCSTR Enumerator, HWND hwndParent,
                                     DWORD Flags);
BOOL WINAPI SetupDiEnumDeviceInterfaces(HDEVINFO DeviceInfoSet, PSP_DEVINFO_DATA DeviceInfoData,
                                        const GUID* InterfaceClassGuid, DWORD MemberIndex,
                                        PSP_DEVICE_INTERFACE_DATA DeviceInterfaceData);
BOOL WINAPI SetupDiGetDeviceInterfaceDetailA(
    HDEVINFO DeviceInfoSet, PSP_DEVICE_INTERFACE_DATA DeviceInterfaceData,
    PSP_DEVICE_INTERFACE_DETAIL_DATA_A DeviceInterfaceDetailData,
    DWORD DeviceInterfaceDetailDataSize, PDWORD RequiredSize, PSP_DEVINFO_DATA DeviceInfoData);
BOOL WINAPI SetupDiDestroyDeviceInfoList(HDEVINFO DeviceInfoSet);

#define SetupDiGetClassDevs SetupDiGetClassDevsA
#define SetupDiGetDeviceInterfaceDetail SetupDiGetDeviceInterfaceDetailA

#ifdef __cplusplus
}
#endif

#pragma pack(pop)

#if VANTEL_SETUPAPI_64
static_assert(sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A) == 8, "setupapi layout, 64-bit");
static_assert(sizeof(SP_DEVINFO_DATA) == 32, "setupapi layout, 64-bit");
static_assert(sizeof(SP_DEVICE_INTERFACE_DATA) == 32, "setupapi layout, 64-bit");
#else
static_assert(sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A) == 5, "setupapi layout, 32-bit");
static_assert(sizeof(SP_DEVINFO_DATA) == 28, "setupapi layout, 32-bit");
static_assert(sizeof(SP_DEVICE_INTERFACE_DATA) == 28, "setupapi layout, 32-bit");
#endif
