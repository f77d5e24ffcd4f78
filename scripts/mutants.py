#!/usr/bin/env python3
"""Mutation testing: which of a table of small, real faults does the test suite catch?

Each fault changes one line of one source file in a scratch copy of the tree
(build-mutants/src), which is rebuilt incrementally (in build-mutants/src/build, where a build
of the repository lies, so that ccache serves the first build) and tested: first the test
folders most likely to catch it, then the others, up to the first failing test. The file is
restored afterwards. Prints one line per fault and a summary, also written to
build-mutants/results.txt. Exit code 0 when it ran (survivors are a result, not an error), 1
when the unmutated tree does not build, 2 on an error in the table or the arguments.
"""

import argparse
import io
import os
import re
import shutil
import subprocess
import sys
import tarfile
import time
from pathlib import Path

REPO = Path(__file__).resolve().parent.parent


class Fault:
    def __init__(self, id, file, original, replacement, description, tests):
        self.id, self.file, self.original, self.replacement = id, file, original, replacement
        self.description, self.tests = description, tests

    @property
    def folder(self):
        """The source folder: usb, platform/win32, dialogs/transfer, ..."""
        parts = Path(self.file).parts
        return "/".join(parts[:2]) if parts[0] in ("platform", "dialogs") else parts[0]


F = Fault
# id, file, original text (exactly once in the file), replacement, what goes wrong, the test
# folders most likely to catch it. The faults marked "no test" are expected to survive.
FAULTS = [
    # usb/
    F("usb-name-bound-off-by-one", "usb/UsbComm.cpp",
      "wLength == 0 || wLength > USBCOMM_BLOCK_SIZE)", "wLength == 0 || wLength >= USBCOMM_BLOCK_SIZE)",
      "a name of 511 characters (512 bytes with its terminator) is refused with -7", ["usb"]),
    F("usb-store-failed-code", "usb/UsbComm.cpp",
      "            return -13;", "            return -11;",
      "a store the machine reports failed gives -11 (cancelled) instead of -13", ["usb"]),
    F("usb-receive-detail-missing", "usb/UsbComm.cpp",
      "        SetDetail(pnDetail, USBCOMM_DETAIL_RECEIVE);\n", "",
      "a failed reception into a file leaves the detail unset instead of 96", ["usb"]),
    F("usb-cancel-after-data-ignored", "usb/UsbComm.cpp",
      "    // The data always finishes; a cancel seen now throws it away.\n    if (CancelSignalled()) {",
      "    // The data always finishes; a cancel seen now throws it away.\n    if (FALSE) {",
      "a cancel that arrives during a reception's data keeps the data and gives 0", ["usb"]),
    F("usb-rename-length-offset", "usb/UsbComm.cpp",
      "PutWord(m_byRequestB + 2, (WORD)dwLength);", "PutWord(m_byRequestB, (WORD)dwLength);",
      "the rename data request carries the new name's length at offset 0 instead of 2", ["usb"]),
    F("usb-trailer-sent", "usb/UsbComm.cpp",
      "m_pReceiveBuffer->Write(pData, (UINT)nProper);", "m_pReceiveBuffer->Write(pData, (UINT)nLength);",
      "a design file's bytes after its stitch data (a trailer) are sent too", ["usb", "dialogs/transfer"]),
    F("usb-pause-shortened", "usb/UsbComm.cpp",
      "#define USBCOMM_PAUSE 700", "#define USBCOMM_PAUSE 70",
      "the pause between the steps of a command is 70 ms instead of 700 (no test: only a "
      "duration shows it)", ["usb"]),
    # command/
    F("command-device-digit-zero", "command/ServiceName.cpp",
      "(byDigit >= '1' && byDigit <= '9')", "(byDigit >= '0' && byDigit <= '9')",
      "COM0 and LPT0 are taken for device names and refused", ["command"]),
    F("command-record-width-height-swapped", "command/FolderInfo.cpp",
      "AppendRecord(records, strName, nKind, nWidth, nHeight);",
      "AppendRecord(records, strName, nKind, nHeight, nWidth);",
      "a design's record in a folder listing has its width and height swapped", ["command"]),
    F("command-hoop-bound-off-by-one", "command/FolderInfo.cpp",
      "(nHoop >= 0 && nHoop <= FOLDERINFO_MAX_HOOP)", "(nHoop >= 0 && nHoop < FOLDERINFO_MAX_HOOP)",
      "a design of the largest hoop code is left out of the folder listing", ["command"]),
    F("command-read-error-text", "command/StatusLoop.cpp",
      'AfxMessageBox("Read error", MB_OK);', 'AfxMessageBox("Read Error", MB_OK);',
      'the service loop says "Read Error" instead of "Read error"', ["command", "host"]),
    F("command-status-title", "command/StatusLoop.cpp",
      'ShowCommError(m_hOwner, nCode, "Status", 0);', 'ShowCommError(m_hOwner, nCode, "status", 0);',
      'a failed service request is shown with the title "status" instead of "Status"',
      ["command"]),
    # design/
    F("design-colour-count", "design/KstFormat.cpp",
      "walk.dwChanges + 1 == dwColors", "walk.dwChanges == dwColors",
      "the structural check wants as many colour changes as colours", ["design"]),
    F("design-hoop-half-sizes-swapped", "design/KstFormat.cpp",
      "SetMargins(rects[3], 700, 1000, rects[0]);", "SetMargins(rects[3], 1000, 700, rects[0]);",
      "the margins of the first large hoop take its half-width and half-height swapped",
      ["design"]),
    F("design-trailer-padding-missing", "design/KstFormat.cpp",
      "return pHeader->dwStitchOffset + 2 * (dwUnits + (dwUnits & 1));",
      "return pHeader->dwStitchOffset + 2 * dwUnits;",
      "the trailer of a design with an odd unit count is looked for without the padding",
      ["design"]),
    F("design-division-end-off-by-one", "design/Convert.cpp",
      "LONGLONG nEnd = nDivision != 0 ? nDivision + 1 : nUnits;",
      "LONGLONG nEnd = nDivision != 0 ? nDivision : nUnits;",
      "a divided design's first half ends one unit before the division point", ["design"]),
    # driver/
    F("driver-min-size-bound", "driver/UsbdriverDlg.cpp",
      "find.nFileSizeLow >= DRIVER_FILE_MIN_SIZE", "find.nFileSizeLow > DRIVER_FILE_MIN_SIZE",
      "a driver file of exactly the least size counts as damaged", ["driver"]),
    F("driver-not-found-text", "driver/TroubleshootDriver.cpp",
      '"The USB driver was not found. Install the USB driver."',
      '"The USB driver was not found. Install the USB Driver."',
      "one letter of the not-found message is upper case", ["driver", "host"]),
    F("driver-not-found-caption", "driver/TroubleshootDriver.cpp",
      "::MessageBoxA(hWnd, kNotFoundText, kSearchCaption,",
      "::MessageBoxA(hWnd, kNotFoundText, kDeleteCaption,",
      'the not-found message has the caption "Delete USB Driver"', ["driver"]),
    F("driver-instance-key-not-closed", "driver/UsbdriverDlg.cpp",
      "            ::RegCloseKey(hInstance);\n", "",
      "the search leaves the device instance's registry key open", ["driver"]),
    # frame/
    F("frame-connect-handle-not-closed", "frame/ConnectionTest.cpp",
      "            CloseHandle(hDevice);\n", "",
      "IsConnectRX4400 leaves the device it opened open", ["frame"]),
    F("frame-connect-last-interface", "frame/ConnectionTest.cpp",
      "dwIndex < USBCOMM_MAX_INTERFACES; ++dwIndex) {",
      "dwIndex + 1 < USBCOMM_MAX_INTERFACES; ++dwIndex) {",
      "IsConnectRX4400 never looks at the last interface index", ["frame"]),
    # dialogs/transfer/
    F("transfer-cancel-delay-skipped", "dialogs/transfer/WorkerDlg.cpp",
      "    ::Sleep(kCancelEnableDelay);\n", "",
      "the worker enables Cancel at once instead of after 500 ms", ["dialogs/transfer"]),
    F("transfer-path-bound", "dialogs/transfer/WorkerDlg.cpp",
      "bDot + nExt >= MAX_PATH)", "bDot + nExt > MAX_PATH)",
      "a path of exactly MAX_PATH characters (no room for the terminator) is made", ["dialogs/transfer"]),
    F("transfer-status-text", "dialogs/transfer/SendDlg.cpp",
      '"Now Sending : %s', '"Now Sending: %s',
      'the send dialog says "Now Sending: " instead of "Now Sending : "', ["dialogs/transfer"]),
    F("transfer-direct-cancel-ignored", "dialogs/transfer/SendDlg.cpp",
      "        if (IsSignalled(m_hCancel))", "        if (IsSignalled(NULL))",
      "a cancel between two designs sent from memory does not stop the sending",
      ["dialogs/transfer"]),
    # dialogs/browser/
    F("browser-medium-label", "dialogs/browser/DesignSelectDlg.cpp",
      '"USB Memory:"', '"USB memory:"',
      'the browser labels medium 3 "USB memory:" instead of "USB Memory:"', ["dialogs/browser"]),
    F("browser-change-folder-detail-lost", "dialogs/browser/IntormationDlg.cpp",
      "        nChangeDetail = *pnDetail;\n", "",
      "a failed listing after a change of folder shows no detail value", ["dialogs/browser"]),
    F("browser-change-folder-pause-skipped", "dialogs/browser/IntormationDlg.cpp",
      "    ::Sleep(kChangeFolderPause);\n", "",
      "no 700 ms pause between a change of folder and its listing (no test: the simulated "
      "machine does not need it)", ["dialogs/browser"]),
    # dialogs/files/
    F("files-delete-folder-title", "dialogs/files/DeleteDlg.cpp",
      'kFolderTitle[] = "Delete Folder";', 'kFolderTitle[] = "Delete folder";',
      'the failures of a folder deletion have the title "Delete folder"', ["dialogs/files"]),
    F("files-delete-path-bound", "dialogs/files/DeleteDlg.cpp",
      "strFile.GetLength() >= FILEINFO_SIZE", "strFile.GetLength() > FILEINFO_SIZE",
      "a path in a deleted folder that just fills a list slot is sent instead of refused",
      ["dialogs/files"]),
    F("files-delete-cancel-ignored", "dialogs/files/DeleteDlg.cpp",
      "        if (IsSignalled(m_hCancel))", "        if (IsSignalled(NULL))",
      "a cancel between two designs does not stop the deletion", ["dialogs/files"]),
    # machine/
    F("machine-name-count-bound", "machine/Machine.cpp",
      "count == 0 || count > kBlockSize", "count == 0 || count >= kBlockSize",
      "the machine refuses a name that fills its 512-byte block", ["machine", "usb"]),
    F("machine-root-folder-unprotected", "machine/Machine.cpp",
      "mode != kFolderCreate && pending->path.size() == 1",
      "mode != kFolderCreate && pending->path.size() == 0",
      "the machine lets its root folder be renamed or deleted", ["machine"]),
    F("machine-not-empty-detail", "machine/Machine.cpp",
      "        return kDetailNotEmpty;", "        return kDetailStorageError;",
      "deleting a folder that is not empty gives the storage-error detail", ["machine"]),
    F("machine-store-unchecked", "machine/Machine.cpp",
      "if (design && !CheckDesignStructure(", "if (!design && CheckDesignStructure(",
      "the machine stores a design whose structure is broken", ["machine", "usb"]),
    # platform/win32/
    F("win32-abandoned-mutex-unreported", "platform/win32/src/sync.cpp",
      "        return Acquire::Abandoned;", "        return Acquire::Acquired;",
      "a local mutex left by an ended thread is acquired as WAIT_OBJECT_0, not "
      "WAIT_ABANDONED", ["platform/win32"]),
    F("win32-release-by-any-thread", "platform/win32/src/sync.cpp",
      "if (m_recursion == 0 || m_owner != CurrentThreadId())", "if (m_recursion == 0)",
      "ReleaseMutex from a thread that does not own the mutex succeeds", ["platform/win32"]),
    F("win32-local-prefix", "platform/win32/src/sync.cpp",
      'const std::string local = "Local\\\\";', 'const std::string local = "Local/";',
      'object names starting "Local\\" keep the prefix', ["platform/win32"]),
    F("win32-wait-count-bound", "platform/win32/src/wait.cpp",
      "nCount == 0 || nCount > MAXIMUM_WAIT_OBJECTS", "nCount == 0 || nCount >= MAXIMUM_WAIT_OBJECTS",
      "WaitForMultipleObjects refuses 64 handles", ["platform/win32"]),
    # platform/afx/
    F("afx-mid-count-off-by-one", "platform/afx/src/String.cpp",
      "        nCount = nLength - nFirst;", "        nCount = nLength - nFirst + 1;",
      "CString::Mid past the end takes the terminator as a character", ["platform/afx"]),
    F("afx-memfile-seek-end", "platform/afx/src/MemFile.cpp",
      "base = static_cast<LONGLONG>(m_nFileSize);", "base = static_cast<LONGLONG>(m_nPosition);",
      "CMemFile::Seek from the end counts from the current position", ["platform/afx"]),
    # formats/
    F("formats-dst-ternary-bound", "formats/Dst.cpp",
      "power <= 81; power *= 3", "power < 81; power *= 3",
      "the DST writer drops the 81 trit: moves beyond 40 are written wrong", ["formats"]),
    F("formats-dst-stop-flags", "formats/Dst.cpp",
      "const uint8_t kStopFlags = 0xC0;", "const uint8_t kStopFlags = 0x40;",
      "DST colour stops are written and read with the wrong flag bits", ["formats"]),
    # host/
    F("host-status-exit-code", "host/StatusCommand.cpp",
      '        std::printf("status: result %d\\n", code);\n        return 1;',
      '        std::printf("status: result %d\\n", code);\n        return 0;',
      "vantel status exits 0 when the machine does not answer", ["host"]),
    F("host-send-summary-text", "host/SendCommand.cpp",
      '"%d of %zu designs sent to %s', '"%d of %zu design sent to %s',
      "vantel send --direct prints \"design sent\" instead of \"designs sent\"", ["host"]),
]


