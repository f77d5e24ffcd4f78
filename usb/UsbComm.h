// The transport object: finds the machine's driver interface, opens and closes the port, runs
// the exchanges of the link (status, name commands, data sends, receptions) and, built on them,
// the commands of the machine's protocol. Every function returns a result code: 0 for success,
// a negative code for a failure (see the table below). Nothing here shows a message except the
// file-open failure of LoadDesignFile.
//
// Result codes:
//    0 success                      -1 a reception was not ready after 60 attempts
//   -3 the port cannot be opened    -4 a reception failed or a name block cannot be written
//   -5 a data block cannot be written
//   -7 no memory; no data for a service answer; a name that does not fit its 512-byte block
//   -8 a PC file cannot be opened or created, or is empty
//   -9 a PC file cannot be read completely
//  -10 a received design cannot be written completely to a PC file
//  -11 cancelled                   -12 refused by the machine (see the detail)
//  -13 the machine rejected a sent design
//  -14 a control request failed    -15 a design file failed validation or is not ".kst"
//  -16 the machine is running      -17 no device interface of the driver
//
// Details (the int that accompanies -12): the machine's own value from its reply (33 when the
// machine is running), or the value a command writes when its data phase fails: 64 registering
// a design or name, 96 receiving into a PC file, 97 changing folder, 128 deleting. Every
// pnDetail may be NULL.
//
// One object serves one thread at a time and carries out one exchange at a time. The port is
// opened at the start of an operation and closed at its end; the commands neither open, close
// nor retry.
#pragma once

#include "stdafx.h"

// The open port: the device handle, the notification registration and the device path.
struct USBCOMM_PORT {
    HANDLE hDevice;
    HDEVNOTIFY hNotify;
    CString strPath;
};

class CUsbComm {
public:
    CUsbComm();
    ~CUsbComm(); // ClosePort, then DiscardReceived

    // ---- Port ----
    // The device path of the interface at dwIndex (0-based) of the class; empty when there is
    // none.
    CString GetDevicePath(const GUID& guid, DWORD dwIndex);
    // Closes an open port, finds the first present interface of the driver and opens it,
    // registering hWnd for its device notifications. pCancel (may be NULL: waits that can
    // never be cancelled) is borrowed until ClosePort. 0, -17 (no interface), -3 (the device
    // cannot be opened or hWnd not registered).
    int OpenPort(HWND hWnd, CEvent* pCancel);
    // Closes the port and forgets the cancel event. Always 0.
    int ClosePort();
    BOOL IsOpen() const { return m_pPort != NULL; }

    // ---- Receive buffer ----
    // Replaces the receive buffer with an empty one that grows by dwSize at a time (one
    // allocation for a reception of dwSize bytes). 0 gives FALSE and keeps the current one.
    BOOL PrepareReceiveBuffer(DWORD dwSize);
    // Hands the received bytes to the caller, who releases them with free(); NULL when there is
    // no buffer or it is empty. *pdwLength (if given) receives their number (0 with NULL).
    BYTE* DetachReceived(DWORD* pdwLength = NULL);
    void DiscardReceived();

    // ---- Exchanges ----
    // Finishes a control request, read or write on the port: bDone is what the call returned;
    // a pending call is waited for (without a time-out) and *pdwMoved receives its bytes.
    BOOL FinishIo(BOOL bDone, DWORD* pdwMoved);
    // One status query with the selector: the status byte (0-255), -14, or -16 while the
    // machine is running. *pbySubStatus (if given) receives the sub-status.
    int QueryStatus(BYTE bySelector, BYTE* pbySubStatus = NULL);
    int ReadStatus(BYTE bySelector, BYTE* pbySubStatus = NULL);
    // Polls the status every dwInterval ms while it is 1 and the machine asks for nothing
    // (sub-status 0). Returns the status with its sub-status as soon as either changes, or
    // -14, -16, -11. A request left pending by SendDesign is reported as sub-status 2 at once.
    int WaitStatus(BYTE bySelector, BYTE* pbySubStatus, DWORD dwInterval);
    // A name command: the request (medium, name length with its terminator) and one
    // zero-padded block holding the name. 0, -7 (wLength 0 or over 512, or no name), -12, -14,
    // -4.
    int SendCommand(DWORD dwCode, WORD wMedium, WORD wLength, LPCSTR lpszName, int* pnDetail);
    // A data request with the data length, then dwSize bytes (a multiple of 512) in 512-byte
    // blocks. 0, -12 (no detail read), -14, -5.
    int SendData(DWORD dwCode, const BYTE* pBuffer, DWORD dwSize, DWORD dwLength);
    // A service answer of 1 to 65,535 bytes. 0, -7, -12, -14, -5.
    int SendServiceData(const BYTE* pData, DWORD dwLength, int* pnDetail);
    // A reception: waits for the data to be ready (60 attempts, 700 ms apart), then reads the
    // announced bytes into the receive buffer. 0, -1, -4, -7, -11, -12, -14.
    int ReceiveData(DWORD dwCode, WORD wMedium);

