// MessageBoxWatcher: answers one message box of this process from a thread
// of its own, for tests whose code under test blocks in MessageBoxW.
//
//   MessageBoxWatcher watcher(L"Are you sure to exit?", IDYES);
//   bool agreed = ConfirmExit(window);          // blocks until answered
//   EXPECT_TRUE(watcher.Seen());
//   EXPECT_EQ(watcher.Caption(), L"...");
#pragma once

#include <windows.h>

#include <atomic>
#include <string>
#include <thread>

#include "tests/support/DialogSearch.h"

namespace kivra::testing {

class MessageBoxWatcher {
public:
    // Waits up to timeoutMs for a dialog of this process holding a child
    // with exactly text, then presses the button with id answer.
    MessageBoxWatcher(std::wstring text, int answer, DWORD timeoutMs = 10000)
        : text_(std::move(text)), answer_(answer), timeoutMs_(timeoutMs), thread_([this] { Run(); })
    {
    }
    ~MessageBoxWatcher() { thread_.join(); }
    MessageBoxWatcher(const MessageBoxWatcher&) = delete;
    MessageBoxWatcher& operator=(const MessageBoxWatcher&) = delete;

    // Valid once the code that showed the box has returned.
    bool Seen() const { return seen_; }
    const std::wstring& Caption() const { return caption_; }
    // Whether the box had a button with this id.
    bool HadButton(int id) const { return id == IDOK ? hadOk_ : id == IDNO ? hadNo_ : false; }

private:
    void Run()
    {
        const DWORD start = GetTickCount();
        while (GetTickCount() - start < timeoutMs_) {
            HWND found = FindDialogWithChildText(GetCurrentProcessId(), text_.c_str(), true);
            if (found != nullptr) {
                wchar_t caption[512] = {};
                GetWindowTextW(found, caption, 512);
                caption_ = caption;
                hadOk_ = GetDlgItem(found, IDOK) != nullptr;
                hadNo_ = GetDlgItem(found, IDNO) != nullptr;
                seen_ = true;
                PostMessageW(found, WM_COMMAND, MAKEWPARAM(answer_, BN_CLICKED),
                             reinterpret_cast<LPARAM>(GetDlgItem(found, answer_)));
                return;
            }
            Sleep(50);
        }
    }

    std::wstring text_;
    int answer_;
    DWORD timeoutMs_;
    std::atomic<bool> seen_{false};
    std::wstring caption_;
    bool hadOk_ = false;
    bool hadNo_ = false;
    std::thread thread_;
};

}  // namespace kivra::testing