def table_errors(tree):
    """The table's errors against the tree: duplicate ids, missing files, texts not found
    exactly once."""
    errors, seen = [], set()
    for f in FAULTS:
        if f.id in seen:
            errors.append(f"{f.id}: the id is used twice")
        seen.add(f.id)
        path = tree / f.file
        if not path.is_file():
            errors.append(f"{f.id}: no file {f.file}")
            continue
        count = path.read_bytes().count(f.original.encode())
        if count != 1:
            where = "is not in" if count == 0 else f"occurs {count} times in"
            errors.append(f"{f.id}: the original text {f.original!r} {where} {f.file}")
        if f.original == f.replacement:
            errors.append(f"{f.id}: the replacement equals the original")
        for t in f.tests:
            if not (tree / "tests" / t).is_dir():
                errors.append(f"{f.id}: no test folder tests/{t}")
    return errors


def run(cmd, log, **kw):
    """Runs cmd with its output appended to log; returns the exit code."""
    with open(log, "a") as out:
        out.write("$ " + " ".join(map(str, cmd)) + "\n")
        out.flush()
        return subprocess.call(cmd, stdout=out, stderr=subprocess.STDOUT, **kw)


def source_files(args):
    """The tree to mutate as {relative path: bytes}."""
    if args.rev:
        archive = subprocess.run(["git", "-C", REPO, "archive", "--format=tar", args.rev],
                                 check=True, capture_output=True).stdout
        with tarfile.open(fileobj=io.BytesIO(archive)) as tar:
            return {m.name: tar.extractfile(m).read() for m in tar.getmembers() if m.isfile()}
    tree = Path(args.tree).resolve() if args.tree else REPO
    listed = subprocess.run(["git", "-C", tree, "ls-files", "-z"], check=True,
                            capture_output=True).stdout.decode().split("\0")
    return {name: (tree / name).read_bytes() for name in listed if (tree / name).is_file()}