    // ---- Commands ----
    // Makes a folder of the medium current. 0, -4, -7, -12, -14; detail 97 on any failure.
    int ChangeDirectory(WORD wMedium, LPCSTR lpszPath, int* pnDetail);
    // Reads the folder-information blob of the current folder into the receive buffer.
    int ReadDirectory(WORD wMedium);
    // Sends a design held in memory and waits until the machine has stored it.
    // 0, -4, -5, -7, -11, -12, -13, -14, -16.
    int SendDesign(WORD wMedium, LPCSTR lpszName, const BYTE* pData, DWORD dwLength, int* pnDetail);
    // Reads a ".kst" file, checks it and leaves the design proper (without trailing bytes) in
    // the receive buffer. 0, -7, -8, -9, -15; shows a message box when the file cannot be
    // opened.
    int LoadDesignFile(LPCSTR lpszPath);
    // LoadDesignFile, then sends the design as SendDesign does (without the ready wait).
    int SendDesignFile(WORD wMedium, LPCSTR lpszName, LPCSTR lpszPath, int* pnDetail);
    // Receives a design into the receive buffer. 0, -1, -4, -7, -11, -12, -14.
    int ReceiveDesign(WORD wMedium, LPCSTR lpszName, int* pnDetail);
    // Receives a design into a PC file (replaced if it exists). As ReceiveDesign (detail 96
    // when the reception fails), and -8, -10.
    int ReceiveDesignFile(WORD wMedium, LPCSTR lpszName, LPCSTR lpszPath, int* pnDetail);
    // Deletes a design and waits until it is gone. 0, -4, -7, -11, -12, -14, -16.
    int DeleteDesign(WORD wMedium, LPCSTR lpszName, int* pnDetail);
    // Renames a design within its folder. 0, -4, -5, -7, -12, -14.
    int RenameDesign(WORD wMedium, LPCSTR lpszOldName, LPCSTR lpszNewName, int* pnDetail);
    // Folder commands: wMode 1 creates lpszName in the folder lpszPath, 2 renames the folder
    // lpszPath to lpszName, 3 deletes the folder lpszPath (lpszName not used, may be NULL).
    // 0, -4, -5, -7, -12, -14.
    int FolderCommand(WORD wMedium, LPCSTR lpszPath, LPCSTR lpszName, WORD wMode, int* pnDetail);
    // Reads the argument of the machine's service request into the receive buffer.
    int ReadServiceRequest();

    // Folder-command modes.
    enum { folderCreate = 1, folderRename = 2, folderDelete = 3 };

protected:
    // One control request with the given request block; the reply lands in m_byReply.
    BOOL Control(DWORD dwCode, const BYTE* pbyRequest);
    // Writes dwSize bytes (a multiple of 512) in 512-byte blocks; FALSE when a write fails or
    // reports more than 512 bytes.
    BOOL WriteBlocks(const BYTE* pBuffer, DWORD dwSize);
    BOOL CancelSignalled() const;
    // The storing wait after a design's data: -11, a negative status, -13, or 0.
    int WaitStored(BOOL bReadSubStatus);
    // The name and data of a design send, the data held in the staging buffer.
    int SendStaged(WORD wMedium, LPCSTR lpszName, const BYTE* pStaged, DWORD dwSize, DWORD dwLength,
                   BOOL bReadyWait, int* pnDetail);

    // Fields, in this order.
    USBCOMM_PORT* m_pPort;      // the open port; NULL while closed
    int m_nRequestPending;      // 1: a send ended with sub-status 2; consumed by WaitStatus
    HANDLE m_hCancel;           // the caller's cancel event (borrowed), or NULL
    BYTE m_byRequestA[4];       // request form A: parameter, byte count
    BYTE m_byRequestB[4];       // request form B
    BYTE m_byReply[8];          // the reply of the last control request
    OVERLAPPED m_overlapped;    // every request, read and write on the port
    CMemFile* m_pReceiveBuffer; // the bytes of the last reception, or NULL

private:
    CUsbComm(const CUsbComm&);
    CUsbComm& operator=(const CUsbComm&);
};
