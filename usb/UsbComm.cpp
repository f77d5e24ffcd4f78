#include "stdafx.h"
#include "usb/UsbComm.h"

#include "design/KstFormat.h"
#include "usb/DriverInterface.h"

#include <dbt.h>
#include <setupapi.h>

// Pause between the steps of a command, in ms.
#define USBCOMM_PAUSE 700
// Pause between an accepted request and its data, in ms.
#define USBCOMM_DATA_PAUSE 10
// Attempts of the ready wait of a reception.
#define USBCOMM_READY_ATTEMPTS 60
// Status selectors.
#define USBCOMM_SELECT_STORE 1
#define USBCOMM_SELECT_DELETE 2
#define USBCOMM_SELECT_READY 3
// Status values of the store and delete selectors.
#define USBCOMM_STATUS_BUSY 2
#define USBCOMM_STATUS_FAILED 3
// Sub-status of a store after which the machine wants something again.
#define USBCOMM_SUBSTATUS_REQUEST 2
// Details written by the commands whose data phase fails.
#define USBCOMM_DETAIL_REGISTER 64
#define USBCOMM_DETAIL_RECEIVE 96
#define USBCOMM_DETAIL_FOLDER 97
#define USBCOMM_DETAIL_DELETE 128
// The longest path LoadDesignFile takes.
#define USBCOMM_MAX_FILE_PATH 259
// The largest service answer (its length is 16-bit).
#define USBCOMM_MAX_SERVICE_DATA 0xFFFF

namespace {

void PutWord(BYTE* p, WORD w) {
    p[0] = (BYTE)w;
    p[1] = (BYTE)(w >> 8);
}

void PutDword(BYTE* p, DWORD dw) {
    for (int i = 0; i < 4; ++i)
        p[i] = (BYTE)(dw >> (8 * i));
}

WORD GetWord(const BYTE* p) {
    return (WORD)(p[0] | (p[1] << 8));
}

DWORD GetDword(const BYTE* p) {
    return (DWORD)p[0] | ((DWORD)p[1] << 8) | ((DWORD)p[2] << 16) | ((DWORD)p[3] << 24);
}

void SetDetail(int* pnDetail, int nDetail) {
    if (pnDetail != NULL)
        *pnDetail = nDetail;
}

// The length of a name on the wire, its terminator counted; 0 when there is no name or it
// does not fit the 512-byte name block (more than 511 characters). Such names are refused
// with -7 before any request is sent.
WORD NameLength(LPCSTR lpszName) {
    if (lpszName == NULL)
        return 0;
    size_t nLength = strnlen(lpszName, USBCOMM_BLOCK_SIZE);
    if (nLength >= USBCOMM_BLOCK_SIZE)
        return 0;
    return (WORD)(nLength + 1);
}

// A zero-filled copy of dwLength bytes, its size raised to the next multiple of 512 (at least
// one byte is allocated, so that NULL always means no memory). NULL when the size does not fit
// 32 bits or memory cannot be had.
BYTE* Stage(const void* pData, DWORD dwLength, DWORD* pdwSize) {
    ULONGLONG nSize =
        ((ULONGLONG)dwLength + USBCOMM_BLOCK_SIZE - 1) / USBCOMM_BLOCK_SIZE * USBCOMM_BLOCK_SIZE;
    if (nSize > 0xFFFFFFFFull)
        return NULL;
    BYTE* pStaged = (BYTE*)calloc(nSize != 0 ? (size_t)nSize : 1, 1);
    if (pStaged == NULL)
        return NULL;
    if (dwLength != 0)
        memcpy(pStaged, pData, dwLength);
    *pdwSize = (DWORD)nSize;
    return pStaged;
}

// Whether the text after the path's last '.' is "kst", ignoring case.
BOOL HasDesignExtension(LPCSTR lpszPath) {
    LPCSTR pDot = strrchr(lpszPath, '.');
    return pDot != NULL && lstrcmpiA(pDot + 1, "kst") == 0;
}

} // namespace

// ------------------------------------------------------------------------------------------
// Port

