#include "stdafx.h"
#include "command/Com.h"

#include "command/FolderInfo.h"
#include "usb/CommError.h"

CCom::CCom(HWND hOwner, CEvent* pCancelEvent)
    : m_nFolderInfoSize(0), m_hOwner(hOwner), m_pCancelEvent(pCancelEvent), m_pBuffer(NULL),
      m_nBufferSize(0) {}

CCom::CCom(const CCom& other)
    : m_nFolderInfoSize(0), m_hOwner(NULL), m_pCancelEvent(NULL), m_pBuffer(NULL),
      m_nBufferSize(0) {
    CopyFrom(other);
}

CCom& CCom::operator=(const CCom& other) {
    if (this != &other) {
        m_comm.ClosePort();
        m_comm.DiscardReceived();
        ReleaseBuffer();
        CopyFrom(other);
    }
    return *this;
}

CCom::~CCom() {
    ReleaseBuffer();
}

void CCom::ReleaseBuffer() {
    free(m_pBuffer);
    m_pBuffer = NULL;
    m_nBufferSize = 0;
}

// Takes everything but the port and the received bytes; the result buffer is duplicated, or
// left empty when memory for it cannot be had.
void CCom::CopyFrom(const CCom& other) {
    m_nFolderInfoSize = other.m_nFolderInfoSize;
    m_strSavedFolder = other.m_strSavedFolder;
    m_strCurrentFolder = other.m_strCurrentFolder;
    m_hOwner = other.m_hOwner;
    m_pCancelEvent = other.m_pCancelEvent;
    if (other.m_pBuffer != NULL && other.m_nBufferSize > 0) {
        m_pBuffer = static_cast<BYTE*>(malloc(other.m_nBufferSize));
        if (m_pBuffer != NULL) {
            memcpy(m_pBuffer, other.m_pBuffer, other.m_nBufferSize);
            m_nBufferSize = other.m_nBufferSize;
        }
    }
}

int CCom::GetStatus(BYTE bySelector) {
    int nCode = m_comm.OpenPort(m_hOwner, NULL);
    if (nCode == 0) {
        nCode = m_comm.ReadStatus(bySelector);
        if (nCode > 0)
            nCode = 0;
    }
    if (nCode < 0)
        ShowCommError(m_hOwner, nCode, "Status", 0);
    m_comm.ClosePort();
    return nCode;
}

template <class Transfer> int CCom::OpenAndTransfer(LPCSTR pszTitle, Transfer transfer) {
    for (;;) {
        int nDetail = 0;
        int nCode = m_comm.OpenPort(m_hOwner, m_pCancelEvent);
        if (nCode == 0)
            nCode = transfer(&nDetail);
        if (nCode == 0)
            return 0;
        if (ShowCommError(m_hOwner, nCode, pszTitle, nDetail) != IDRETRY) {
            m_comm.ClosePort();
            return nCode;
        }
        if (m_pCancelEvent != NULL)
            m_pCancelEvent->ResetEvent();
    }
}

int CCom::DirectDownload(unsigned char* pData, unsigned long nLength, char* pszName,
                         unsigned short wMedium) {
    const int nCode = OpenAndTransfer("Sending", [&](int* pnDetail) {
        return m_comm.SendDesign(wMedium, pszName, pData, static_cast<DWORD>(nLength), pnDetail);
    });
    m_comm.ClosePort();
    return nCode;
}

unsigned char* CCom::DirectUpload(unsigned short wMedium, char* pszName, unsigned int* pnLength) {
    const int nCode = OpenAndTransfer("Receiving", [&](int* pnDetail) {
        return m_comm.ReceiveDesign(wMedium, pszName, pnDetail);
    });
    if (nCode != 0)
        return NULL;
    ReleaseBuffer();
    DWORD dwLength = 0;
    m_pBuffer = m_comm.DetachReceived(&dwLength);
    if (m_pBuffer != NULL) {
        m_nBufferSize = dwLength;
        if (pnLength != NULL)
            *pnLength = dwLength;
    }
    m_comm.ClosePort();
    return m_pBuffer;
}

BYTE* CCom::SetFolderInfo(char* pszFolder) {
    return ListFolder(pszFolder);
}

BYTE* CCom::ListFolder(LPCSTR pszFolder) {
    const CString strFolder(pszFolder != NULL ? pszFolder : "");
    ReleaseBuffer();
    m_strCurrentFolder = strFolder;
    UINT nSize = 0;
    m_pBuffer = FolderInfoBuild(m_strCurrentFolder, &nSize);
    if (m_pBuffer != NULL) {
        m_nBufferSize = nSize;
        m_nFolderInfoSize = nSize;
    }
    return m_pBuffer;
}
