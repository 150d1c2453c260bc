#include "dialogs/DialogText.h"

#include <vector>

#include "config/Configure.h"
#include "framework/Text.h"
#include "plugin/ManagerPlugin.h"

namespace kivra {

void TranslateInPlace(wchar_t* text, size_t capacity)
{
    if (text == nullptr || capacity == 0)
        return;
    if (CPluginInterface* manager = ManagerPluginInterface()) {
        TService service{};
        CopyText(service.szName, "manager/Configure/GetString");
        TParam param{};
        param.pszText = text;
        param.wParam = static_cast<WPARAM>(capacity);  // the service writes no further
        manager->CallService(&service, &param);
        return;
    }
    if (CConfigure* configure = ExistingConfigure())
        configure->Language().Translate(text, text, capacity);
}

void TranslateWindowText(HWND window, size_t capacity)
{
    if (window == nullptr || !::IsWindow(window) || capacity == 0)
        return;
    std::vector<wchar_t> text(capacity, 0);
    ::GetWindowTextW(window, text.data(), static_cast<int>(capacity));
    TranslateInPlace(text.data(), capacity);
    ::SetWindowTextW(window, text.data());
}

}  // namespace kivra