CUsbComm::CUsbComm()
    : m_pPort(NULL), m_nRequestPending(0), m_hCancel(NULL), m_pReceiveBuffer(NULL) {
    memset(m_byRequestA, 0, sizeof(m_byRequestA));
    memset(m_byRequestB, 0, sizeof(m_byRequestB));
    memset(m_byReply, 0, sizeof(m_byReply));
    memset(&m_overlapped, 0, sizeof(m_overlapped));
}

CUsbComm::~CUsbComm() {
    ClosePort();
    DiscardReceived();
}

CString CUsbComm::GetDevicePath(const GUID& guid, DWORD dwIndex) {
    CString strPath;
    HDEVINFO hSet = SetupDiGetClassDevsA(&guid, NULL, NULL, DIGCF_PRESENT | DIGCF_DEVICEINTERFACE);
    if (hSet == INVALID_HANDLE_VALUE)
        return strPath;
    SP_DEVICE_INTERFACE_DATA data;
    memset(&data, 0, sizeof(data));
    data.cbSize = sizeof(data);
    DWORD dwNeeded = 0;
    if (SetupDiEnumDeviceInterfaces(hSet, NULL, &guid, dwIndex, &data) &&
        (SetupDiGetDeviceInterfaceDetailA(hSet, &data, NULL, 0, &dwNeeded, NULL) ||
         GetLastError() == ERROR_INSUFFICIENT_BUFFER) &&
        dwNeeded >= sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A)) {
        PSP_DEVICE_INTERFACE_DETAIL_DATA_A pDetail =
            (PSP_DEVICE_INTERFACE_DETAIL_DATA_A)malloc(dwNeeded);
        if (pDetail != NULL) {
            // The record's own size: 5 in the 32-bit library (the SDK packs it to one byte).
            pDetail->cbSize = sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A);
            if (SetupDiGetDeviceInterfaceDetailA(hSet, &data, pDetail, dwNeeded, NULL, NULL))
                strPath = pDetail->DevicePath;
            free(pDetail);
        }
    }
    SetupDiDestroyDeviceInfoList(hSet);
    return strPath;
}

int CUsbComm::OpenPort(HWND hWnd, CEvent* pCancel) {
    ClosePort();
    if (pCancel != NULL)
        m_hCancel = pCancel->m_hObject;

    CString strPath;
    for (DWORD dwIndex = 0; dwIndex < USBCOMM_MAX_INTERFACES && strPath.IsEmpty(); ++dwIndex)
        strPath = GetDevicePath(GUID_USBCOMM_INTERFACE, dwIndex);
    if (strPath.IsEmpty())
        return -17;

    USBCOMM_PORT* pPort = new USBCOMM_PORT;
    pPort->hNotify = NULL;
    pPort->hDevice =
        CreateFileA(strPath, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL,
                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OVERLAPPED, NULL);
    if (pPort->hDevice != INVALID_HANDLE_VALUE) {
        // Nothing acts on the notifications; the registration only has to succeed.
        DEV_BROADCAST_DEVICEINTERFACE_A filter;
        memset(&filter, 0, sizeof(filter));
        filter.dbcc_size = sizeof(filter);
        filter.dbcc_devicetype = DBT_DEVTYP_DEVICEINTERFACE;
        filter.dbcc_classguid = GUID_USBCOMM_INTERFACE;
        pPort->hNotify = RegisterDeviceNotificationA(hWnd, &filter, DEVICE_NOTIFY_WINDOW_HANDLE);
    }
    if (pPort->hDevice == INVALID_HANDLE_VALUE || pPort->hNotify == NULL) {
        if (pPort->hDevice != INVALID_HANDLE_VALUE)
            CloseHandle(pPort->hDevice);
        delete pPort;
        return -3;
    }
    pPort->strPath = strPath;
    m_pPort = pPort;
    memset(&m_overlapped, 0, sizeof(m_overlapped));
    m_overlapped.hEvent = CreateEventA(NULL, TRUE, FALSE, NULL);
    if (m_overlapped.hEvent == NULL) {
        ClosePort(); // no request could be waited for
        return -3;
    }
    return 0;
}

