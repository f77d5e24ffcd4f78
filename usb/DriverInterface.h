// The interface of the machine's kernel USB driver: its device-interface class, the control
// codes, the layout of the request and reply blocks and the size of a data block. Every
// number the transport puts on the wire or reads from it is named here.
#pragma once

#include <windows.h>
#include <winioctl.h>

// Device-interface class of the driver {AC9E08A8-9BEE-4CA2-9159-669A02F2C97E}.
static const GUID GUID_USBCOMM_INTERFACE = {
    0xAC9E08A8, 0x9BEE, 0x4CA2, {0x91, 0x59, 0x66, 0x9A, 0x02, 0xF2, 0xC9, 0x7E}};

// Interface indexes tried when looking for the device; the first one found is used.
#define USBCOMM_MAX_INTERFACES 127

// Control codes: device type 0x8000, buffered, any access. Typed as DeviceIoControl takes them
// (CTL_CODE itself gives an int).
#define USBCOMM_CTL(function)                                                                      \
    ((DWORD)CTL_CODE(0x8000, (function), METHOD_BUFFERED, FILE_ANY_ACCESS))

#define IOCTL_USBCOMM_STATUS USBCOMM_CTL(0x801)              // 0x80002004
#define IOCTL_USBCOMM_CHANGE_FOLDER USBCOMM_CTL(0x803)       // 0x8000200C
#define IOCTL_USBCOMM_READ_FOLDER_LIST USBCOMM_CTL(0x804)    // 0x80002010
#define IOCTL_USBCOMM_SEND_DESIGN_NAME USBCOMM_CTL(0x805)    // 0x80002014
#define IOCTL_USBCOMM_SEND_DESIGN_DATA USBCOMM_CTL(0x806)    // 0x80002018
#define IOCTL_USBCOMM_RECEIVE_DESIGN_NAME USBCOMM_CTL(0x807) // 0x8000201C
#define IOCTL_USBCOMM_RECEIVE_DESIGN_DATA USBCOMM_CTL(0x808) // 0x80002020
#define IOCTL_USBCOMM_DELETE_NAME USBCOMM_CTL(0x809)         // 0x80002024
#define IOCTL_USBCOMM_DELETE_START USBCOMM_CTL(0x80A)        // 0x80002028
#define IOCTL_USBCOMM_RENAME_NAME USBCOMM_CTL(0x80B)         // 0x8000202C
#define IOCTL_USBCOMM_RENAME_DATA USBCOMM_CTL(0x80C)         // 0x80002030
#define IOCTL_USBCOMM_FOLDER_COMMAND_NAME USBCOMM_CTL(0x80D) // 0x80002034
#define IOCTL_USBCOMM_FOLDER_COMMAND_DATA USBCOMM_CTL(0x80E) // 0x80002038
#define IOCTL_USBCOMM_SERVICE_ANSWER USBCOMM_CTL(0x881)      // 0x80002204
#define IOCTL_USBCOMM_SERVICE_REQUEST USBCOMM_CTL(0x882)     // 0x80002208

// Sizes of the request block, the reply block and a data block.
#define USBCOMM_REQUEST_SIZE 4
#define USBCOMM_REPLY_SIZE 8
#define USBCOMM_BLOCK_SIZE 512

// Reply block: byte 0 acknowledgement or status (0 = refused), bytes 2-3 refusal detail,
// byte 4 machine state, byte 5 sub-status, bytes 6-7 a 16-bit length, bytes 4-7 a 32-bit
// length. All values little-endian.
#define USBCOMM_REPLY_ACK 0
#define USBCOMM_REPLY_DETAIL 2
#define USBCOMM_REPLY_STATE 4
#define USBCOMM_REPLY_SUBSTATUS 5
#define USBCOMM_REPLY_LENGTH16 6
#define USBCOMM_REPLY_LENGTH32 4

#define USBCOMM_REFUSED 0       // reply byte 0 of a refused request
#define USBCOMM_READY 1         // reply byte 0 of a read request whose data is ready
#define USBCOMM_STATE_RUNNING 2 // reply byte 4 while the machine is running
