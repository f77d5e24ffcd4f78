#include "stdafx.h"

#include "dialogs/browser/DesignSelectDlg.h"

#include "command/FileInfo.h"
#include "command/FolderInfo.h"
#include "dialogs/browser/IntormationDlg.h"
#include "dialogs/transfer/ReceiveDlg.h"

#include <new>

namespace {

const char kRoot[] = "EMB";
const int kCompanionKind = 6;       // the kind the machine gives a design with a companion
const BYTE kCompanionHoopCode = 26; // the design's hoop-code low byte that takes a companion
const size_t kHoopCodeOffset = 32;

// The text from the last "." to the end (the whole name without one), and the text before it
// (empty without one), both in lower case.
CString LowerExtension(const CString& strName) {
    const int nDot = strName.ReverseFind('.');
    CString strExt = nDot < 0 ? strName : strName.Mid(nDot);
    strExt.MakeLower();
    return strExt;
}

CString BaseName(const CString& strName) {
    const int nDot = strName.ReverseFind('.');
    return nDot < 0 ? CString() : strName.Left(nDot);
}

CString LowerBaseName(const CString& strName) {
    CString strBase = BaseName(strName);
    strBase.MakeLower();
    return strBase;
}

} // namespace

IMPLEMENT_DYNAMIC(CDesignSelectDlg, CDialog)

BEGIN_MESSAGE_MAP(CDesignSelectDlg, CDialog)
ON_BN_CLICKED(IDC_BUILTIN_BTN, &CDesignSelectDlg::OnBuiltIn)
ON_BN_CLICKED(IDC_ATACARD_BTN, &CDesignSelectDlg::OnAtaCard)
ON_BN_CLICKED(IDC_USBMEMORY_BTN, &CDesignSelectDlg::OnUsbMemory)
ON_BN_CLICKED(IDC_OPEN_BTN, &CDesignSelectDlg::OnOpen)
ON_NOTIFY(NM_DBLCLK, IDC_DESIGN_LIST, &CDesignSelectDlg::OnDblclkList)
ON_NOTIFY(NM_CLICK, IDC_DESIGN_LIST, &CDesignSelectDlg::OnClickList)
ON_BN_CLICKED(IDC_RZONLY_CHECK, &CDesignSelectDlg::OnRzOnly)
END_MESSAGE_MAP()

CDesignSelectDlg::CDesignSelectDlg(DWORD nMedium, BYTE bShowAll, CWnd* pParent)
    : CDialog(CDesignSelectDlg::IDD, pParent), m_bRzOnly(FALSE), m_nDepth(0), m_nMedium(nMedium),
      m_bShowAll(bShowAll), m_pDesignData(NULL), m_pCompanionData(NULL), m_nDesignSize(0),
      m_nCompanionSize(0) {}

CDesignSelectDlg::~CDesignSelectDlg() {
    ClearItems();
    delete[] m_pDesignData;
    delete[] m_pCompanionData;
}

void CDesignSelectDlg::ClearItems() {
    for (FOLDERITEM* pItem : m_items)
        delete pItem;
    for (FOLDERITEM* pItem : m_companions)
        delete pItem;
    m_items.clear();
    m_companions.clear();
}

void CDesignSelectDlg::DoDataExchange(CDataExchange* pDX) {
    CDialog::DoDataExchange(pDX);
    DDX_Control(pDX, IDC_DESIGN_LIST, m_list);
    DDX_Text(pDX, IDC_FOLDER_LABEL, m_strFolderLabel);
    DDX_Control(pDX, IDOK, m_btnReceive);
    DDX_Control(pDX, IDC_OPEN_BTN, m_btnOpen);
    DDX_Check(pDX, IDC_RZONLY_CHECK, m_bRzOnly);
}

BOOL CDesignSelectDlg::OnInitDialog() {
    CDialog::OnInitDialog();
    // Bitmap 9008: 13 images of 16 by 16, black as the mask colour.
    m_imageList.Create(DESIGN_IMAGE_SIZE, DESIGN_IMAGE_SIZE, ILC_COLOR24, DESIGN_IMAGE_COUNT, 100);
    if (m_bitmap.LoadBitmap(IDB_DESIGN_IMAGES))
        m_imageList.Add(&m_bitmap, RGB(0, 0, 0));
    m_list.SetImageList(&m_imageList, LVSIL_SMALL);
    m_bRzOnly = m_bShowAll == 0 ? TRUE : FALSE;
    SelectMedium(m_nMedium);
    UpdateData(FALSE);
    return TRUE;
}

