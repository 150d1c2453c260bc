// COM for the test's thread, for as long as the object lives.
#pragma once

#include <windows.h>
#include <objbase.h>

namespace kivra::testing {

// Initialises COM for the test's thread and balances it afterwards.
class ComScope {
public:
    ComScope() : result_(::CoInitialize(nullptr)) {}
    ~ComScope()
    {
        if (SUCCEEDED(result_))
            ::CoUninitialize();
    }
    ComScope(const ComScope&) = delete;
    ComScope& operator=(const ComScope&) = delete;
    bool ok() const { return SUCCEEDED(result_); }

private:
    HRESULT result_;
};

}  // namespace kivra::testing
