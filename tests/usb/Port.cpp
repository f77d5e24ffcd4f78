// Finding and opening the driver's device, closing it, and who owns the received bytes.
#include "usb/UsbTestKit.h"

#include "usb/DriverInterface.h"

#include <optional>

using namespace usbtest;

class PortTest : public UsbTest {};
USB_COMPLETION_MODES(PortTest);

// Whether someone holds the device: an open that shares nothing fails while anyone does.
static bool DeviceHeld() {
    return !testsupport::Port(true, 0).Ok();
}

TEST_P(PortTest, OpensTheFirstInterfaceAndClosesTheOpenPortFirst) {
    EXPECT_EQ(std::string(m_comm.GetDevicePath(GUID_USBCOMM_INTERFACE, 0)),
              emu::DevicePath(m_deviceId));
    EXPECT_TRUE(m_comm.GetDevicePath(GUID_USBCOMM_INTERFACE, 1).IsEmpty());
    ASSERT_EQ(m_comm.OpenPort(m_window, nullptr), 0);
    EXPECT_TRUE(DeviceHeld());
    ASSERT_EQ(m_comm.OpenPort(m_window, &m_cancel), 0);
    EXPECT_EQ(m_comm.ClosePort(), 0);
    EXPECT_FALSE(m_comm.IsOpen());
    EXPECT_FALSE(DeviceHeld()); // neither open is left behind
    EXPECT_EQ(m_comm.QueryStatus(1), -14);
}

TEST_P(PortTest, RefusesAHeldDeviceAnInvalidWindowAndAMissingDevice) {
    HWND gone =
        CreateWindowExA(0, "Static", "", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr);
    DestroyWindow(gone);
    for (HWND window : {m_window, HWND(NULL), gone}) {
        std::optional<testsupport::Port> exclusive; // holds the device without sharing
        if (window == m_window)
            exclusive.emplace(true, 0);
        EXPECT_EQ(m_comm.OpenPort(window, &m_cancel), -3);
        EXPECT_FALSE(m_comm.IsOpen());
    }
    EXPECT_FALSE(DeviceHeld()); // the device opened before the window failed is closed
    m_machine->Unplug();
    EXPECT_EQ(m_comm.OpenPort(m_window, &m_cancel), -17);
    m_machine->Plug();
    plug::SelectMachine(std::shared_ptr<machine::Endpoint>());
    EXPECT_EQ(m_comm.OpenPort(m_window, &m_cancel), -17);
    EXPECT_FALSE(m_comm.IsOpen());
}

TEST_P(PortTest, ReceiveBufferBelongsToTheLastReception) {
    std::vector<uint8_t> bytes(1000, 0x3C);
    PutFile("A.BIN", bytes);
    PutFile("EMPTY.BIN", {});
    Open();
    ASSERT_EQ(m_comm.ReceiveDesign(1, "A.BIN", &m_nDetail), 0);
    EXPECT_FALSE(m_comm.PrepareReceiveBuffer(0)); // keeps the bytes not yet taken
    EXPECT_EQ(Received(), bytes);
    EXPECT_EQ(m_comm.DetachReceived(), nullptr); // taken once only

    ASSERT_EQ(m_comm.ReceiveDesign(1, "A.BIN", &m_nDetail), 0);
    m_comm.DiscardReceived();
    EXPECT_EQ(m_comm.DetachReceived(), nullptr);

    // A zero-length reception leaves nothing, not the bytes of the one before.
    ASSERT_EQ(m_comm.ReceiveDesign(1, "A.BIN", &m_nDetail), 0);
    ASSERT_EQ(m_comm.ReceiveDesign(1, "EMPTY.BIN", &m_nDetail), 0);
    DWORD length = 7;
    EXPECT_EQ(m_comm.DetachReceived(&length), nullptr);
    EXPECT_EQ(length, 0u);
    // Bytes left in the object are released with it (the sanitizer build checks).
    ASSERT_EQ(m_comm.ReceiveDesign(1, "A.BIN", &m_nDetail), 0);
}
