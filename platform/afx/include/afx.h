// The framework's core: run-time class information, exceptions and the TRY/CATCH macros,
// diagnostics, the string class, files (CFile, CMemFile, CFileFind) and the object list.
// Written over the Win32 API and the C runtime only, so that it builds on the POSIX
// emulation of Win32 and, unchanged, over the real one.
#pragma once

#include <windows.h>
#include <stdarg.h>
#include <stddef.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

// ---------------------------------------------------------------------------------------------
// Calling conventions and export markers

#ifndef PASCAL
#define PASCAL
#endif
#ifndef AFXAPI
#define AFXAPI
#endif
#ifndef AFX_CDECL
#define AFX_CDECL
#endif

// An extension library marks what it exports with these: AFX_EXT_CLASS on a class, AFX_EXT_API
// on a function, AFX_EXT_DATA on a variable. The library itself is built with _AFXEXT (export),
// its host without (import). On POSIX they make the symbol visible outside the shared library.
#ifndef AFX_EXT_CLASS
#if defined(_WIN32)
#if defined(_AFXEXT)
#define AFX_EXT_CLASS __declspec(dllexport)
#define AFX_EXT_API __declspec(dllexport)
#define AFX_EXT_DATA __declspec(dllexport)
#else
#define AFX_EXT_CLASS __declspec(dllimport)
#define AFX_EXT_API __declspec(dllimport)
#define AFX_EXT_DATA __declspec(dllimport)
#endif
#else
#define AFX_EXT_CLASS __attribute__((visibility("default")))
#define AFX_EXT_API __attribute__((visibility("default")))
#define AFX_EXT_DATA __attribute__((visibility("default")))
#endif
#endif

#ifndef _T
#define _T(x) x
#endif
#ifndef _countof
#define _countof(array) (sizeof(array) / sizeof((array)[0]))
#endif

#include "afxstr.h"

// ---------------------------------------------------------------------------------------------
// Diagnostics. ASSERT and TRACE are active in _DEBUG builds and vanish otherwise; VERIFY always
// evaluates its expression. A failed assertion is reported through OutputDebugString and the
// program continues, so that callers still meet the checked error paths behind it.

void AFXAPI AfxTrace(LPCTSTR lpszFormat, ...) AFX_PRINTF_FORMAT(1, 2);
BOOL AFXAPI AfxAssertFailedLine(LPCSTR lpszFileName, int nLine);

#ifdef _DEBUG
#define ASSERT(f) ((void)((f) || AfxAssertFailedLine(__FILE__, __LINE__)))
#define VERIFY(f) ASSERT(f)
#define TRACE AfxTrace
#define ASSERT_VALID(pOb) (AfxAssertValidObject(pOb, __FILE__, __LINE__))
#else
#define ASSERT(f) ((void)0)
#define VERIFY(f) ((void)(f))
#define TRACE 1 ? (void)0 : AfxTrace
#define ASSERT_VALID(pOb) ((void)0)
#endif
#define TRACE0(sz) TRACE("%s", sz)
#define TRACE1(sz, p1) TRACE(sz, p1)
#define TRACE2(sz, p1, p2) TRACE(sz, p1, p2)
#define TRACE3(sz, p1, p2, p3) TRACE(sz, p1, p2, p3)
#define ASSERT_KINDOF(class_name, object) ASSERT((object)->IsKindOf(RUNTIME_CLASS(class_name)))
#define DEBUG_NEW new

// ---------------------------------------------------------------------------------------------
// Run-time class information

class CObject;
struct AFX_CLASSINIT;

struct CRuntimeClass {
    LPCSTR m_lpszClassName;
    int m_nObjectSize;
    UINT m_wSchema;                        // 0xFFFF for classes that are not serializable
    CObject*(PASCAL* m_pfnCreateObject)(); // NULL for classes without DECLARE_DYNCREATE
    CRuntimeClass*(PASCAL* m_pfnGetBaseClass)();
    CRuntimeClass* m_pNextClass;
    const AFX_CLASSINIT* m_pClassInit;

    CObject* CreateObject();
    BOOL IsDerivedFrom(const CRuntimeClass* pBaseClass) const;
};

#define _RUNTIME_CLASS(class_name) ((CRuntimeClass*)(&class_name::class##class_name))
#define RUNTIME_CLASS(class_name) (class_name::GetThisClass())

#define DECLARE_DYNAMIC(class_name)                                                                \
protected:                                                                                         \
    static CRuntimeClass* PASCAL _GetBaseClass();                                                  \
                                                                                                   \