void CDesignSelectDlg::OnBuiltIn() {
    SelectMedium(1);
}

void CDesignSelectDlg::OnAtaCard() {
    SelectMedium(2);
}

void CDesignSelectDlg::OnUsbMemory() {
    SelectMedium(3);
}

BOOL CDesignSelectDlg::SelectMedium(DWORD nMedium) {
    CString strPath;
    strPath.Format("\\%s\\", kRoot);
    {
        CIntormationDlg folderList(static_cast<WORD>(nMedium), strPath, this);
        folderList.DoModal(); // a failure has been shown: the root is then empty
        m_strCurPath.Format("\\%s", kRoot);
        m_strCurFolder = kRoot;
        m_nDepth = 0;
        FillItems(folderList.GetFileCount(), folderList.GetFolderInfo());
    }
    static const char* const kLabels[] = {"Built-in:", "ATA Card:", "USB Memory:"};
    if (nMedium < 1 || nMedium > 3)
        return FALSE;
    m_strFolderLabel = kLabels[nMedium - 1];
    m_nMedium = nMedium;
    UpdateButtons();
    UpdateData(FALSE);
    return TRUE;
}

void CDesignSelectDlg::FillItems(int nCount, const BYTE* pRecord) {
    if (m_strCurPath.IsEmpty())
        return;
    const CString strRelative = m_strCurPath.Mid(1);
    m_list.DeleteAllItems();
    ClearItems();
    for (int i = 0; i < nCount && pRecord != NULL; ++i) {
        FOLDERITEM* pItem = new (std::nothrow) FOLDERITEM;
        if (pItem == NULL) {
            MessageBox("Short of memory space.", "Error", MB_ICONHAND);
            return;
        }
        // Whole records only: the folder-list dialog hands on no other.
        FOLDERINFO_RECORD record;
        pRecord = FolderInfoRead(pRecord, &record);
        pItem->dwLength = record.dwLength;
        pItem->nKind = record.nKind;
        pItem->nWidth = record.nWidth;
        pItem->nHeight = record.nHeight;
        pItem->strName = record.strName;

        std::vector<FOLDERITEM*>* pTarget = NULL;
        if (pItem->nKind == FOLDERINFO_KIND_FOLDER) {
            if (m_nDepth == 0)
                pTarget = &m_items;
        } else if (!(m_nDepth == 0 && strRelative == kRoot)) {
            const CString strExt = LowerExtension(pItem->strName);
            if (strExt == ".kst" || strExt == ".kst+")
                pTarget = &m_items;
            else if (strExt == ".rzf")
                pTarget = &m_companions;
        }
        if (pTarget != NULL)
            pTarget->push_back(pItem);
        else
            delete pItem;
    }
    ShowItems();
}

void CDesignSelectDlg::ShowItems() {
    m_list.SendMessage(WM_SETREDRAW, FALSE, 0);
    int nIndex = 0;
    for (const FOLDERITEM* pItem : m_items) {
        int nImage = DESIGN_IMAGE_FOLDER;
        if (pItem->nKind != FOLDERINFO_KIND_FOLDER) {
            if (m_bShowAll == 0 &&
                !(pItem->nKind == kCompanionKind && HasCompanion(pItem->strName)))
                continue;
            nImage = LowerExtension(pItem->strName) == ".kst+" ? DESIGN_IMAGE_EXTENDED
                                                               : DESIGN_IMAGE_PLAIN;
        }
        m_list.InsertItem(LVIF_TEXT | LVIF_IMAGE | LVIF_PARAM, nIndex++, pItem->strName, 0, 0,
                          nImage, 0);
    }
    m_list.Sort(0, 0);
    m_list.SendMessage(WM_SETREDRAW, TRUE, 0);
}

BOOL CDesignSelectDlg::HasCompanion(LPCSTR lpszName) {
    const CString strBase = LowerBaseName(lpszName);
    for (const FOLDERITEM* pCompanion : m_companions) {
        if (LowerBaseName(pCompanion->strName) == strBase)
            return TRUE;
    }
    return FALSE;
}