int CUsbComm::ClosePort() {
    if (m_pPort != NULL) {
        if (m_pPort->hDevice != INVALID_HANDLE_VALUE)
            CloseHandle(m_pPort->hDevice);
        UnregisterDeviceNotification(m_pPort->hNotify);
        m_pPort->strPath.Empty();
        delete m_pPort;
        m_pPort = NULL;
    }
    m_hCancel = NULL;
    if (m_overlapped.hEvent != NULL) {
        CloseHandle(m_overlapped.hEvent);
        m_overlapped.hEvent = NULL;
    }
    return 0;
}

// ------------------------------------------------------------------------------------------
// Receive buffer

BOOL CUsbComm::PrepareReceiveBuffer(DWORD dwSize) {
    if (dwSize == 0)
        return FALSE;
    DiscardReceived();
    m_pReceiveBuffer = new CMemFile(dwSize);
    return TRUE;
}

BYTE* CUsbComm::DetachReceived(DWORD* pdwLength) {
    if (pdwLength != NULL)
        *pdwLength = 0;
    if (m_pReceiveBuffer == NULL)
        return NULL;
    if (pdwLength != NULL)
        *pdwLength = (DWORD)m_pReceiveBuffer->GetLength();
    BYTE* pData = m_pReceiveBuffer->Detach();
    delete m_pReceiveBuffer;
    m_pReceiveBuffer = NULL;
    return pData;
}

void CUsbComm::DiscardReceived() {
    if (m_pReceiveBuffer == NULL)
        return;
    free(m_pReceiveBuffer->Detach());
    delete m_pReceiveBuffer;
    m_pReceiveBuffer = NULL;
}

// ------------------------------------------------------------------------------------------
// Exchanges

BOOL CUsbComm::FinishIo(BOOL bDone, DWORD* pdwMoved) {
    if (bDone)
        return TRUE;
    // A pending call is waited for without a time-out: a stalled driver blocks the caller.
    if (GetLastError() != ERROR_IO_PENDING || m_pPort == NULL)
        return FALSE;
    return GetOverlappedResult(m_pPort->hDevice, &m_overlapped, pdwMoved, TRUE);
}

BOOL CUsbComm::Control(DWORD dwCode, const BYTE* pbyRequest) {
    if (m_pPort == NULL)
        return FALSE;
    BYTE byRequest[USBCOMM_REQUEST_SIZE];
    memcpy(byRequest, pbyRequest, sizeof(byRequest));
    DWORD dwReturned = 0;
    return FinishIo(DeviceIoControl(m_pPort->hDevice, dwCode, byRequest, sizeof(byRequest),
                                    m_byReply, sizeof(m_byReply), &dwReturned, &m_overlapped),
                    &dwReturned);
}

BOOL CUsbComm::WriteBlocks(const BYTE* pBuffer, DWORD dwSize) {
    if (m_pPort == NULL)
        return FALSE;
    for (DWORD dwAt = 0; dwAt < dwSize; dwAt += USBCOMM_BLOCK_SIZE) {
        DWORD dwMoved = 0;
        if (!FinishIo(WriteFile(m_pPort->hDevice, pBuffer + dwAt, USBCOMM_BLOCK_SIZE, &dwMoved,
                                &m_overlapped),
                      &dwMoved) ||
            dwMoved > USBCOMM_BLOCK_SIZE)
            return FALSE;
    }
    return TRUE;
}

BOOL CUsbComm::CancelSignalled() const {
    return m_hCancel != NULL && WaitForSingleObject(m_hCancel, 0) == WAIT_OBJECT_0;
}

int CUsbComm::QueryStatus(BYTE bySelector, BYTE* pbySubStatus) {
    memset(m_byRequestB, 0, sizeof(m_byRequestB));
    memset(m_byReply, 0, sizeof(m_byReply));
    m_byRequestB[0] = bySelector;
    if (!Control(IOCTL_USBCOMM_STATUS, m_byRequestB))
        return -14;
    if (m_byReply[USBCOMM_REPLY_STATE] == USBCOMM_STATE_RUNNING)
        return -16;
    if (pbySubStatus != NULL)
        *pbySubStatus = m_byReply[USBCOMM_REPLY_SUBSTATUS];
    return m_byReply[USBCOMM_REPLY_ACK];
}

