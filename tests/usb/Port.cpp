// Finding and opening the driver's device, closing it, and who owns the received bytes.
#include "usb/UsbTestKit.h"

#include "usb/DriverInterface.h"

#include <optional>

using namespace usbtest;

TEST(UsbInterface, DriverNumbersAreTheMachines) {
    GUID machineClass = plug::MachineInterfaceClass();
    EXPECT_EQ(memcmp(&machineClass, &GUID_USBCOMM_INTERFACE, sizeof(GUID)), 0);
    const uint32_t pairs[][2] = {{IOCTL_USBCOMM_STATUS, machine::kStatus},
                                 {IOCTL_USBCOMM_CHANGE_FOLDER, machine::kChangeFolder},
                                 {IOCTL_USBCOMM_READ_FOLDER_LIST, machine::kReadFolderList},
                                 {IOCTL_USBCOMM_SEND_DESIGN_NAME, machine::kSendDesignName},
                                 {IOCTL_USBCOMM_SEND_DESIGN_DATA, machine::kSendDesignData},
                                 {IOCTL_USBCOMM_RECEIVE_DESIGN_NAME, machine::kReceiveDesignName},
                                 {IOCTL_USBCOMM_RECEIVE_DESIGN_DATA, machine::kReceiveDesignData},
                                 {IOCTL_USBCOMM_DELETE_NAME, machine::kDeleteName},
                                 {IOCTL_USBCOMM_DELETE_START, machine::kDeleteStart},
                                 {IOCTL_USBCOMM_RENAME_NAME, machine::kRenameName},
                                 {IOCTL_USBCOMM_RENAME_DATA, machine::kRenameData},
                                 {IOCTL_USBCOMM_FOLDER_COMMAND_NAME, machine::kFolderCommandName},
                                 {IOCTL_USBCOMM_FOLDER_COMMAND_DATA, machine::kFolderCommandData},
                                 {IOCTL_USBCOMM_SERVICE_ANSWER, machine::kServiceAnswer},
                                 {IOCTL_USBCOMM_SERVICE_REQUEST, machine::kServiceRequest},
                                 {USBCOMM_REQUEST_SIZE, machine::kRequestSize},
                                 {USBCOMM_REPLY_SIZE, machine::kReplySize},
                                 {USBCOMM_BLOCK_SIZE, machine::kBlockSize},
                                 {USBCOMM_REPLY_DETAIL, machine::kReplyDetail},
                                 {USBCOMM_REPLY_STATE, machine::kReplyState},
                                 {USBCOMM_REPLY_SUBSTATUS, machine::kReplySubStatus},
                                 {USBCOMM_REPLY_LENGTH16, machine::kReplyLength16},
                                 {USBCOMM_REPLY_LENGTH32, machine::kReplyLength32},
                                 {USBCOMM_REPLY_ACK, machine::kReplyAck},
                                 {USBCOMM_REFUSED, machine::kRefused},
                                 {USBCOMM_READY, machine::kReady},
                                 {USBCOMM_STATE_RUNNING, machine::kStateRunning}};
    for (size_t i = 0; i < std::size(pairs); ++i)
        EXPECT_EQ(pairs[i][0], pairs[i][1]) << i;
}

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