BOOL CDesignSelectDlg::IsFolderItem(int nIndex) {
    LVITEMA item = {};
    item.mask = LVIF_IMAGE;
    item.iItem = nIndex;
    return m_list.GetItem(&item) && item.iImage == DESIGN_IMAGE_FOLDER;
}

int CDesignSelectDlg::SelectedEntry() {
    return m_list.GetNextItem(-1, LVNI_SELECTED);
}

void CDesignSelectDlg::UpdateButtons() {
    const int nSelected = SelectedEntry();
    if (m_nDepth == 0) {
        m_btnOpen.SetWindowText("Open");
        m_btnOpen.EnableWindow(nSelected >= 0 && IsFolderItem(nSelected));
    } else {
        m_btnOpen.SetWindowText("Up");
        m_btnOpen.EnableWindow(TRUE);
    }
    m_btnReceive.EnableWindow(nSelected >= 0 && !IsFolderItem(nSelected));
}

void CDesignSelectDlg::OnDblclkList(NMHDR* /*pNMHDR*/, LRESULT* pResult) {
    OpenFolder();
    *pResult = 0;
}

void CDesignSelectDlg::OnClickList(NMHDR* /*pNMHDR*/, LRESULT* pResult) {
    UpdateButtons();
    *pResult = 0;
}

void CDesignSelectDlg::OpenFolder() {
    const int nSelected = SelectedEntry();
    if (nSelected < 0 || !IsFolderItem(nSelected))
        return;
    const CString strName = m_list.GetItemText(nSelected, 0);
    const CString strPath = m_strCurPath + "\\" + strName;
    CIntormationDlg folderList(static_cast<WORD>(m_nMedium), strPath, NULL);
    if (folderList.DoModal() != IDOK) {
        m_list.DeleteAllItems();
        UpdateButtons();
        return;
    }
    m_strCurPath = strPath;
    m_strCurFolder = strName;
    ++m_nDepth;
    FillItems(folderList.GetFileCount(), folderList.GetFolderInfo());
    if (m_strFolderLabel.Right(1) != ":")
        m_strFolderLabel += "\\";
    m_strFolderLabel += m_strCurFolder;
    UpdateButtons();
    UpdateData(FALSE);
}

void CDesignSelectDlg::OnOpen() {
    if (m_nDepth == 0) {
        OpenFolder();
        return;
    }
    const int nCut = m_strCurPath.ReverseFind('\\');
    const CString strParent = nCut < 0 ? CString() : m_strCurPath.Left(nCut);
    const int nName = strParent.ReverseFind('\\');
    const CString strParentName =
        nName < 0 || strParent.GetLength() < 3 ? CString() : strParent.Mid(nName + 1);
    CIntormationDlg folderList(static_cast<WORD>(m_nMedium), strParent, NULL);
    if (folderList.DoModal() != IDOK)
        return;
    m_strCurPath = strParent;
    m_strCurFolder = strParentName;
    --m_nDepth;
    FillItems(folderList.GetFileCount(), folderList.GetFolderInfo());
    const int nBackslash = m_strFolderLabel.ReverseFind('\\');
    if (nBackslash >= 0)
        m_strFolderLabel = m_strFolderLabel.Left(nBackslash);
    else
        m_strFolderLabel = m_strFolderLabel.Left(m_strFolderLabel.ReverseFind(':') + 1);
    UpdateButtons();
    UpdateData(FALSE);
}

void CDesignSelectDlg::OnRzOnly() {
    UpdateData(TRUE);
    m_bShowAll = m_bRzOnly == 0 ? 1 : 0;
    m_list.DeleteAllItems();
    ShowItems();
}