public:                                                                                            \
    static const CRuntimeClass class##class_name;                                                  \
    static CRuntimeClass* PASCAL GetThisClass();                                                   \
    CRuntimeClass* GetRuntimeClass() const override;

#define DECLARE_DYNCREATE(class_name)                                                              \
    DECLARE_DYNAMIC(class_name)                                                                    \
    static CObject* PASCAL CreateObject();

#define IMPLEMENT_RUNTIMECLASS(class_name, base_class_name, wSchema, pfnNew, class_init)           \
    CRuntimeClass* PASCAL class_name::_GetBaseClass() {                                            \
        return RUNTIME_CLASS(base_class_name);                                                     \
    }                                                                                              \
    const CRuntimeClass class_name::class##class_name = {                                          \
        #class_name, (int)sizeof(class class_name), wSchema,                                       \
        pfnNew,      &class_name::_GetBaseClass,    NULL,                                          \
        class_init};                                                                               \
    CRuntimeClass* PASCAL class_name::GetThisClass() {                                             \
        return _RUNTIME_CLASS(class_name);                                                         \
    }                                                                                              \
    CRuntimeClass* class_name::GetRuntimeClass() const {                                           \
        return _RUNTIME_CLASS(class_name);                                                         \
    }

#define IMPLEMENT_DYNAMIC(class_name, base_class_name)                                             \
    IMPLEMENT_RUNTIMECLASS(class_name, base_class_name, 0xFFFF, NULL, NULL)

#define IMPLEMENT_DYNCREATE(class_name, base_class_name)                                           \
    CObject* PASCAL class_name::CreateObject() {                                                   \
        return new class_name;                                                                     \
    }                                                                                              \
    IMPLEMENT_RUNTIMECLASS(class_name, base_class_name, 0xFFFF, class_name::CreateObject, NULL)

// The root of the framework's classes. Objects are not copyable (as in MFC); derived classes
// that want copies define their own copy operations.
class CObject {
public:
    virtual CRuntimeClass* GetRuntimeClass() const;
    virtual ~CObject() = default;

    BOOL IsKindOf(const CRuntimeClass* pClass) const;
    BOOL IsSerializable() const;
    virtual void AssertValid() const;

    static const CRuntimeClass classCObject;
    static CRuntimeClass* PASCAL GetThisClass();

protected:
    CObject() = default;

private:
    CObject(const CObject& objectSrc);
    void operator=(const CObject& objectSrc);
};

void AFXAPI AfxAssertValidObject(const CObject* pOb, LPCSTR lpszFileName, int nLine);

// ---------------------------------------------------------------------------------------------
// Exceptions. The framework throws pointers: `throw new CFileException(...)`, caught as
// `catch (CFileException* e) { ...; e->Delete(); }`. Delete frees an exception made with new
// and leaves alone the shared ones (the out-of-memory exception is a static object, since
// memory to create one may be missing).

class CException : public CObject {
    DECLARE_DYNAMIC(CException)
public:
    explicit CException(BOOL bAutoDelete = TRUE);
    ~CException() override = default;

    void Delete();
    // Copies the exception's message (truncated to nMaxError - 1 characters) and returns TRUE;
    // FALSE with an empty text when there is none.
    virtual BOOL GetErrorMessage(LPTSTR lpszError, UINT nMaxError, PUINT pnHelpContext = NULL);
    // Shows the message to the user. For now the message only goes to the debug output and
    // the result is 0: the framework's message box is not yet available to it.
    virtual int ReportError(UINT nType = MB_OK, UINT nMessageID = 0);

    BOOL m_bAutoDelete;
};

// An exception with a fixed message.
class CSimpleException : public CException {
    DECLARE_DYNAMIC(CSimpleException)
public:
    explicit CSimpleException(BOOL bAutoDelete = TRUE) : CException(bAutoDelete) {}
    BOOL GetErrorMessage(LPTSTR lpszError, UINT nMaxError, PUINT pnHelpContext = NULL) override;

protected:
    virtual LPCTSTR GetMessageText() const = 0;
};

#define AFX_DECLARE_SIMPLE_EXCEPTION(class_name)                                                   \
    class class_name : public CSimpleException {                                                   \
        DECLARE_DYNAMIC(class_name)                                                                \
    public:                                                                                        \
        explicit class_name(BOOL bAutoDelete = TRUE) : CSimpleException(bAutoDelete) {}            \
                                                                                                   \
    protected:                                                                                     \
        LPCTSTR GetMessageText() const override;                                                   \
    }