int CUsbComm::ReadStatus(BYTE bySelector, BYTE* pbySubStatus) {
    return QueryStatus(bySelector, pbySubStatus);
}

int CUsbComm::WaitStatus(BYTE bySelector, BYTE* pbySubStatus, DWORD dwInterval) {
    for (;;) {
        if (CancelSignalled())
            return -11;
        BYTE bySubStatus = 0;
        int nStatus = QueryStatus(bySelector, &bySubStatus);
        if (m_nRequestPending == 1) {
            bySubStatus = USBCOMM_SUBSTATUS_REQUEST;
            m_nRequestPending = 0;
        }
        if (pbySubStatus != NULL)
            *pbySubStatus = bySubStatus;
        if (bySubStatus != 0)
            return nStatus;
        Sleep(dwInterval);
        if (nStatus != 1)
            return nStatus;
    }
}

int CUsbComm::SendCommand(DWORD dwCode, WORD wMedium, WORD wLength, LPCSTR lpszName,
                          int* pnDetail) {
    // The name with its terminator must fit the one name block.
    if (lpszName == NULL || wLength == 0 || wLength > USBCOMM_BLOCK_SIZE)
        return -7;
    memset(m_byRequestA, 0, sizeof(m_byRequestA));
    memset(m_byReply, 0, sizeof(m_byReply));
    PutWord(m_byRequestA, wMedium);
    PutWord(m_byRequestA + 2, wLength);
    if (!Control(dwCode, m_byRequestA))
        return -14;
    if (m_byReply[USBCOMM_REPLY_ACK] == USBCOMM_REFUSED) {
        SetDetail(pnDetail, GetWord(m_byReply + USBCOMM_REPLY_DETAIL));
        return -12;
    }
    Sleep(USBCOMM_DATA_PAUSE);
    BYTE byBlock[USBCOMM_BLOCK_SIZE];
    memset(byBlock, 0, sizeof(byBlock));
    memcpy(byBlock, lpszName, strnlen(lpszName, wLength)); // never past the name's terminator
    return WriteBlocks(byBlock, sizeof(byBlock)) ? 0 : -4;
}

int CUsbComm::SendData(DWORD dwCode, const BYTE* pBuffer, DWORD dwSize, DWORD dwLength) {
    // Only whole blocks of a buffer the caller has are written.
    if (dwSize % USBCOMM_BLOCK_SIZE != 0 || (dwSize != 0 && pBuffer == NULL))
        return -5;
    memset(m_byRequestB, 0, sizeof(m_byRequestB));
    memset(m_byReply, 0, sizeof(m_byReply));
    if (dwCode == IOCTL_USBCOMM_SEND_DESIGN_DATA)
        PutDword(m_byRequestB, dwLength);
    else if (dwCode == IOCTL_USBCOMM_RENAME_DATA)
        PutWord(m_byRequestB + 2, (WORD)dwLength);
    if (!Control(dwCode, m_byRequestB))
        return -14;
    if (m_byReply[USBCOMM_REPLY_ACK] == USBCOMM_REFUSED)
        return -12;
    Sleep(USBCOMM_DATA_PAUSE);
    if (dwSize == 0)
        return 0;
    return WriteBlocks(pBuffer, dwSize) ? 0 : -5;
}

