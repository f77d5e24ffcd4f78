// CCom: the host's dialog-free way to the machine. It checks the machine's status, sends one
// design held in memory, receives one design into memory, lists a PC folder in the layout of
// the folder-information blob, and serves the machine's operator from a PC folder
// (StatusLoop). Every member opens the port at its start and closes it before it returns, on
// every path; a failure is shown once through ShowCommError with the member's own title
// ("Status", "Sending", "Receiving") and its code returned. A cancelled transfer shows nothing.
//
// Copies: a copy never shares the port, the received bytes or the result buffer with its
// source. It gets a transport of its own (closed, nothing received) and its own copy of the
// result buffer; the two folder strings, the owner window, the cancel event (still borrowed)
// and the blob size are copied.
//
// One object is used by one thread at a time; the cancel event may be set from any thread.
#pragma once

#include "stdafx.h"
#include "usb/UsbComm.h"

// Medium and machine-side name of the transfers that the machine drives from its panel.
#define COM_SERVICE_MEDIUM 4
#define COM_SERVICE_NAME "dummy"

// Poll intervals and pauses of the service loop, in ms.
#define COM_POLL_IDLE 2000    // at the start of a connection, and after request 2
#define COM_POLL_BROWSING 400 // after request 1
#define COM_PAUSE_LEFT_BROWSING 3000
#define COM_PAUSE_RECONNECT 2000

// Service requests: the sub-status of a status reply.
#define COM_REQUEST_REMEMBER 1
#define COM_REQUEST_LIST_REMEMBERED 2
#define COM_REQUEST_SEND_LIST 3
#define COM_REQUEST_OPEN_ENTRY 4
#define COM_REQUEST_STORE_DESIGN 5

class AFX_EXT_CLASS CCom {
public:
    // hOwner owns the message boxes and takes the device notifications of every open;
    // pCancelEvent (borrowed, may be NULL) stops waits and transfers.
    CCom(HWND hOwner, CEvent* pCancelEvent);
    CCom(const CCom& other);
    CCom& operator=(const CCom& other);
    ~CCom();

    // Whether the machine answers and is not running: 0 or a negative code ("Status").
    int GetStatus(BYTE bySelector);
    // Sends one design of nLength bytes to the medium under the machine-side name: 0 or a
    // negative code ("Sending"; -11 when cancelled, without a message).
    int DirectDownload(unsigned char* pData, unsigned long nLength, char* pszName,
                       unsigned short wMedium);
    // Receives one design from the medium; its length goes to *pnLength. Returns the bytes,
    // which stay owned by this object until its next DirectUpload or SetFolderInfo or its
    // destruction; NULL on failure ("Receiving"), when cancelled (no message), or when the
    // machine sent no bytes (*pnLength then untouched).
    unsigned char* DirectUpload(unsigned short wMedium, char* pszName, unsigned int* pnLength);
    // Lists the PC folder as a folder-information blob, which becomes the result buffer (owned
    // by this object) and the current folder; its byte size goes to m_nFolderInfoSize. NULL
    // when memory for it cannot be had (the result buffer is then empty).
    BYTE* SetFolderInfo(char* pszFolder);
    // Serves the machine's requests from the PC until the cancel event is set (0) or a
    // request fails (its negative code, shown with "Status"). The selector is passed to every
    // status poll.
    int StatusLoop(BYTE bySelector);

    // Fields, in this order.
    UINT m_nFolderInfoSize;     // byte size of the blob last built by SetFolderInfo; 0 before
    CString m_strSavedFolder;   // the folder the service loop remembered (request 1)
    CString m_strCurrentFolder; // the folder last listed by SetFolderInfo
    CUsbComm m_comm;
    HWND m_hOwner;
    CEvent* m_pCancelEvent;
    BYTE* m_pBuffer; // the result buffer (malloc), or NULL

private:
    // Bytes in m_pBuffer: the blob's size, or the received design's length.
    UINT m_nBufferSize;

    void ReleaseBuffer();
    void CopyFrom(const CCom& other);

    // The service loop's requests; each yields 0 or a negative code.
    int ServeRequest(BYTE byRequest, DWORD* pdwInterval);
    int SendFolderInfo();
    int OpenEntry();
    int StoreDesign();
    // Reads the argument of a service request: 0 or the reception's code. *pbName tells
    // whether its bytes make a single entry name (bParentAllowed: ".." may be given).
    int ReadServiceName(CString& strName, BOOL bParentAllowed, BOOL* pbName);
    // Opens the port and runs one transfer; a failure is shown with the title (and its
    // refusal detail), and a Retry answer runs both again with the cancel request forgotten.
    // On failure the port is closed and the code returned; on success it stays open.
    // The transfer is called with a pointer to the detail and returns a result code.
    template <class Transfer> int OpenAndTransfer(LPCSTR pszTitle, Transfer transfer);
    // SetFolderInfo for a folder given as constant text (which may be one of the folder
    // strings of this object).
    BYTE* ListFolder(LPCSTR pszFolder);
};