AFX_DECLARE_SIMPLE_EXCEPTION(CMemoryException);
AFX_DECLARE_SIMPLE_EXCEPTION(CNotSupportedException);
AFX_DECLARE_SIMPLE_EXCEPTION(CResourceException);
AFX_DECLARE_SIMPLE_EXCEPTION(CInvalidArgException);

class CFileException : public CException {
    DECLARE_DYNAMIC(CFileException)
public:
    enum {
        none,
        genericException,
        fileNotFound,
        badPath,
        tooManyOpenFiles,
        accessDenied,
        invalidFile,
        removeCurrentDir,
        directoryFull,
        badSeek,
        hardIO,
        sharingViolation,
        lockViolation,
        diskFull,
        endOfFile
    };

    explicit CFileException(int cause = CFileException::none, LONG lOsError = -1,
                            LPCTSTR lpszArchiveName = NULL);

    // Throws a new CFileException for a Win32 error code (nothing for NO_ERROR).
    static void PASCAL ThrowOsError(LONG lOsError, LPCTSTR lpszFileName = NULL);
    static void PASCAL ThrowErrno(int nErrno, LPCTSTR lpszFileName = NULL);
    // The cause that MFC gives a Win32 error code or a C runtime errno value.
    static int PASCAL OsErrorToException(LONG lOsError);
    static int PASCAL ErrnoToException(int nErrno);

    BOOL GetErrorMessage(LPTSTR lpszError, UINT nMaxError, PUINT pnHelpContext = NULL) override;

    int m_cause;
    LONG m_lOsError;
    CString m_strFileName;
};

[[noreturn]] void AFXAPI AfxThrowMemoryException();
[[noreturn]] void AFXAPI AfxThrowNotSupportedException();
[[noreturn]] void AFXAPI AfxThrowResourceException();
[[noreturn]] void AFXAPI AfxThrowInvalidArgException();
[[noreturn]] void AFXAPI AfxThrowFileException(int cause, LONG lOsError = -1,
                                               LPCTSTR lpszFileName = NULL);

// TRY/CATCH over C++ exceptions, as MFC builds them: the exception caught by CATCH is deleted
// when its handler ends, unless the handler rethrows it with THROW_LAST().
struct AFX_EXCEPTION_LINK {
    AFX_EXCEPTION_LINK();
    ~AFX_EXCEPTION_LINK();
    AFX_EXCEPTION_LINK(const AFX_EXCEPTION_LINK&) = delete;
    AFX_EXCEPTION_LINK& operator=(const AFX_EXCEPTION_LINK&) = delete;

    AFX_EXCEPTION_LINK* m_pLinkPrev;
    CException* m_pException;
};

void AFXAPI AfxThrowLastCleanup();

#define TRY                                                                                        \
    {                                                                                              \
        AFX_EXCEPTION_LINK _afxExceptionLink;                                                      \
        try {

#define CATCH(class, e)                                                                            \
    }                                                                                              \
    catch (class * e) {                                                                            \
        ASSERT(e->IsKindOf(RUNTIME_CLASS(class)));                                                 \
        _afxExceptionLink.m_pException = e;

#define AND_CATCH(class, e) CATCH(class, e)

#define END_CATCH                                                                                  \
    }                                                                                              \
    }

#define THROW(e) throw e
#define THROW_LAST() (AfxThrowLastCleanup(), throw)

#define CATCH_ALL(e)                                                                               \
    }                                                                                              \
    catch (CException * e) {                                                                       \
        {                                                                                          \
            ASSERT(e->IsKindOf(RUNTIME_CLASS(CException)));                                        \
            _afxExceptionLink.m_pException = e;

#define AND_CATCH_ALL(e) CATCH_ALL(e)

#define END_CATCH_ALL                                                                              \
    }                                                                                              \
    }                                                                                              \
    }

#define END_TRY                                                                                    \
    }                                                                                              \
    catch (CException * e) {                                                                       \
        ASSERT(e->IsKindOf(RUNTIME_CLASS(CException)));                                            \
        _afxExceptionLink.m_pException = e;                                                        \
    }                                                                                              \
    }

// ---------------------------------------------------------------------------------------------
// Files