int CUsbComm::SendServiceData(const BYTE* pData, DWORD dwLength, int* pnDetail) {
    // The length travels as 16 bits: a longer answer is refused rather than cut.
    if (pData == NULL || dwLength == 0 || dwLength > USBCOMM_MAX_SERVICE_DATA)
        return -7;
    DWORD dwSize = 0;
    BYTE* pStaged = Stage(pData, dwLength, &dwSize);
    if (pStaged == NULL)
        return -7;
    memset(m_byRequestA, 0, sizeof(m_byRequestA));
    memset(m_byReply, 0, sizeof(m_byReply));
    PutWord(m_byRequestA + 2, (WORD)dwLength);
    int nResult = 0;
    if (!Control(IOCTL_USBCOMM_SERVICE_ANSWER, m_byRequestA)) {
        nResult = -14;
    } else if (m_byReply[USBCOMM_REPLY_ACK] == USBCOMM_REFUSED) {
        SetDetail(pnDetail, GetWord(m_byReply + USBCOMM_REPLY_DETAIL));
        nResult = -12;
    } else if (!WriteBlocks(pStaged, dwSize)) {
        nResult = -5;
    }
    free(pStaged);
    return nResult;
}

int CUsbComm::ReceiveData(DWORD dwCode, WORD wMedium) {
    // Every reception replaces the bytes of the one before, so that a failed or empty one
    // never leaves older bytes to be taken for its own.
    DiscardReceived();
    memset(m_byRequestB, 0, sizeof(m_byRequestB));
    if (dwCode == IOCTL_USBCOMM_READ_FOLDER_LIST) {
        PutWord(m_byRequestB, wMedium);
        m_byRequestB[2] = 1;
    }

    int nAttempt = 0;
    for (;;) {
        if (CancelSignalled())
            return -11;
        memset(m_byReply, 0, sizeof(m_byReply));
        if (!Control(dwCode, m_byRequestB))
            return -14;
        if (m_byReply[USBCOMM_REPLY_ACK] == USBCOMM_REFUSED)
            return -12;
        if (m_byReply[USBCOMM_REPLY_ACK] == USBCOMM_READY)
            break;
        Sleep(USBCOMM_PAUSE);
        if (++nAttempt == USBCOMM_READY_ATTEMPTS)
            return -1;
    }

    DWORD dwLength =
        (dwCode == IOCTL_USBCOMM_READ_FOLDER_LIST || dwCode == IOCTL_USBCOMM_SERVICE_REQUEST)
            ? GetWord(m_byReply + USBCOMM_REPLY_LENGTH16)
            : GetDword(m_byReply + USBCOMM_REPLY_LENGTH32);
    if (!PrepareReceiveBuffer(dwLength)) {
        if (CancelSignalled())
            return -11;
        return 0;
    }

    BYTE byBlock[USBCOMM_BLOCK_SIZE];
    for (DWORD dwLeft = dwLength; dwLeft > 0;) {
        const DWORD dwExpected = dwLeft < USBCOMM_BLOCK_SIZE ? dwLeft : USBCOMM_BLOCK_SIZE;
        DWORD dwMoved = 0;
        if (!FinishIo(ReadFile(m_pPort->hDevice, byBlock, sizeof(byBlock), &dwMoved, &m_overlapped),
                      &dwMoved) ||
            dwMoved < dwExpected || dwMoved > USBCOMM_BLOCK_SIZE) {
            DiscardReceived();
            return -4;
        }
        BOOL bStored = TRUE;
        TRY {
            m_pReceiveBuffer->Write(byBlock, dwExpected);
        }
        CATCH(CMemoryException, e) {
            bStored = FALSE; // the announced length could not be had
        }
        END_CATCH
        if (!bStored) {
            DiscardReceived();
            return -7;
        }
        dwLeft -= dwExpected;
    }

    // The data always finishes; a cancel seen now throws it away.
    if (CancelSignalled()) {
        DiscardReceived();
        return -11;
    }
    return 0;
}

// ------------------------------------------------------------------------------------------
// Commands

int CUsbComm::ChangeDirectory(WORD wMedium, LPCSTR lpszPath, int* pnDetail) {
    int nResult =
        SendCommand(IOCTL_USBCOMM_CHANGE_FOLDER, wMedium, NameLength(lpszPath), lpszPath, pnDetail);
    if (nResult != 0)
        SetDetail(pnDetail, USBCOMM_DETAIL_FOLDER);
    return nResult;
}

int CUsbComm::ReadDirectory(WORD wMedium) {
    return ReceiveData(IOCTL_USBCOMM_READ_FOLDER_LIST, wMedium);
}