def sync(files, src):
    """Makes src hold exactly files (and its build folder), rewriting only what differs so that
    the build stays incremental between runs."""
    for name, data in files.items():
        path = src / name
        if not path.is_file() or path.read_bytes() != data:
            path.parent.mkdir(parents=True, exist_ok=True)
            path.write_bytes(data)
    for path in sorted(src.rglob("*"), reverse=True):
        name = path.relative_to(src).as_posix()
        if name == "build" or name.startswith("build/"):
            continue
        if path.is_file() and name not in files:
            path.unlink()
        elif path.is_dir() and not any(path.iterdir()):
            path.rmdir()


def configure(src, build, log):
    flags = ["-DCMAKE_BUILD_TYPE=RelWithDebInfo", "-DVANTEL_BENCH=OFF",
             # A fault changes one shared library; its users need not be relinked.
             "-DCMAKE_LINK_DEPENDS_NO_SHARED=ON"]
    if shutil.which("ccache"):
        flags += ["-DCMAKE_CXX_COMPILER_LAUNCHER=ccache", "-DCMAKE_C_COMPILER_LAUNCHER=ccache"]
    return run(["cmake", "-S", src, "-B", build] + flags, log)


def ctest(build, label, jobs, timeout, log):
    """Runs the tests labelled with one test folder up to the first failure; returns the failing
    test's name or None. A test fails only when it fails twice: a test that fails now and then
    under load (a time limit) must not be taken for one that catches the fault."""
    cmd = ["ctest", "-L", f"^{label}$", "--stop-on-failure", "--repeat", "until-pass:2",
           "--timeout", str(timeout), "-j", str(jobs), "--output-on-failure"]
    result = subprocess.run(cmd, cwd=build, capture_output=True, text=True)
    with open(log, "a") as out:
        out.write("$ " + " ".join(cmd) + "\n" + result.stdout + result.stderr)
    if result.returncode == 0:
        return None
    # "The following tests FAILED:" then lines such as "\t 12 - Suite.Name (Timeout)" or
    # "\t 13 - Values/Suite.Name/0  # GetParam() = 4 (Failed)".
    listed = result.stdout.partition("The following tests FAILED:")[2]
    failed = re.findall(r"^\s*\d+ - (\S+).* \((\w+)\)$", listed, re.MULTILINE)
    if not failed:
        return f"ctest -L {label} (see the log)"
    name, how = failed[0]
    return name if how == "Failed" else f"{name} ({how})"