void CDesignSelectDlg::OnOK() {
    const int nSelected = SelectedEntry();
    if (nSelected < 0 || IsFolderItem(nSelected))
        return;
    const CString strName = m_list.GetItemText(nSelected, 0);
    char szTemp[MAX_PATH] = {};
    ::GetTempPathA(MAX_PATH, szTemp);

    // The receive list: the design, its companion when it has one, and an empty record.
    const BOOL bCompanion = HasCompanion(strName);
    const int nCount = bCompanion ? 2 : 1;
    FILEINFO* pList = new (std::nothrow) FILEINFO[nCount + 1];
    if (pList == NULL)
        return;
    memset(pList, 0, sizeof(FILEINFO) * (nCount + 1));
    CString strPath;
    strPath.Format("%s\\%s", static_cast<LPCSTR>(m_strCurPath), static_cast<LPCSTR>(strName));
    FileInfoSet(&pList[0], strPath);
    if (bCompanion) {
        strPath.Format("%s\\%s.rzf", static_cast<LPCSTR>(m_strCurPath),
                       static_cast<LPCSTR>(BaseName(strName)));
        FileInfoSet(&pList[1], strPath);
    }
    int nReceived = 0;
    {
        CReceiveDlg receive(pList, nCount, static_cast<WORD>(m_nMedium), szTemp, &nReceived, NULL);
        receive.DoModal();
    }
    delete[] pList;
    if (nReceived <= 0) {
        CDialog::OnOK(); // nothing new: the host gets what the members hold
        return;
    }

    m_strDesignName = strName;
    const int nDot = strName.ReverseFind('.');
    CString strDesignFile;
    strDesignFile.Format("%s%s", szTemp,
                         static_cast<LPCSTR>("temp" + (nDot < 0 ? CString() : strName.Mid(nDot))));
    BYTE* pDesign = NULL;
    DWORD nDesignSize = 0;
    const int nDesign = ReadReceived(strDesignFile, &pDesign, &nDesignSize);
    if (nDesign < 0) {
        DeleteTempFiles(strDesignFile, bCompanion);
        return; // no memory: the user may try again
    }
    if (nDesign == 0) {
        // The received file cannot be opened: there is no design to hand over.
        DeleteTempFiles(strDesignFile, bCompanion);
        MessageBox("Failed to open the file.", "Receive a Design", MB_ICONHAND);
        return;
    }
    delete[] m_pDesignData;
    m_pDesignData = pDesign;
    m_nDesignSize = nDesignSize;
    if (bCompanion && m_nDesignSize > kHoopCodeOffset &&
        m_pDesignData[kHoopCodeOffset] == kCompanionHoopCode) {
        CString strCompanionFile;
        strCompanionFile.Format("%s%s", szTemp, "temp.rzf");
        BYTE* pCompanion = NULL;
        DWORD nCompanionSize = 0;
        if (ReadReceived(strCompanionFile, &pCompanion, &nCompanionSize) < 0) {
            DeleteTempFiles(strDesignFile, TRUE);
            return;
        }
        delete[] m_pCompanionData;
        m_pCompanionData = pCompanion; // NULL when no companion file was written
        m_nCompanionSize = nCompanionSize;
    }
    DeleteTempFiles(strDesignFile, bCompanion);
    CDialog::OnOK();
}

int CDesignSelectDlg::ReadReceived(LPCSTR lpszPath, BYTE** ppData, DWORD* pnSize) {
    *ppData = NULL;
    *pnSize = 0;
    CFile file;
    if (!file.Open(lpszPath, CFile::modeRead | CFile::shareDenyNone | CFile::typeBinary))
        return 0;
    int nResult = 1;
    TRY {
        const ULONGLONG nLength = file.GetLength();
        BYTE* pData = nLength < 0x7FFFFFFF ? new (std::nothrow) BYTE[nLength + 1] : NULL;
        if (pData == NULL) {
            nResult = -1;
        } else {
            memset(pData, 0, static_cast<size_t>(nLength) + 1);
            UINT nRead = 0;
            while (nRead < nLength) {
                const UINT nGot = file.Read(pData + nRead, static_cast<UINT>(nLength) - nRead);
                if (nGot == 0)
                    break;
                nRead += nGot;
            }
            *ppData = pData;
            *pnSize = static_cast<DWORD>(nLength) + 1;
        }
        file.Close();
    }
    CATCH(CFileException, e) {
        e->Delete();
        file.Abort();
        delete[] * ppData;
        *ppData = NULL;
        *pnSize = 0;
        nResult = 0;
    }
    END_CATCH
    return nResult;
}

void CDesignSelectDlg::DeleteTempFiles(LPCSTR lpszDesignFile, BOOL bCompanion) {
    ::DeleteFileA(lpszDesignFile);
    if (!bCompanion)
        return;
    CString strCompanion = lpszDesignFile;
    const int nDot = strCompanion.ReverseFind('.');
    if (nDot >= 0)
        strCompanion = strCompanion.Left(nDot);
    ::DeleteFileA(strCompanion + ".rzf");
}