int CUsbComm::WaitStored(BOOL bReadSubStatus) {
    for (;;) {
        if (CancelSignalled())
            return -11;
        Sleep(USBCOMM_PAUSE);
        BYTE bySubStatus = 0;
        int nStatus = QueryStatus(USBCOMM_SELECT_STORE, bReadSubStatus ? &bySubStatus : NULL);
        if (nStatus < 0)
            return nStatus;
        if (nStatus == USBCOMM_STATUS_BUSY)
            continue;
        if (nStatus == USBCOMM_STATUS_FAILED)
            return -13;
        // The machine wants something once the store is done: the next WaitStatus says so.
        if (bySubStatus == USBCOMM_SUBSTATUS_REQUEST)
            m_nRequestPending = 1;
        return 0;
    }
}

int CUsbComm::SendStaged(WORD wMedium, LPCSTR lpszName, const BYTE* pStaged, DWORD dwSize,
                         DWORD dwLength, BOOL bReadyWait, int* pnDetail) {
    int nResult = SendCommand(IOCTL_USBCOMM_SEND_DESIGN_NAME, wMedium, NameLength(lpszName),
                              lpszName, pnDetail);
    if (nResult != 0)
        return nResult;
    Sleep(USBCOMM_PAUSE);
    if (bReadyWait) {
        // The ready wait ends on a negative status (with that code) and on the cancel event
        // (with -11), so that a failing device or a machine that never becomes ready does not
        // keep the caller waiting for ever. The cancel event is tested only before waiting
        // again.
        for (;;) {
            int nStatus = QueryStatus(USBCOMM_SELECT_READY);
            if (nStatus == 1)
                break;
            if (nStatus < 0)
                return nStatus;
            if (CancelSignalled())
                return -11;
            Sleep(USBCOMM_PAUSE);
        }
    }
    nResult = SendData(IOCTL_USBCOMM_SEND_DESIGN_DATA, pStaged, dwSize, dwLength);
    if (nResult != 0) {
        SetDetail(pnDetail, USBCOMM_DETAIL_REGISTER);
        return nResult;
    }
    return WaitStored(bReadyWait);
}

int CUsbComm::SendDesign(WORD wMedium, LPCSTR lpszName, const BYTE* pData, DWORD dwLength,
                         int* pnDetail) {
    if (NameLength(lpszName) == 0 || (pData == NULL && dwLength != 0))
        return -7;
    DWORD dwSize = 0;
    BYTE* pStaged = Stage(pData, dwLength, &dwSize);
    if (pStaged == NULL)
        return -7;
    int nResult = SendStaged(wMedium, lpszName, pStaged, dwSize, dwLength, TRUE, pnDetail);
    free(pStaged);
    return nResult;
}

int CUsbComm::LoadDesignFile(LPCSTR lpszPath) {
    if (lpszPath == NULL || !HasDesignExtension(lpszPath))
        return -15;

    CFile file;
    CFileException error;
    BOOL bOpened;
    if (strlen(lpszPath) > USBCOMM_MAX_FILE_PATH) {
        error.m_cause = CFileException::badPath;
        error.m_strFileName = lpszPath;
        bOpened = FALSE;
    } else {
        bOpened = file.Open(lpszPath, CFile::modeRead | CFile::shareDenyNone, &error);
    }
    if (!bOpened) {
        char szError[512];
        if (!error.GetErrorMessage(szError, sizeof(szError)))
            szError[0] = '\0';
        CString strMessage(szError);
        strMessage += "\n";
        // A plain box with the application's title, owned by the caller's active window (none
        // on a worker thread).
        MessageBoxA(GetActiveWindow(), strMessage, AfxGetAppName(), MB_OK);
        return -8;
    }

    int nResult = 0;
    BYTE* pData = NULL;
    TRY {
        const ULONGLONG nLength = file.GetLength();
        if (nLength == 0) {
            nResult = -8;
        } else if (nLength > 0xFFFFFFFFull || (pData = (BYTE*)malloc((size_t)nLength)) == NULL) {
            nResult = -7;
        } else if (file.Read(pData, (UINT)nLength) != nLength) {
            nResult = -9;
        } else {
            // The structural check without upper bounds; the file must also hold the whole
            // stitch data that the header announces.
            const ULONGLONG nProper = nLength < KST_HEADER_SIZE ? 0
                                                                : (ULONGLONG)GetDword(pData) +
                                                                      2ull * GetDword(pData + 28);
            if (nProper == 0 || !KstCheckStructure(pData, (size_t)nLength, FALSE, NULL) ||
                nProper > nLength) {
                nResult = -15;
            } else if (!PrepareReceiveBuffer((DWORD)nProper)) {
                nResult = -7;
            } else {
                // Bytes after the stitch data (a trailer) are not sent.
                m_pReceiveBuffer->Write(pData, (UINT)nProper);
            }
        }
    }
    CATCH(CMemoryException, e) {
        DiscardReceived();
        nResult = -7;
    }
    AND_CATCH(CFileException, e) {
        nResult = -9;
    }
    END_CATCH
    free(pData);
    file.Abort();
    return nResult;
}