def try_fault(f, src, build, labels, jobs, timeout, log):
    """Applies f, builds and tests; restores the file. Returns (outcome, detail)."""
    path = src / f.file
    original = path.read_bytes()
    stat = path.stat()
    path.write_bytes(original.replace(f.original.encode(), f.replacement.encode()))
    try:
        if run(["cmake", "--build", build, "-j", str(jobs)], log) != 0:
            return "did-not-compile", ""
        for label in [t for t in f.tests if t in labels] + [t for t in labels if t not in f.tests]:
            failed = ctest(build, label, jobs, timeout, log)
            if failed:
                return "caught", failed
        return "survived", ""
    finally:
        path.write_bytes(original)
        # A new timestamp, so that the next build recompiles the restored file.
        os.utime(path, ns=(stat.st_atime_ns, time.time_ns()))


def main():
    parser = argparse.ArgumentParser(description=__doc__,
                                     formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--list", action="store_true", help="list the faults and stop")
    parser.add_argument("--only", help="only these faults (comma-separated ids)")
    parser.add_argument("--folder", help="only the faults in this source folder (usb, "
                        "platform/win32, ...; a prefix such as platform takes all below it)")
    parser.add_argument("--jobs", type=int, default=int(os.environ.get("JOBS", 2)),
                        help="parallel build jobs (default $JOBS or 2)")
    parser.add_argument("--timeout", type=int, default=120,
                        help="seconds a test may run before it counts as hanging (default 120)")
    where = parser.add_mutually_exclusive_group()
    where.add_argument("--tree", help="mutate this git working tree instead of the repository")
    where.add_argument("--rev", help="mutate this git revision of the repository")
    parser.add_argument("--out", default=str(REPO / "build-mutants"),
                        help="scratch folder (default build-mutants)")
    args = parser.parse_args()

    faults = FAULTS
    if args.only:
        ids = args.only.split(",")
        unknown = [i for i in ids if i not in {f.id for f in FAULTS}]
        if unknown:
            print(f"mutants: no fault {', '.join(unknown)}; --list shows them", file=sys.stderr)
            return 2
        faults = [f for f in FAULTS if f.id in ids]
    if args.folder:
        folder = args.folder.strip("/")
        faults = [f for f in faults if f.folder == folder or f.folder.startswith(folder + "/")]
        if not faults:
            print(f"mutants: no fault in folder {folder}; --list shows them", file=sys.stderr)
            return 2
    if args.list:
        for f in faults:
            print(f"{f.id:40} {f.file}\n{'':40} {f.description}")
        return 0

    out = Path(args.out).resolve()
    src, log = out / "src", out / "log.txt"
    build = src / "build"
    src.mkdir(parents=True, exist_ok=True)
    log.write_text("")
    files = source_files(args)
    sync(files, src)
    errors = table_errors(src)
    if errors:
        print("mutants: the table of faults is wrong:", *errors, sep="\n  ", file=sys.stderr)
        return 2

    started = time.time()
    print(f"mutants: {len(faults)} faults; building the unmutated tree in {build} (log: {log})",
          flush=True)
    configured = (build / "CMakeCache.txt").is_file() or configure(src, build, log) == 0
    if not configured or run(["cmake", "--build", build, "-j", str(args.jobs)], log) != 0:
        print(f"mutants: the unmutated tree does not build; see {log}", file=sys.stderr)
        return 1

    # The test folders: every ctest test carries its folder below tests/ as its label.
    listed = subprocess.run(["ctest", "--print-labels"], cwd=build, capture_output=True,
                            text=True).stdout
    labels = [line.strip() for line in listed.splitlines()[1:] if line.strip()]
    if not labels:
        print("mutants: the tree's tests carry no labels of their folders (tests/CMakeLists.txt)",
              file=sys.stderr)
        return 1

    results = []
    for k, f in enumerate(faults, 1):
        t0 = time.time()
        outcome, detail = try_fault(f, src, build, labels, args.jobs, args.timeout, log)
        seconds = round(time.time() - t0)
        results.append((f, outcome, detail, seconds))
        text = {"caught": f"caught by {detail}", "survived": "SURVIVED",
                "did-not-compile": "DOES NOT COMPILE (an error in the table)"}[outcome]
        print(f"[{k}/{len(faults)}] {f.id} ... {text} ({seconds} s)", flush=True)

    width = max(len(f.id) for f in faults)
    lines = [f"{f.id:{width}}  {outcome:15}  {seconds:4} s  {detail}"
             for f, outcome, detail, seconds in results]
    counts = {o: sum(r[1] == o for r in results)
              for o in ("caught", "survived", "did-not-compile")}
    total = round(time.time() - started)
    lines.append(f"{counts['caught']} caught, {counts['survived']} survived, "
                 f"{counts['did-not-compile']} did not compile, of {len(results)}; {total} s")
    print("\n" + "\n".join(lines))
    (out / "results.txt").write_text("\n".join(lines) + "\n")
    print(f"(also in {out / 'results.txt'})")
    return 2 if counts["did-not-compile"] else 0


if __name__ == "__main__":
    try:
        sys.exit(main())
    except KeyboardInterrupt:
        sys.exit("mutants: interrupted (the mutated file is restored)")
