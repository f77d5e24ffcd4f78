// CWorkerDlg: the frame of the dialogs that work with the machine on a worker thread while they
// stay on the screen (sending, receiving, reading a folder list, deleting).
//
// The user-interface thread runs the dialog: the start sequence greys Close and Cancel, probes
// the machine, sets up the progress bar, creates the cancel event and starts the worker; a 50 ms
// timer moves the bar towards the target that the job raises by 10 for every item it starts;
// Cancel and the Close command set the cancel event and end the dialog at once. The worker
// waits 500 ms, enables Close and Cancel, runs the dialog's job and ends the dialog by posting
// IDOK (job result 0) or WM_CLOSE (any other result). The teardown waits for the worker before
// anything is deleted, serving the messages the worker sends meanwhile.
//
// A dialog states only how it departs: its title, whether the start takes the transfer mutex,
// its item count, its bar (none for a dialog without one) and its job (RunJob).
#pragma once

#include "stdafx.h"

#include <afxcmn.h>

#include "command/FileInfo.h"
#include "usb/UsbComm.h"

#include <atomic>

class AFX_EXT_CLASS CWorkerDlg : public CDialog {
public:
    // Sets the cancel event when the worker exists; nothing else.
    void ThreadStop();
    // The teardown: stops the timer; when the worker still runs, sets the cancel event and
    // waits for it (with the wait cursor where the dialog has a bar); deletes the thread and
    // event objects; closes the port; destroys the window.
    BOOL DestroyWindow() override;

    // The dialog's job, run on the worker thread: 0, or a negative result code.
    virtual int RunJob() = 0;

    // Every item of a job adds this much to the bar's target, so that it fills at least half
    // a second of bar (one step per timer tick).
    enum { STEPS_PER_ITEM = 10 };

protected:
    CWorkerDlg(UINT nIDTemplate, CWnd* pParent);
    ~CWorkerDlg() override;

    // The parts of the frame that a dialog with a progress bar has: members of its own, placed
    // where its member list puts them.
    struct PROGRESS {
        CProgressCtrl* pBar;
        std::atomic<int>* pnTarget;
        std::atomic<bool>* pbCancelled;
        UINT* pnTimer;
    };
    // Fills *pProgress and returns TRUE for a dialog with a bar; FALSE (the default) without.
    virtual BOOL GetProgress(PROGRESS* pProgress);

    // The start sequence, after the framework's own initialisation: TRUE when the worker runs.
    // On a failure the dialog is closed by a posted WM_CLOSE (Close and Cancel enabled again
    // first) and FALSE is returned.
    BOOL StartWorker(LPCSTR lpszTitle, BOOL bTakeMutex, int nItems);

    // The timer: one step of the bar while it is below the target.
    afx_msg void OnTimer(UINT nIDEvent);
    // Cancel and the Close command: the cancel event (when the worker exists) and the
    // cancelled flag (where the dialog has one), then the framework's cancel.
    void OnCancel() override;

    // ---- For the jobs (worker thread) ----
    // Runs one step of a job, step(int* pnDetail) -> result code. A failure is shown with the
    // title and the detail the step wrote; the step is tried again when the answer is Retry
    // (after the cancel event has been reset), which the error display's OK-only boxes never
    // give. Returns the step's last code.
    template <class Step> int Attempt(LPCSTR lpszTitle, Step step) {
        for (;;) {
            int nDetail = 0;
            const int nCode = step(&nDetail);
            if (nCode == 0 || !AskRetry(nCode, lpszTitle, nDetail))
                return nCode;
        }
    }
    // OpenPort with the dialog's window and the cancel event given (or none), as a step; the
    // port is closed again when it fails.
    int OpenJobPort(LPCSTR lpszTitle, CEvent* pCancel);
    // Shows the code with the title and detail; TRUE (the cancel event reset) on Retry.
    BOOL AskRetry(int nCode, LPCSTR lpszTitle, int nDetail);
    // Whether the event is signalled, tested without waiting (FALSE without one).
    static BOOL IsSignalled(HANDLE hEvent);
    // The bar's range for nItems items (its upper bound is a 16-bit value: a range past 65,535
    // wraps), its step 1 and its position 0.
    void SetProgressRange(int nItems);
    // An item starts: STEPS_PER_ITEM more for the bar to reach.
    void BeginItem();
    // Unless the user has cancelled, waits until the bar has reached the target, reading it
    // every 50 ms; a cancel during the wait (the flag, or the cancel event that the teardown
    // sets) ends it too.
    void WaitForBar();
    // _makepath without a drive into a buffer of MAX_PATH characters: a backslash between the
    // folder and the name unless the folder ends with one, the extension with its dot. FALSE,
    // and nothing written, when the path would not fit.
    static BOOL MakePath(char* pszPath, LPCSTR lpszFolder, LPCSTR lpszName, LPCSTR lpszExt);
    // The host's texts, read safely: a null folder text is empty, and so is the text of a
    // missing record or of one without a terminator in its slot.
    static LPCSTR Text(LPCSTR lpszText) { return lpszText != NULL ? lpszText : ""; }
    static LPCSTR RecordText(const FILEINFO* pRecord);
    // The record after pRecord (NULL stays NULL).
    static FILEINFO* NextRecord(FILEINFO* pRecord) { return pRecord != NULL ? pRecord + 1 : NULL; }
    // Enables or greys the system menu's Close item and the Cancel button.
    void EnableClose(BOOL bEnable);

    // The frame's members, first after the framework dialog and in this order.
    CUsbComm m_usb;
    CWinThread* m_pThread;
    CEvent* m_pCancelEvent;

    DECLARE_MESSAGE_MAP()

private:
    static UINT AFX_CDECL WorkerProc(LPVOID pParam);
    BOOL FailStart();
};