// The file is loaded before the name is looked at: a name that does not fit is refused by the
// name command (-7), after the file's own failures and its message.
int CUsbComm::SendDesignFile(WORD wMedium, LPCSTR lpszName, LPCSTR lpszPath, int* pnDetail) {
    int nResult = LoadDesignFile(lpszPath);
    if (nResult != 0)
        return nResult;
    DWORD dwLength = 0;
    BYTE* pData = DetachReceived(&dwLength);
    if (pData == NULL || dwLength == 0) {
        free(pData);
        return -8;
    }
    DWORD dwSize = 0;
    BYTE* pStaged = Stage(pData, dwLength, &dwSize);
    free(pData);
    if (pStaged == NULL)
        return -7;
    nResult = SendStaged(wMedium, lpszName, pStaged, dwSize, dwLength, FALSE, pnDetail);
    free(pStaged);
    return nResult;
}

int CUsbComm::ReceiveDesign(WORD wMedium, LPCSTR lpszName, int* pnDetail) {
    int nResult = SendCommand(IOCTL_USBCOMM_RECEIVE_DESIGN_NAME, wMedium, NameLength(lpszName),
                              lpszName, pnDetail);
    if (nResult != 0)
        return nResult;
    Sleep(USBCOMM_PAUSE);
    return ReceiveData(IOCTL_USBCOMM_RECEIVE_DESIGN_DATA, 0);
}

