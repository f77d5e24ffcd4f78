// The error display: each code's message and icon under the caller's title, owned by the
// caller's window, OK only and topmost; the refusal details of -12; silence for success,
// cancellation and owners that are no window; -17 running the driver troubleshooting instead.
#include "driver/DriverTestKit.h"

#include "usb/CommError.h"

#include "support/DialogBuilder.h"

#include <gtest/gtest.h>

using drivertest::Screen;

namespace {

INT_PTR CALLBACK QuietProc(HWND, UINT, WPARAM, LPARAM) {
    return FALSE;
}

HWND CallersWindow() {
    static testsupport::DialogBuilder dialog(WS_POPUP | WS_CAPTION, "Caller");
    return ::CreateDialogIndirectParamA(NULL, dialog.Template(), NULL, &QuietProc, 0);
}

} // namespace

TEST(CommError, EachCodeAndRefusalDetailShowsItsMessageAndIcon) {
    const UINT stop = MB_ICONHAND, warn = MB_ICONEXCLAMATION;
    const struct {
        int code, detail;
        const char* text;
        UINT icon;
    } cases[] = {
        {-1, 33, "Communication time out.", stop}, // the detail counts only for -12
        {-3, 0, "Failed to initialize communication port.", stop},
        {-4, 0, "Received broken packet.", stop},
        {-5, 0, "Failed to send a packet.", stop},
        {-6, 0, "Invalid command is received.", stop},
        {-7, 0, "Failed to allocate memory.", stop},
        {-8, 0, "Failed to open the file.", stop},
        {-9, 0, "Failed to read a file.", stop},
        {-10, 0, "Failed to write a file.", stop},
        {-13, 0, "Failed to send a design.", stop},
        {-14, 0, "Command error.", stop},
        {-15, 0, "The broken file was found.", warn},
        {-16, 0, "Machine Running.", warn},
        {-99, 0, "Communication logic error.", warn},
        {-12, 33, "Machine Running.", warn},
        {-12, 64, "Cannot be registered.", warn},
        {-12, 96, "(Now preparing.)", warn},
        {-12, 97, "Cannot be received.", warn},
        {-12, 128, "Cannot be deleted.", warn},
        {-12, 0, "Communication error.", warn},
        {-12, 65, "Communication error.", warn},
        {5, 0, "No defined error.", warn},
        {-50, 0, "No defined error.", warn},
        {-2, 0, "No defined error.", warn},
    };
    HWND owner = CallersWindow();
    ASSERT_NE(nullptr, owner);
    Screen screen;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.code);
        EXPECT_EQ(IDOK, ShowCommError(owner, c.code, "Rename", c.detail));
        ASSERT_FALSE(screen.shown.empty());
        EXPECT_EQ(std::string("Rename: ") + c.text, screen.shown.back());
        EXPECT_EQ(MB_OK | c.icon | MB_TOPMOST, screen.types.back());
        EXPECT_EQ(owner, screen.owners.back());
    }
    EXPECT_EQ(sizeof cases / sizeof cases[0], screen.shown.size());
    ::DestroyWindow(owner);
}

TEST(CommError, SuccessCancellationAndOwnersThatAreNoWindowShowNothing) {
    HWND owner = CallersWindow();
    Screen screen;
    EXPECT_EQ(1, ShowCommError(owner, 0, "Status", 0));
    EXPECT_EQ(1, ShowCommError(owner, -11, "Status", 0));
    EXPECT_EQ(1, ShowCommError(NULL, -1, "Status", 0));
    EXPECT_EQ(1, ShowCommError(NULL, -12, "Status", 33));
    EXPECT_EQ(1, ShowCommError(NULL, 5, "Status", 0));
    ::DestroyWindow(owner);
    EXPECT_EQ(1, ShowCommError(owner, -3, "Status", 0));
    EXPECT_TRUE(screen.shown.empty());
}

TEST(CommError, MissingDriverInterfaceRunsTheTroubleshootingEvenWithoutOwner) {
    drivertest::Windows windows("7"); // nothing of the driver installed
    Screen screen;
    EXPECT_EQ(1, ShowCommError(NULL, -17, "Status", 0));
    HWND owner = CallersWindow();
    EXPECT_EQ(1, ShowCommError(owner, -17, "Status", 0));
    const std::string notFound =
        "Search USB Driver: The USB driver was not found. Install the USB driver.";
    const std::vector<std::string> expected = {"[Search USB Driver] Please wait . . .", notFound,
                                               "[Search USB Driver] Please wait . . .", notFound};
    EXPECT_EQ(expected, screen.shown);
    EXPECT_EQ((std::vector<HWND>{NULL, NULL, NULL, owner}), screen.owners);
    ::DestroyWindow(owner);
}