// A file of the file system, over CreateFile/ReadFile/WriteFile. Every failure of Read, Write,
// Seek, SetLength, Flush, Close, GetLength and GetPosition throws a CFileException; Open
// reports its failure through its optional exception object instead, and the constructor that
// takes a name throws it.
class CFile : public CObject {
    DECLARE_DYNAMIC(CFile)
public:
    enum OpenFlags {
        modeRead = 0x0000,
        modeWrite = 0x0001,
        modeReadWrite = 0x0002,
        shareCompat = 0x0000,
        shareExclusive = 0x0010,
        shareDenyWrite = 0x0020,
        shareDenyRead = 0x0030,
        shareDenyNone = 0x0040,
        modeNoInherit = 0x0080,
        modeCreate = 0x1000,
        modeNoTruncate = 0x2000,
        typeText = 0x4000,
        typeBinary = 0x8000,
        osNoBuffer = 0x10000,
        osWriteThrough = 0x20000,
        osRandomAccess = 0x40000,
        osSequentialScan = 0x80000,
    };
    enum Attribute {
        normal = 0x00,
        readOnly = 0x01,
        hidden = 0x02,
        system = 0x04,
        volume = 0x08,
        directory = 0x10,
        archive = 0x20
    };
    enum SeekPosition { begin = 0x0, current = 0x1, end = 0x2 };

    static const HANDLE hFileNull;

    CFile();
    explicit CFile(HANDLE hFile);
    CFile(LPCTSTR lpszFileName, UINT nOpenFlags);
    ~CFile() override;

    HANDLE m_hFile;
    operator HANDLE() const { return m_hFile; }

    virtual BOOL Open(LPCTSTR lpszFileName, UINT nOpenFlags, CFileException* pError = NULL);
    virtual UINT Read(void* lpBuf, UINT nCount);
    virtual void Write(const void* lpBuf, UINT nCount);
    virtual ULONGLONG Seek(LONGLONG lOff, UINT nFrom);
    ULONGLONG SeekToEnd() { return Seek(0, CFile::end); }
    void SeekToBegin() { Seek(0, CFile::begin); }
    virtual ULONGLONG GetPosition() const;
    virtual ULONGLONG GetLength() const;
    virtual void SetLength(ULONGLONG dwNewLen);
    virtual void Flush();
    virtual void Close();
    virtual void Abort(); // closes without throwing

    virtual CString GetFileName() const;  // "name.ext"
    virtual CString GetFileTitle() const; // "name"
    virtual CString GetFilePath() const;  // the full path the file was opened with
    virtual void SetFilePath(LPCTSTR lpszNewName);

    static void PASCAL Rename(LPCTSTR lpszOldName, LPCTSTR lpszNewName);
    static void PASCAL Remove(LPCTSTR lpszFileName);

protected:
    BOOL m_bCloseOnDelete;
    CString m_strFileName;
};

// A file in memory. Its block comes from the virtual Alloc/Realloc/Free (malloc, realloc and
// free): a block handed out by Detach is released with free. Growing past the block raises
// CMemoryException when the file cannot grow (growth step 0) or memory runs out.
class CMemFile : public CFile {
    DECLARE_DYNAMIC(CMemFile)
public:
    explicit CMemFile(UINT nGrowBytes = 1024);
    // Uses the caller's block; with nGrowBytes 0 the file holds the block's nBufferSize bytes
    // and cannot grow, otherwise it starts empty and grows the block with Realloc.
    CMemFile(BYTE* lpBuffer, UINT nBufferSize, UINT nGrowBytes = 0);
    ~CMemFile() override;

    void Attach(BYTE* lpBuffer, UINT nBufferSize, UINT nGrowBytes = 0);
    // Gives up the block (possibly NULL) to the caller and leaves the file empty.
    BYTE* Detach();
    BYTE* GetBufferPtr() const { return m_lpBuffer; }

    UINT Read(void* lpBuf, UINT nCount) override;
    void Write(const void* lpBuf, UINT nCount) override;
    ULONGLONG Seek(LONGLONG lOff, UINT nFrom) override;
    ULONGLONG GetPosition() const override;
    ULONGLONG GetLength() const override;
    void SetLength(ULONGLONG dwNewLen) override;
    void Flush() override;
    void Close() override;
    void Abort() override;

protected:
    virtual BYTE* Alloc(SIZE_T nBytes);
    virtual BYTE* Realloc(BYTE* lpMem, SIZE_T nBytes);
    virtual BYTE* Memcpy(BYTE* lpMemTarget, const BYTE* lpMemSource, SIZE_T nBytes);
    virtual void Free(BYTE* lpMem);
    virtual void GrowFile(SIZE_T dwNewLen);

    UINT m_nGrowBytes;
    SIZE_T m_nPosition;
    SIZE_T m_nBufferSize;
    SIZE_T m_nFileSize;
    BYTE* m_lpBuffer;
    BOOL m_bAutoDelete; // the block is ours to free
};

// Enumerates the entries matching a pattern, over FindFirstFile/FindNextFile. FindNextFile must
// be called once before the first entry can be read; it returns FALSE for the last entry (which
// is then readable).
class CFileFind : public CObject {
    DECLARE_DYNAMIC(CFileFind)
public:
    CFileFind();
    ~CFileFind() override;