int CUsbComm::ReceiveDesignFile(WORD wMedium, LPCSTR lpszName, LPCSTR lpszPath, int* pnDetail) {
    if (lpszPath == NULL)
        return -8;
    int nResult = SendCommand(IOCTL_USBCOMM_RECEIVE_DESIGN_NAME, wMedium, NameLength(lpszName),
                              lpszName, pnDetail);
    if (nResult != 0)
        return nResult;
    Sleep(USBCOMM_PAUSE);
    nResult = ReceiveData(IOCTL_USBCOMM_RECEIVE_DESIGN_DATA, 0);
    if (nResult != 0) {
        SetDetail(pnDetail, USBCOMM_DETAIL_RECEIVE);
        return nResult;
    }

    // A reception announced with length 0 leaves no bytes: the file is written empty.
    DWORD dwLength = 0;
    BYTE* pData = DetachReceived(&dwLength);
    HANDLE hFile =
        CreateFileA(lpszPath, GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
    if (hFile == INVALID_HANDLE_VALUE) {
        free(pData);
        return -8;
    }
    DWORD dwWritten = 0;
    BOOL bWritten = WriteFile(hFile, pData, dwLength, &dwWritten, NULL);
    FlushFileBuffers(hFile);
    CloseHandle(hFile);
    free(pData);
    return bWritten && dwWritten >= dwLength ? 0 : -10;
}

int CUsbComm::DeleteDesign(WORD wMedium, LPCSTR lpszName, int* pnDetail) {
    int nResult =
        SendCommand(IOCTL_USBCOMM_DELETE_NAME, wMedium, NameLength(lpszName), lpszName, pnDetail);
    if (nResult != 0)
        return nResult;
    Sleep(USBCOMM_PAUSE);
    if (CancelSignalled())
        return -11;
    memset(m_byRequestB, 0, sizeof(m_byRequestB));
    memset(m_byReply, 0, sizeof(m_byReply));
    if (!Control(IOCTL_USBCOMM_DELETE_START, m_byRequestB))
        return -14;
    if (m_byReply[USBCOMM_REPLY_ACK] == USBCOMM_REFUSED) {
        SetDetail(pnDetail, USBCOMM_DETAIL_DELETE);
        return -12;
    }
    for (;;) {
        if (CancelSignalled())
            return -11;
        Sleep(USBCOMM_PAUSE);
        int nStatus = QueryStatus(USBCOMM_SELECT_DELETE);
        if (nStatus < 0)
            return nStatus;
        if (nStatus == USBCOMM_STATUS_BUSY)
            continue;
        if (nStatus == USBCOMM_STATUS_FAILED) {
            SetDetail(pnDetail, USBCOMM_DETAIL_DELETE);
            return -12;
        }
        return 0;
    }
}

int CUsbComm::RenameDesign(WORD wMedium, LPCSTR lpszOldName, LPCSTR lpszNewName, int* pnDetail) {
    const WORD wNewLength = NameLength(lpszNewName);
    if (wNewLength == 0 || NameLength(lpszOldName) == 0)
        return -7;
    DWORD dwSize = 0;
    BYTE* pStaged = Stage(lpszNewName, wNewLength, &dwSize);
    if (pStaged == NULL)
        return -7;
    int nResult = SendCommand(IOCTL_USBCOMM_RENAME_NAME, wMedium, NameLength(lpszOldName),
                              lpszOldName, pnDetail);
    if (nResult == 0) {
        Sleep(USBCOMM_PAUSE);
        nResult = SendData(IOCTL_USBCOMM_RENAME_DATA, pStaged, dwSize, wNewLength);
        if (nResult != 0)
            SetDetail(pnDetail, USBCOMM_DETAIL_REGISTER);
    }
    free(pStaged);
    return nResult;
}

int CUsbComm::FolderCommand(WORD wMedium, LPCSTR lpszPath, LPCSTR lpszName, WORD wMode,
                            int* pnDetail) {
    // Deleting sends no name; the other modes send the new folder name.
    const BOOL bName = wMode != folderDelete;
    const WORD wNameLength = bName ? NameLength(lpszName) : 0;
    if ((bName && wNameLength == 0) || NameLength(lpszPath) == 0)
        return -7;
    DWORD dwSize = 0;
    BYTE* pStaged = NULL;
    if (bName && (pStaged = Stage(lpszName, wNameLength, &dwSize)) == NULL)
        return -7;

    int nResult = SendCommand(IOCTL_USBCOMM_FOLDER_COMMAND_NAME, wMedium, NameLength(lpszPath),
                              lpszPath, pnDetail);
    if (nResult == 0) {
        Sleep(USBCOMM_PAUSE);
        memset(m_byRequestB, 0, sizeof(m_byRequestB));
        memset(m_byReply, 0, sizeof(m_byReply));
        PutWord(m_byRequestB, wMode);
        PutWord(m_byRequestB + 2, wNameLength);
        if (!Control(IOCTL_USBCOMM_FOLDER_COMMAND_DATA, m_byRequestB)) {
            nResult = -14;
        } else if (m_byReply[USBCOMM_REPLY_ACK] == USBCOMM_REFUSED) {
            SetDetail(pnDetail, bName ? USBCOMM_DETAIL_REGISTER : USBCOMM_DETAIL_DELETE);
            nResult = -12;
        } else if (bName && !WriteBlocks(pStaged, dwSize)) {
            nResult = -5;
        }
    }
    free(pStaged);
    return nResult;
}

int CUsbComm::ReadServiceRequest() {
    return ReceiveData(IOCTL_USBCOMM_SERVICE_REQUEST, 0);
}
