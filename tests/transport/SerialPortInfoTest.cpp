// What the port list tells about each COM number: device, adapter, serial number and why a port
// that exists cannot be opened, on pseudo-terminals and a udev database the test writes.
#include "transport/SerialPortInfo.h"
#include "transport/SerialPortPosix.h"

#include "PtyFixture.h"

#include <cerrno>
#include <fstream>
#include <map>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>

namespace relvane
{
namespace
{

using EState = CPortDescription::EState;

TEST(SerialPortInfo, OpenErrorsNameTheirReason)
{
    const std::pair<int, EState> cases[] = {
        {EACCES, EState::NoPermission}, {EPERM, EState::NoPermission}, {EBUSY, EState::Busy},
        {ENOENT, EState::Missing},      {ENXIO, EState::Missing},      {EIO, EState::Failed},
    };
    for (const auto& [nErrno, eState] : cases)
        EXPECT_EQ(StateOfOpenError(nErrno), eState) << nErrno;
}

TEST(SerialPortInfo, UdevRecordGivesAdapterAndSerialNumber)
{
    const struct
    {
        const char* pszRecord;
        const char* pszAdapter;
        const char* pszSerial;
    } cases[] = {
        {"S:serial/by-id/x\nE:ID_VENDOR=FTDI\nE:ID_MODEL=FT232R_USB_UART\nE:ID_SERIAL_SHORT=A1B2C3\n",
         "FTDI FT232R USB UART", "A1B2C3"},
        {"E:ID_VENDOR=1a86\nE:ID_VENDOR_FROM_DATABASE=QinHeng Electronics\nE:ID_MODEL=USB_Serial\n"
         "E:ID_MODEL_FROM_DATABASE=CH340 serial converter\n",
         "QinHeng Electronics CH340 serial converter", ""},
        {"E:ID_MODEL=cdc_acm\n", "cdc acm", ""},
        {"", "", ""},
    };
    for (const auto& test : cases)
    {
        std::string strAdapter = "old";
        std::string strSerial = "old";
        ReadUdevProperties(test.pszRecord, strAdapter, strSerial);
        EXPECT_EQ(strAdapter, test.pszAdapter) << test.pszRecord;
        EXPECT_EQ(strSerial, test.pszSerial) << test.pszRecord;
    }
}

using SerialPortInfoTest = test::PtyFixture;

TEST_F(SerialPortInfoTest, PortsThatExistAreDescribedWithTheirStateAndAdapter)
{
    OpenPty(120);
    OpenPty(121);
    OpenPty(124);
    MapPort(122, (m_root / "gone").string());
    MapPort(123, "/dev/null");
    // Another program holds COM121.
    const int nHeld = open(PortEntry(121).c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    ASSERT_GE(nHeld, 0);
    ASSERT_EQ(flock(nHeld, LOCK_EX | LOCK_NB), 0);

    // udev knows COM120's device; COM124's is known only by a stable name.
    CPortInfoRoots roots;
    roots.strUdevData = (m_root / "udev").string();
    roots.strById = (m_root / "by-id").string();
    std::filesystem::create_directories(roots.strUdevData);
    std::filesystem::create_directories(roots.strById);
    struct stat info = {};
    ASSERT_EQ(stat(PortEntry(120).c_str(), &info), 0);
    std::ofstream(roots.strUdevData + "/c" + std::to_string(major(info.st_rdev)) + ":" +
                  std::to_string(minor(info.st_rdev)))
        << "E:ID_VENDOR=FTDI\nE:ID_MODEL=FT232R\nE:ID_SERIAL_SHORT=A1B2C3\n";
    std::filesystem::create_symlink(std::filesystem::read_symlink(PortEntry(124)),
                                    std::filesystem::path(roots.strById) / "usb-Prolific_PL2303-if00-port0");

    std::map<int, CPortDescription> found;
    for (const CPortDescription& port : DescribePorts(roots))
    {
        if (port.nPort >= 120 && port.nPort <= 124)
            found[port.nPort] = port;
    }
    close(nHeld);
    ASSERT_EQ(found.size(), 5u);
    const struct
    {
        int nPort;
        EState eState;
        const char* pszAdapter;
        const char* pszSerial;
    } expected[] = {
        {120, EState::Available, "FTDI FT232R", "A1B2C3"},
        {121, EState::Busy, "", ""},
        {122, EState::Missing, "", ""},
        {123, EState::NotSerial, "", ""},
        {124, EState::Available, "usb-Prolific_PL2303-if00-port0", ""},
    };
    for (const auto& port : expected)
    {
        const CPortDescription& described = found[port.nPort];
        SCOPED_TRACE(port.nPort);
        EXPECT_EQ(described.eState, port.eState);
        EXPECT_EQ(described.strDevice, PortEntry(port.nPort).string());
        EXPECT_EQ(described.strAdapter, port.pszAdapter);
        EXPECT_EQ(described.strSerialNumber, port.pszSerial);
    }
    EXPECT_EQ(found[120].strTarget, std::filesystem::read_symlink(PortEntry(120)).string());
    EXPECT_EQ(found[122].strTarget, (m_root / "gone").string());
}

} // namespace
} // namespace relvane
