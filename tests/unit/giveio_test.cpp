// SPDX-License-Identifier: GPL-2.0-or-later
// The driver service on the Windows NT family, branch by branch, against the platform double.
#include "hw/giveio.h"

#include <gtest/gtest.h>

#include "helpers/fake_platform.h"
#include "helpers/temp_dir.h"

namespace {

const char* kDestination = "C:\\WINDOWS\\system32\\DRIVERS\\giveio.sys";
const char* kSource = "C:\\velmora\\giveio.sys";
const std::string kManagerOpened = "GIVEIO: Open SC-Manager->Success\n";
const std::string kInstallPaths =
    "GIVEIO: install_giveio->cwd: C:\\velmora\\giveio.sys, dst: "
    "C:\\WINDOWS\\system32\\DRIVERS\\giveio.sys\n";

class GiveIo : public ::testing::Test {
  protected:
    GiveIo() {
        giveio_error = 0;
        os.family = OsFamily::Windows;
        os.messages = {{5, "Access is denied.\r\n"},
                       {1060, "The specified service does not exist as an installed service.\r\n"},
                       {1058, "The service cannot be started.\r\n"},
                       {1073, "The specified service already exists.\r\n"}};
    }
    std::string log() { return read_file("velmora.deb"); }

    TempWorkDir dir;
    FakePlatform os;
    ScopedPlatform installed{os};
};

TEST_F(GiveIo, ARunningServiceOnlyNeedsTheDeviceOpened) {
    os.service_exists = true;
    os.service_state = SERVICE_STATE_RUNNING;
    EXPECT_EQ(open_giveio(), 0u);
    EXPECT_EQ(log(), kManagerOpened +
                         "GIVEIO: Service giveio exists\nGIVEIO: Service giveio is running\n");
    ASSERT_FALSE(os.calls.empty());
    EXPECT_EQ(os.calls.back(), "open_device \\\\.\\giveio");
    EXPECT_EQ(std::count(os.calls.begin(), os.calls.end(), "start_service"), 0);
}

TEST_F(GiveIo, AStoppedServiceIsStarted) {
    os.service_exists = true;
    os.start_results = {true};
    EXPECT_EQ(open_giveio(), 0u);
    EXPECT_EQ(log(), kManagerOpened +
                         "GIVEIO: Service giveio exists\n"
                         "GIVEIO: start_giveio: Service giveio running\n");
}

TEST_F(GiveIo, AServiceThatWillNotStartIsReinstalled) {
    os.service_exists = true;
    os.start_results = {false, true};
    os.existing_files = {kDestination};
    EXPECT_EQ(open_giveio(), 0u);
    EXPECT_EQ(log(), kManagerOpened +
                         "GIVEIO: Service giveio exists\n"
                         "GIVEIO: Starting service giveio failed, status: The service cannot be "
                         "started.\r\n\n"
                         "GIVEIO: Start service giveio failed, trying to re-install\n" +
                         kInstallPaths +
                         "GIVEIO: start_giveio: Service giveio running\n"
                         "GIVEIO: Re-install->Success, service started\n");
    EXPECT_NE(std::find(os.calls.begin(), os.calls.end(), "delete_service"), os.calls.end());
    EXPECT_TRUE(os.copies.empty());  // the driver in place is used as it is
}

TEST_F(GiveIo, AFailedReinstallReportsTheCopyOrLeavesItToTheDevice) {
    // The driver can be neither found nor copied: code 7.
    os.service_exists = true;
    EXPECT_EQ(open_giveio(), 7u);
    EXPECT_EQ(giveio_error, 7u);
    EXPECT_EQ(os.copies, std::vector<std::string>{std::string(kSource) + " -> " + kDestination});
    EXPECT_NE(
        log().find("GIVEIO: giveio.sys not found in C:\\WINDOWS\\system32\\DRIVERS\\giveio.sys"
                   ", trying to copy.\nGIVEIO: Copying giveio.sys failed\n"),
        std::string::npos);

    // Installed again but it still will not start: giveio_error is 0, so the device decides.
    giveio_error = 0;
    os.service_exists = true;
    os.existing_files = {kDestination};
    os.device_opens = false;
    EXPECT_EQ(open_giveio(), 8u);
    EXPECT_NE(log().find("I2C-WIN: Can't get GiveIO-Handle\n"), std::string::npos);
}

TEST_F(GiveIo, AMissingServiceIsInstalledFromTheWorkingDirectoryAndStarted) {
    os.existing_files = {kSource};
    os.start_results = {true};
    EXPECT_EQ(open_giveio(), 0u);
    EXPECT_EQ(os.created_image_path, kDestination);
    EXPECT_EQ(log(), kManagerOpened +
                         "GIVEIO: Service giveio not found, status: The specified service does "
                         "not exist as an installed service.\r\n\n"
                         "GIVEIO: Service does not exist, trying to install\n" +
                         kInstallPaths +
                         "GIVEIO: giveio.sys not found in "
                         "C:\\WINDOWS\\system32\\DRIVERS\\giveio.sys, trying to copy.\n"
                         "GIVEIO: Install->Success, trying to start service giveio\n"
                         "GIVEIO: start_giveio: Service giveio running\n");
    EXPECT_EQ(giveio_error, 0u);
}

TEST_F(GiveIo, AFreshInstallThatFailsGivesUnknownError) {
    // The service cannot be created.
    os.existing_files = {kDestination};
    os.create_succeeds = false;
    EXPECT_EQ(open_giveio(), 1u);
    EXPECT_NE(log().find("GIVEIO: Creating service giveio failed, status: The specified service "
                         "already exists.\r\n\nGIVEIO: Install service giveio failed, status: "),
              std::string::npos);

    // Created, but it does not come up running: no status line from the start itself.
    std::remove("velmora.deb");
    os.create_succeeds = true;
    os.service_exists = false;
    os.start_results = {true};
    os.state_after_start = 2;  // start pending
    EXPECT_EQ(open_giveio(), 1u);
    EXPECT_EQ(giveio_error, 1u);
    const std::string text = log();
    EXPECT_NE(text.find("GIVEIO: Install->Success, trying to start service giveio\n"
                        "GIVEIO: Starting service giveio failed, status: "),
              std::string::npos);
    EXPECT_EQ(std::count(os.calls.begin(), os.calls.end(), "open_device \\\\.\\giveio"), 0);
}

TEST_F(GiveIo, OpeningTheServiceDeniedOrTheManagerMissingEndsEarly) {
    os.open_service_error = OS_ERROR_ACCESS_DENIED;
    EXPECT_EQ(open_giveio(), 4u);
    EXPECT_EQ(log(), kManagerOpened +
                         "GIVEIO: Service giveio not found, status: Access is denied.\r\n\n"
                         "GIVEIO: Open Service->Access denied\n");

    std::remove("velmora.deb");
    os.manager_opens = false;
    EXPECT_EQ(open_giveio(), 3u);
    EXPECT_FALSE(file_exists("velmora.deb"));
}

TEST_F(GiveIo, OtherOpenErrorsLeaveTheOutcomeToTheDevice) {
    os.open_service_error = 6;  // invalid handle
    EXPECT_EQ(open_giveio_service(), 0u);
    EXPECT_EQ(open_giveio(), 0u);
    os.device_opens = false;
    EXPECT_EQ(open_giveio(), 8u);
    EXPECT_EQ(std::count(os.calls.begin(), os.calls.end(), "start_service"), 0);
}

}  // namespace
