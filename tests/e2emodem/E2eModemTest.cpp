// The demo product with a modem, end to end: a copy of the demo (its sample
// plugins and its database) runs with the probe plugin inside, and the
// simulated modem of e2e-modem.txt is plugged in once it runs
// (run-e2emodem.sh starts the simulator when the file "plug-modem" appears
// in the working folder). The connection panel must then show the modem's
// network, and the message that arrives must come to the top of the
// messages panel's list and raise the notifier.
//
// The panels paint their labels and the notifier paints its message, and
// the list is virtual: the probe reads them from inside Kivra.exe (the
// texts connect.dll and Kivra.exe draw, the list's rows as it answers
// LVM_GETITEMTEXTW).
#include "tests/e2e/KivraRun.h"

#include <gtest/gtest.h>

#include <commctrl.h>

#include <string>
#include <vector>

using namespace kivra::e2e;

namespace {

constexpr wchar_t kDemoTitle[] = L"Kivra Mobile Broadband";
// As e2e-modem.txt has them.
constexpr char kOperator[] = "Fjordlys Telecom";
constexpr char kSender[] = "+4799887766";
constexpr char kArrivingText[] = "Ferry leaves at 17:40 from quay 3, bring the blue umbrella";
// The demo's English text of IDS_NOTIFY_NEW_SMS.
constexpr char kNewMessageNotice[] = "You have a new text message.";

// The simulator finds its line 15 s after it starts; Kivra looks for a modem
// every 5 s while it has none. Both waits have room to spare.
constexpr DWORD kOperatorShownMs = 30000;
constexpr DWORD kMessageListedMs = 45000;
constexpr DWORD kNotifierDrawnMs = 10000;
constexpr DWORD kPollMs = 250;

constexpr char kProbeTag[] = "probe_a ";

// The rows the probe logged for its last kProbeListRows call.
std::vector<std::string> LastRows(const std::wstring& log)
{
    const std::string rowsLine = std::string(kProbeTag) + "rows ";
    const std::string rowLine = std::string(kProbeTag) + "row ";
    std::vector<std::string> rows;
    for (const std::string& line : ReadLines(log)) {
        if (line.compare(0, rowsLine.size(), rowsLine) == 0)
            rows.clear();
        else if (line.compare(0, rowLine.size(), rowLine) == 0)
            rows.push_back(line.substr(rowLine.size()));
    }
    return rows;
}

bool Contains(const std::vector<std::string>& rows, const std::string& text)
{
    for (const std::string& row : rows)
        if (row.find(text) != std::string::npos)
            return true;
    return false;
}

// The sms panel's list, made (with its rows) once the main window is up.
HWND MessageList(HWND main)
{
    HWND panel = FindWindowExW(main, nullptr, L"KivraSmsPanel", nullptr);
    HWND list = nullptr;
    for (DWORD start = GetTickCount(); panel != nullptr && list == nullptr && GetTickCount() - start < 5000; Sleep(50))
        list = FindWindowExW(panel, nullptr, WC_LISTVIEWW, nullptr);
    return list;
}

// Tells run-e2emodem.sh to start the simulator.
bool PlugInTheModem()
{
    wchar_t folder[MAX_PATH];
    const DWORD n = GetCurrentDirectoryW(MAX_PATH, folder);
    return n > 0 && n < MAX_PATH - 16 && WriteTextFile(std::wstring(folder) + L"\\plug-modem", "now\n");
}

// One run of the demo: Kivra up with the probe recording, the modem plugged
// in, its network shown, then the message listed (or the time up).
class DemoModemTest : public ::testing::Test {
protected:
    void RunUntilTheMessageIsListed()
    {
        ASSERT_TRUE(product_.Ready());
        ASSERT_TRUE(CopyFileW((TestProgramFolder() + L"..\\e2e\\probes\\probe_a.dll").c_str(),
                              (product_.Folder() + L"plugins\\probe_a.dll").c_str(), FALSE));
        main_ = kivra_.StartAndWaitForWindow(product_.Folder(), kDemoTitle, log_);
        ASSERT_NE(main_, nullptr);
        ASSERT_TRUE(probe_.Find(kivra_.Id()));
        // The connection panel's labels, and the notifier's message.
        ASSERT_EQ(probe_.Call(kProbeRecordDrawnText, "", L"connect.dll"), 1);
        ASSERT_EQ(probe_.Call(kProbeRecordDrawnText, "", L"Kivra.exe"), 1);

        list_ = MessageList(main_);
        ASSERT_NE(list_, nullptr);
        before_ = ListRows();
        ASSERT_GT(before_, 0) << "the demo database's messages are not listed";
        ASSERT_FALSE(Contains(LastRows(log_), kArrivingText));

        ASSERT_TRUE(PlugInTheModem());
        operatorShown_ = WaitForLine(log_, std::string(kProbeTag) + "drawn connect.dll " + kOperator, kOperatorShownMs);

        const DWORD start = GetTickCount();
        do {
            count_ = ListRows();
            rows_ = LastRows(log_);
            if (Contains(rows_, kArrivingText))
                break;
            Sleep(kPollMs);
        } while (GetTickCount() - start < kMessageListedMs);
    }

    void TearDown() override { kivra_.CloseAndWait(main_); }

    int ListRows() { return probe_.Call(kProbeListRows, "", nullptr, static_cast<int>(reinterpret_cast<INT_PTR>(list_))); }

    DemoProductCopy product_{L"modem", DemoProductCopy::Database::kCopied};
    const std::wstring log_ = product_.Folder() + L"probe.log";
    KivraProcess kivra_;
    ProbeClient probe_;
    HWND main_ = nullptr;
    HWND list_ = nullptr;
    int before_ = 0;  // rows before the modem came
    int count_ = 0;   // and at the end
    bool operatorShown_ = false;
    std::vector<std::string> rows_;
};

// One run: the simulator is plugged in once for the whole program, so a
// second Kivra would find the message already on the SIM, not arriving.
// marvik posts the changed message cache (MODEM_CHANGED_MESSAGES) before
// MODEM_BUS_MESSAGE: the import of the first takes the message in, and the
// second must still announce it.
TEST_F(DemoModemTest, ShowsTheNetworkAndTheArrivingMessageOnTopOfTheListWithANotice)
{
    RunUntilTheMessageIsListed();
    if (HasFatalFailure())
        return;
    EXPECT_TRUE(operatorShown_) << "the connection panel never showed the network";
    ASSERT_FALSE(rows_.empty());
    // Newest first, and only once.
    EXPECT_EQ(count_, before_ + 1);
    EXPECT_EQ(rows_[0].find("0 " + std::string(kSender) + " | "), 0u) << rows_[0];
    EXPECT_NE(rows_[0].find(kArrivingText), std::string::npos) << rows_[0];
    EXPECT_TRUE(WaitForLine(log_, std::string(kProbeTag) + "drawn Kivra.exe " + kNewMessageNotice, kNotifierDrawnMs))
        << "no notification of the new message";
}

}  // namespace
