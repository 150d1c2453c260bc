// The keys of skin.xml: the element paths as the section readers select them
// and the skin check (SkinCheck.h) walks them, and how much of a text the
// readers keep. The readers and the check take both from here, so a key the
// readers learn is a key the check knows.
#pragma once

#include <cstddef>

#include "config/SkinRecords.h"

namespace kivra {

namespace skinpath {
constexpr wchar_t kRoot[] = L"skin";  // the root: only the sections below it are read
constexpr wchar_t kDescription[] = L"skin/description";
constexpr wchar_t kDescriptionSkinName[] = L"skin/description/skin-name";
constexpr wchar_t kDescriptionVersion[] = L"skin/description/version";
constexpr wchar_t kDescriptionCompany[] = L"skin/description/company";
constexpr wchar_t kDescriptionUrl[] = L"skin/description/URL";
constexpr wchar_t kDescriptionPreview[] = L"skin/description/preview";  // required: it makes a folder a skin
constexpr wchar_t kAccelerator[] = L"skin/accelerator";
constexpr wchar_t kAcceleratorKey[] = L"skin/accelerator/key";
constexpr wchar_t kToolBar[] = L"skin/tool-bar";  // the skin buttons' shared faces
constexpr wchar_t kToolBarButton[] = L"skin/tool-bar/button";
constexpr wchar_t kTitleBar[] = L"skin/title-bar";
constexpr wchar_t kTitleBarImage[] = L"skin/title-bar/image";
constexpr wchar_t kTitleBarButton[] = L"skin/title-bar/button";
constexpr wchar_t kStatusBar[] = L"skin/status-bar";
constexpr wchar_t kStatusBarItem[] = L"skin/status-bar/item";
constexpr wchar_t kBackground[] = L"skin/backgroud";  // spelled so
constexpr wchar_t kBackgroundImage[] = L"skin/backgroud/image";
constexpr wchar_t kMainFrame[] = L"skin/main-frame";
constexpr wchar_t kMainFrameAbnormalWindow[] = L"skin/main-frame/abnormal-window";
constexpr wchar_t kMainFrameMaskColor[] = L"skin/main-frame/mask-color";
constexpr wchar_t kMainFrameWindowSize[] = L"skin/main-frame/window-size";
constexpr wchar_t kMainFramePanelRect[] = L"skin/main-frame/panel-rect";
constexpr wchar_t kMainFramePluginWindowSameSize[] = L"skin/main-frame/plugin-window-same-size";
constexpr wchar_t kMainFrameFitSizeToPlugin[] = L"skin/main-frame/fit-size-to-plugin";
constexpr wchar_t kMainFrameStartService[] = L"skin/main-frame/start-service";
constexpr wchar_t kLoadOrderSection[] = L"skin/backgroudmain-frame";  // spelled so
constexpr wchar_t kLoadOrder[] = L"skin/backgroudmain-frame/load-plugin-order";
constexpr wchar_t kMenu[] = L"skin/menu";
constexpr wchar_t kMenuItem[] = L"skin/menu/item";
constexpr wchar_t kMenuSeparator[] = L"skin/menu/separator";
constexpr wchar_t kTool[] = L"skin/tool";  // one tool bar of the tool area
constexpr wchar_t kToolItem[] = L"skin/tool/item";
constexpr wchar_t kToolSeparator[] = L"skin/tool/separator";
constexpr wchar_t kPlugin[] = L"skin/plugin";
constexpr wchar_t kPluginControl[] = L"skin/plugin/control";
constexpr wchar_t kMaxWindow[] = L"skin/max-window-service";
constexpr wchar_t kMaxWindowSize[] = L"skin/max-window-service/max-window-size";
constexpr wchar_t kMaxWindowPanelRect[] = L"skin/max-window-service/max-panel-rect";
constexpr wchar_t kMaxWindowGetPanelService[] = L"skin/max-window-service/get_max_panel-service";
constexpr wchar_t kMaxWindowRightButtonService[] = L"skin/max-window-service/right-button-service";
constexpr wchar_t kMaxWindowBackImage[] = L"skin/max-window-service/max-back-image";
constexpr wchar_t kMaxWindowBackImagePiece[] = L"skin/max-window-service/max-back-image/image";
constexpr wchar_t kNotifier[] = L"skin/notifier-window";
constexpr wchar_t kNotifierTextRect[] = L"skin/notifier-window/text-rect";
constexpr wchar_t kNotifierImage[] = L"skin/notifier-window/image";
constexpr wchar_t kFloatDlg[] = L"skin/float-dlg";
constexpr wchar_t kFloatDlgShowWindow[] = L"skin/float-dlg/show-window";
constexpr wchar_t kFloatDlgEnableMenuItem[] = L"skin/float-dlg/enable-menu-item";
constexpr wchar_t kFloatDlgNormalLayer[] = L"skin/float-dlg/normal-transparent-layer";
constexpr wchar_t kFloatDlgHoverLayer[] = L"skin/float-dlg/hover-transparent-layer";
constexpr wchar_t kFloatDlgBackgroundImage[] = L"skin/float-dlg/backgroud-image";  // spelled so
}  // namespace skinpath

// Characters the readers keep of a text: names, texts and service paths in
// the records' 64-unit fields; a tool item's name; the plugin load order.
constexpr size_t kSkinTextChars = kSkinTextSize - 1;             // 63
constexpr size_t kToolItemNameChars = kToolItemNameSize - 1;     // 127
constexpr size_t kLoadOrderUnits = 1024;
constexpr size_t kLoadOrderChars = kLoadOrderUnits - 1;          // 1023

}  // namespace kivra
