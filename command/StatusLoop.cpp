// The service loop: the PC as a file server for the machine's operator. The loop polls the
// machine's status; each request the machine raises (the sub-status of a status reply) is
// served from the PC folder the machine looks at, and the polling goes on. Disconnection, a
// missing driver, a running machine and every other status failure only make the loop connect
// again every 2000 ms, silently; the loop ends when the cancel event is set (0) or when a
// request fails (its code, shown with the title "Status").
#include "stdafx.h"
#include "command/Com.h"

#include "command/FolderInfo.h"
#include "command/ServiceName.h"
#include "usb/CommError.h"

namespace {

BOOL Signalled(CEvent* pEvent) {
    return pEvent != NULL && ::WaitForSingleObject(*pEvent, 0) == WAIT_OBJECT_0;
}

} // namespace

int CCom::StatusLoop(BYTE bySelector) {
    for (;;) {
        DWORD dwInterval = COM_POLL_IDLE;
        if (m_comm.OpenPort(m_hOwner, m_pCancelEvent) != 0) {
            const BOOL bCancelled = Signalled(m_pCancelEvent);
            ::Sleep(COM_PAUSE_RECONNECT);
            if (bCancelled)
                break;
            continue;
        }
        int nStatus = 1;
        while (nStatus == 1) {
            BYTE bySubStatus = 0;
            nStatus = m_comm.WaitStatus(bySelector, &bySubStatus, dwInterval);
            if (nStatus != 1) {
                if (dwInterval == COM_POLL_BROWSING)
                    ::Sleep(COM_PAUSE_LEFT_BROWSING);
                break;
            }
            if (bySubStatus == 0 || bySubStatus > COM_REQUEST_STORE_DESIGN)
                continue;
            const int nCode = ServeRequest(bySubStatus, &dwInterval);
            if (nCode < 0) {
                ShowCommError(m_hOwner, nCode, "Status", 0);
                m_comm.ClosePort();
                return nCode;
            }
        }
        if (nStatus == USBCOMM_ERR_CANCELLED)
            break;
    }
    m_comm.ClosePort();
    return 0;
}

int CCom::ServeRequest(BYTE byRequest, DWORD* pdwInterval) {
    switch (byRequest) {
    case COM_REQUEST_REMEMBER:
        m_strSavedFolder = m_strCurrentFolder;
        *pdwInterval = COM_POLL_BROWSING;
        return 0;
    case COM_REQUEST_LIST_REMEMBERED: {
        *pdwInterval = COM_POLL_IDLE;
        ListFolder(m_strSavedFolder);
        return 0;
    }
    case COM_REQUEST_SEND_LIST:
        return SendFolderInfo();
    case COM_REQUEST_OPEN_ENTRY:
        return OpenEntry();
    case COM_REQUEST_STORE_DESIGN:
        return StoreDesign();
    default:
        return 0;
    }
}

// Sends the current blob as a service answer. Its length is a 16-bit quantity: a larger blob
// is sent cut to the whole records that fit, with its count and size adjusted.
int CCom::SendFolderInfo() {
    int nDetail = 0;
    UINT nSize = m_nFolderInfoSize < m_nBufferSize ? m_nFolderInfoSize : m_nBufferSize;
    if (m_pBuffer == NULL || nSize <= FOLDERINFO_MAX_SERVICE_SIZE)
        return m_comm.SendServiceData(m_pBuffer, m_pBuffer != NULL ? nSize : 0, &nDetail);
    DWORD dwCount = 0;
    nSize = FolderInfoFit(m_pBuffer, nSize, FOLDERINFO_MAX_SERVICE_SIZE, &dwCount);
    BYTE* pCut = static_cast<BYTE*>(malloc(nSize > 0 ? nSize : 1));
    if (pCut == NULL || nSize < FOLDERINFO_COUNT_SIZE) {
        free(pCut);
        return USBCOMM_ERR_MEMORY;
    }
    memcpy(pCut, m_pBuffer, nSize);
    for (int i = 0; i < 4; ++i)
        pCut[i] = static_cast<BYTE>(dwCount >> (8 * i));
    const int nCode = m_comm.SendServiceData(pCut, nSize, &nDetail);
    free(pCut);
    return nCode;
}

