// Device I/O control, overlapped results and cancellation (kernel32), as the SDK's
// ioapiset.h declares them. windows.h includes this header.
#pragma once

#include "windef.h"
#include "winbase.h"

#ifdef __cplusplus
extern "C" {
#endif

BOOL WINAPI DeviceIoControl(HANDLE hDevice, DWORD dwIoControlCode, LPVOID lpInBuffer,
                            DWORD nInBufferSize, LPVOID lpOutBuffer, DWORD nOutBufferSize,
                            LPDWORD lpBytesReturned, LPOVERLAPPED lpOverlapped);
BOOL WINAPI GetOverlappedResult(HANDLE hFile, LPOVERLAPPED lpOverlapped,
                                LPDWORD lpNumberOfBytesTransferred, BOOL bWait);
// Cancels the I/O that the calling thread issued on the handle.
BOOL WINAPI CancelIo(HANDLE hFile);
// Cancels one operation (lpOverlapped != NULL) or every operation on the handle, whichever
// thread issued it.
BOOL WINAPI CancelIoEx(HANDLE hFile, LPOVERLAPPED lpOverlapped);

#ifndef HasOverlappedIoCompleted
#define HasOverlappedIoCompleted(lpOverlapped) (((DWORD)(lpOverlapped)->Internal) != STATUS_PENDING)
#endif

#ifdef __cplusplus
}
#endif