    virtual BOOL FindFile(LPCTSTR pstrName = NULL, DWORD dwUnused = 0);
    virtual BOOL FindNextFile();
    void Close();

    ULONGLONG GetLength() const;
    virtual CString GetFileName() const;
    virtual CString GetFilePath() const;
    virtual CString GetFileTitle() const;
    virtual CString GetRoot() const;
    virtual BOOL GetLastWriteTime(FILETIME* pTimeStamp) const;
    virtual BOOL GetLastAccessTime(FILETIME* pTimeStamp) const;
    virtual BOOL GetCreationTime(FILETIME* pTimeStamp) const;

    virtual BOOL IsDots() const;
    virtual BOOL MatchesMask(DWORD dwMask) const;
    BOOL IsReadOnly() const { return MatchesMask(FILE_ATTRIBUTE_READONLY); }
    BOOL IsDirectory() const { return MatchesMask(FILE_ATTRIBUTE_DIRECTORY); }
    BOOL IsSystem() const { return MatchesMask(FILE_ATTRIBUTE_SYSTEM); }
    BOOL IsHidden() const { return MatchesMask(FILE_ATTRIBUTE_HIDDEN); }
    BOOL IsTemporary() const { return MatchesMask(FILE_ATTRIBUTE_TEMPORARY); }
    BOOL IsNormal() const { return MatchesMask(FILE_ATTRIBUTE_NORMAL); }
    BOOL IsArchived() const { return MatchesMask(FILE_ATTRIBUTE_ARCHIVE); }

protected:
    WIN32_FIND_DATAA* m_pFoundInfo;
    WIN32_FIND_DATAA* m_pNextInfo;
    HANDLE m_hContext;
    CString m_strRoot;
    char m_chDirSeparator;
    BOOL m_bGotLast; // the last entry is current: FindNextFile has nothing more
};

// ---------------------------------------------------------------------------------------------
// The list of object pointers

struct __POSITION {};
typedef __POSITION* POSITION;
#define BEFORE_START_POSITION ((POSITION)-1L)

// A doubly linked list of CObject pointers. A POSITION stays valid until its element is
// removed. Taking the head or tail of an empty list, or passing a NULL POSITION where an
// element is required, raises CInvalidArgException.
class CObList : public CObject {
    DECLARE_DYNAMIC(CObList)
public:
    explicit CObList(INT_PTR nBlockSize = 10);
    ~CObList() override;

    INT_PTR GetCount() const { return m_nCount; }
    INT_PTR GetSize() const { return m_nCount; }
    BOOL IsEmpty() const { return m_nCount == 0; }

    CObject*& GetHead();
    CObject* GetHead() const;
    CObject*& GetTail();
    CObject* GetTail() const;
    CObject* RemoveHead();
    CObject* RemoveTail();

    POSITION AddHead(CObject* newElement);
    POSITION AddTail(CObject* newElement);
    void AddHead(CObList* pNewList);
    void AddTail(CObList* pNewList);
    void RemoveAll();

    POSITION GetHeadPosition() const { return reinterpret_cast<POSITION>(m_pNodeHead); }
    POSITION GetTailPosition() const { return reinterpret_cast<POSITION>(m_pNodeTail); }
    CObject*& GetNext(POSITION& rPosition);
    CObject* GetNext(POSITION& rPosition) const;
    CObject*& GetPrev(POSITION& rPosition);
    CObject* GetPrev(POSITION& rPosition) const;

    CObject*& GetAt(POSITION position);
    CObject* GetAt(POSITION position) const;
    void SetAt(POSITION pos, CObject* newElement);
    void RemoveAt(POSITION position);
    POSITION InsertBefore(POSITION position, CObject* newElement);
    POSITION InsertAfter(POSITION position, CObject* newElement);

    // The first element equal to searchValue after startAfter (from the head when NULL).
    POSITION Find(CObject* searchValue, POSITION startAfter = NULL) const;
    // The element at a zero-based index, NULL when out of range.
    POSITION FindIndex(INT_PTR nIndex) const;

protected:
    struct CNode {
        CNode* pNext;
        CNode* pPrev;
        CObject* data;
    };

    static CNode* NodeAt(POSITION position);
    CNode* NewNode(CNode* pPrev, CNode* pNext, CObject* data);
    void FreeNode(CNode* pNode);

    CNode* m_pNodeHead;
    CNode* m_pNodeTail;
    INT_PTR m_nCount;
    INT_PTR m_nBlockSize;
};