int CCom::ReadServiceName(CString& strName, BOOL bParentAllowed, BOOL* pbName) {
    *pbName = FALSE;
    const int nCode = m_comm.ReadServiceRequest();
    if (nCode != 0)
        return nCode;
    DWORD dwLength = 0;
    BYTE* pBytes = m_comm.DetachReceived(&dwLength);
    *pbName = ComServiceEntryName(pBytes, dwLength, bParentAllowed, strName);
    free(pBytes);
    return 0;
}

// Request 4: the machine opens an entry of the current folder. A folder (or "..") becomes the
// current folder and its blob is sent at once; a file is sent as the design to sew, whatever
// its length (the machine judges it). A file that cannot be opened or read sends nothing: the
// current folder goes back to the remembered one and "Read error" is shown.
int CCom::OpenEntry() {
    CString strName;
    BOOL bName = FALSE;
    const int nCode = ReadServiceName(strName, TRUE, &bName);
    if (nCode != 0)
        return nCode;

    CString strFolder;
    BOOL bFolder = FALSE;
    if (bName && strName == COM_PARENT_NAME) {
        strFolder = ComParentFolder(m_strCurrentFolder);
        bFolder = TRUE;
    } else if (bName) {
        strFolder.Format("%s\\%s", m_strCurrentFolder.GetString(), strName.GetString());
        CString strPattern;
        strPattern.Format("%s\\*.*", m_strCurrentFolder.GetString());
        CFileFind finder;
        BOOL bMore = finder.FindFile(strPattern);
        while (bMore) {
            bMore = finder.FindNextFile();
            // Byte for byte: a name differing in letter case is not this entry.
            if (!finder.IsDots() && finder.GetFileName() == strName) {
                bFolder = finder.IsDirectory();
                break;
            }
        }
    }
    if (bFolder) {
        ListFolder(strFolder);
        return SendFolderInfo();
    }

    BYTE* pData = NULL;
    UINT nLength = 0;
    BOOL bRead = FALSE;
    if (bName) {
        CFile file;
        if (file.Open(strFolder, CFile::modeRead | CFile::shareDenyWrite | CFile::typeBinary)) {
            TRY {
                // The file's length, read into a zero-filled buffer of that length: an empty
                // file is sent empty, and what a short read leaves unread stays zero.
                const ULONGLONG nFileLength = file.GetLength();
                if (nFileLength <= 0xFFFFFFFFull) {
                    nLength = static_cast<UINT>(nFileLength);
                    pData = static_cast<BYTE*>(calloc(1, nLength > 0 ? nLength : 1));
                    if (pData == NULL) {
                        file.Abort();
                        return USBCOMM_ERR_MEMORY;
                    }
                    file.Read(pData, nLength);
                    bRead = TRUE;
                }
            }
            CATCH(CFileException, e) {
                bRead = FALSE;
            }
            END_CATCH
            file.Abort();
        }
    }
    if (!bRead) {
        free(pData);
        ListFolder(m_strSavedFolder);
        AfxMessageBox("Read error", MB_OK);
        return 0;
    }
    int nDetail = 0;
    const int nSent = m_comm.SendDesign(COM_SERVICE_MEDIUM, strName, pData, nLength, &nDetail);
    free(pData);
    return nSent;
}

// Request 5: the machine stores its sewing design into the current folder under the name it
// sends. A file that cannot be created receives nothing and ends the request without a
// message; a failed reception leaves the file empty; a failed write gives -10.
int CCom::StoreDesign() {
    CString strName;
    BOOL bName = FALSE;
    const int nCode = ReadServiceName(strName, FALSE, &bName);
    if (nCode != 0 || !bName)
        return nCode;
    CString strPath;
    strPath.Format("%s\\%s", m_strCurrentFolder.GetString(), strName.GetString());
    CFile file;
    if (!file.Open(strPath, CFile::modeCreate | CFile::modeWrite | CFile::shareExclusive |
                                CFile::typeBinary))
        return 0;
    int nDetail = 0;
    int nReceived = m_comm.ReceiveDesign(COM_SERVICE_MEDIUM, COM_SERVICE_NAME, &nDetail);
    DWORD dwLength = 0;
    BYTE* pBytes = m_comm.DetachReceived(&dwLength);
    if (pBytes != NULL) {
        TRY {
            file.Write(pBytes, dwLength);
            file.Close();
        }
        CATCH(CFileException, e) {
            nReceived = USBCOMM_ERR_FILE_WRITE;
        }
        END_CATCH
        free(pBytes);
    }
    file.Abort();
    return nReceived;
}
