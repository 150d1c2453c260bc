#include "framework/DiskFile.h"

#include "tests/support/TestProgram.h"

#include <gtest/gtest.h>

namespace kivra {
namespace {

TEST(DiskFileTest, DeviceNamesAreToldInAnyPartCaseAndExtension)
{
    const std::pair<const wchar_t*, bool> cases[] = {
        {L"COM1", true},     {L"com9.bmp", true},  {L"C:\\skin\\Aux.xml", true}, {L"nul", true},
        {L"CON.tar.gz", true}, {L"LPT1 .gif", true}, {L"prn:", true},          {L"COM\u00B9.jpg", true},
        {L"x\\conin$", true}, {L"C:\\COM1\\skin.xml", true}, {L"COM10", false}, {L"COM", false},
        {L"console.bmp", false}, {L"aux1.xml", false}, {L"C:\\skin\\back.bmp", false}, {L"", false},
    };
    for (const auto& [path, device] : cases)
        EXPECT_EQ(NamesDevice(path), device) << ::testing::PrintToString(std::wstring(path));
    EXPECT_FALSE(NamesDevice(nullptr));
}

TEST(DiskFileTest, OnlyExistingRegularFilesCount)
{
    const std::wstring self = kivra::testing::TestProgramFolder() + L"framework_tests.exe";
    EXPECT_TRUE(IsRegularDiskFile(self.c_str()));
    EXPECT_FALSE(IsRegularDiskFile(kivra::testing::TestProgramFolder().c_str())) << "a folder";
    EXPECT_FALSE(IsRegularDiskFile((kivra::testing::TestProgramFolder() + L"absent.bin").c_str()));
    EXPECT_FALSE(IsRegularDiskFile((kivra::testing::TestProgramFolder() + L"NUL").c_str()));
    // Wine shows Unix character devices and pipes as files with a folder path.
    EXPECT_FALSE(IsRegularDiskFile(L"Z:\\dev\\zero"));
    EXPECT_EQ(LoadIconFile(L"COM1.ico"), nullptr);
}

}  // namespace
}  // namespace kivra
