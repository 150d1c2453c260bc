// kivra_plugin.h - the contract between Kivra.exe and its plugin libraries.
//
// A plugin is a 32-bit DLL in the plugins\ folder beside Kivra.exe. It links
// against libKivra.a (the import library of Kivra.exe) and exports, undecorated
// and __cdecl, the five entry points below. Their life cycle, in order:
//
//   1. GetPluginInfo(info)          fill in the plugin's name(s) and version.
//   2. CheckDependenceInfo(version) accept (true) or refuse (false) the host;
//                                   version is PLUGIN_HOST_VERSION.
//   3. LoadPlugin(iface, host)      register services on iface; true = loaded.
//   4. ... services are called on the user-interface thread ...
//   5. UnloadPlugin()               once at shutdown, newest plugin first.
//   ExecuteService must be exported but is never called by the host.
//
// Plugins meet each other and the shell only through named services: a
// TService record whose szName is a path such as "manager/ShowWaitDlg". One
// CallService may name several paths separated by blanks, commas or semicolons;
// they are called in order and the call stops at the first unknown one.
//
// Every record below crosses the module boundary by pointer; their 32-bit
// layouts are fixed and pinned by static_assert. Nothing is thrown across the
// boundary: results are integers (1 / non-zero = success, 0 = failure).
#pragma once

#include <windows.h>
#include <cstddef>

#if defined(KIVRA_BUILDING_HOST)
#define KIVRA_API __declspec(dllexport)
#else
#define KIVRA_API __declspec(dllimport)
#endif

// The host version handed to CheckDependenceInfo.
#define PLUGIN_HOST_VERSION 0x101000UL

// Export names of the plugin entry points, looked up with GetProcAddress.
#define KIVRA_ENTRY_GET_PLUGIN_INFO "GetPluginInfo"
#define KIVRA_ENTRY_CHECK_DEPENDENCE_INFO "CheckDependenceInfo"
#define KIVRA_ENTRY_LOAD_PLUGIN "LoadPlugin"
#define KIVRA_ENTRY_UNLOAD_PLUGIN "UnloadPlugin"
#define KIVRA_ENTRY_EXECUTE_SERVICE "ExecuteService"

// Width of every 8-bit name field (service paths, plugin names, command names)
// and of every short UTF-16 text field: 63 characters and a terminator.
enum { KIVRA_NAME_SIZE = 64 };

struct TService;
struct TParam;
class CPluginInterface;

// A service handler; its result is ignored by the registry. It receives the
// caller's record (with the single current name in szName) and the caller's
// parameter block, and answers by writing into either.
typedef int(__cdecl* TServiceHandler)(TService* service, TParam* param);

// One named service (80 bytes).
struct TService {
    char szName[KIVRA_NAME_SIZE];  // service path, at most 63 characters
    unsigned int uMessage;         // window message the service listens for, 0 for none
    TServiceHandler pfnHandler;    // null: a data record handed back to callers
    CPluginInterface* pInterface;  // the registering plugin (RegisterService fills it in)
    HWND hWnd;                     // window bound to / published with the service
};

// Thirteen 32-bit words of call arguments (52 bytes). Callers zero all of it
// before filling the words they use.
struct TParam {
    int nCode;        // code or flag; 5 when built from a window message
    WPARAM wParam;    // first integer argument / message wParam
    LPARAM lParam;    // second integer argument / message lParam
    int nReserved;    // always 0 from the shell
    int ptX;          // cursor x of the message
    int ptY;          // cursor y of the message
    int rcLeft;
    int rcTop;
    int rcRight;
    int rcBottom;
    int nExtra;       // not read by the shell
    wchar_t* pszText; // UTF-16 text input
    void* pData;      // record or handle, in or out depending on the service
};

// What a plugin says about itself (196 bytes).
struct PluginInfo {
    char szName[KIVRA_NAME_SIZE];        // plugin name(s); first segment of its service paths
    char szSecondName[KIVRA_NAME_SIZE];  // not read by the shell
    char szReserved[KIVRA_NAME_SIZE];    // not read by the shell
    unsigned long dwVersion;             // plugin version, not compared by the shell
};

typedef void(__cdecl* PFN_GetPluginInfo)(PluginInfo* info);
typedef bool(__cdecl* PFN_CheckDependenceInfo)(unsigned long hostVersion);
typedef bool(__cdecl* PFN_LoadPlugin)(CPluginInterface* iface, void* host);
typedef bool(__cdecl* PFN_UnloadPlugin)(void);
typedef int(__cdecl* PFN_ExecuteService)(TService* service, TParam* param);

// The host object of one bound plugin. The host owns it; the plugin gets a
// pointer in LoadPlugin and calls the three members on it.
class CPluginInterface {
public:
    void* pHost;        // the host main window object (second LoadPlugin argument)
    PluginInfo info;    // filled by the plugin's GetPluginInfo
    HMODULE hModule;    // the plugin library; null for the built-in plugin
    PFN_ExecuteService pfnExecuteService;
    PFN_UnloadPlugin pfnUnloadPlugin;
    PFN_GetPluginInfo pfnGetPluginInfo;
    PFN_LoadPlugin pfnLoadPlugin;
    PFN_CheckDependenceInfo pfnCheckDependenceInfo;

    // Stores a copy of *service under its szName, with pInterface set to this
    // object. Returns 1 when stored, 0 when a service of that name exists.
    KIVRA_API int RegisterService(TService* service);

    // Calls the service(s) named in service->szName with param. Returns 1 when
    // every name was found (or the list was empty), 0 at the first unknown name.
    // A name whose record has no handler copies the stored record over *service.
    KIVRA_API int CallService(TService* service, TParam* param);

    // Finds the newest bound plugin whose szName occurs inside info->szName and
    // copies its PluginInfo over *info. Returns true when found.
    KIVRA_API bool QueryPluginInfo(PluginInfo* info);
};

// ---------------------------------------------------------------------------
// Records of the skin's per-plugin section, filled by "manager/SelectPluginName"
// and released by "manager/DeletePluginRes".

// One control description of a plugin panel (364 bytes).
struct TPluginControl {
    char szName[KIVRA_NAME_SIZE];          // control name, 8-bit
    wchar_t szTooltip[KIVRA_NAME_SIZE];    // tooltip text id
    wchar_t szFontFace[KIVRA_NAME_SIZE];   // font face, empty for the default
    int nFontSize;
    COLORREF crFontColor;
    int nFontWeight;
    int bVisible;                          // 1 unless the skin says "false"
    RECT rect;                             // left, top, right, bottom
    HBITMAP hImageList;                    // image strip, or null
    int nImageWidth;
    int nImageHeight;
};

// A node of the control list: {next, previous, control}.
struct TPluginControlNode {
    TPluginControlNode* pNext;
    TPluginControlNode* pPrev;
    TPluginControl control;
};

// The control list object: a word neither side reads, the sentinel node, the
// element count. The sentinel's pNext is the first node and pPrev the last; an
// empty list's sentinel points at itself. The plugin owns the list object and
// its sentinel; the shell allocates the element nodes, appends them at the end
// and frees them again in "manager/DeletePluginRes".
struct TPluginControlList {
    unsigned long dwUnused;
    TPluginControlNode* pHead;  // the sentinel
    unsigned long nCount;
};

// Makes list an empty list around sentinel (which must outlive the list).
inline void KivraInitControlList(TPluginControlList* list, TPluginControlNode* sentinel)
{
    sentinel->pNext = sentinel;
    sentinel->pPrev = sentinel;
    list->dwUnused = 0;
    list->pHead = sentinel;
    list->nCount = 0;
}

// The plugin-skin request record (88 bytes); the plugin owns it.
struct TPluginSkin {
    char szPluginName[KIVRA_NAME_SIZE];  // in: the plugin's name
    COLORREF crBackground;               // out
    COLORREF crMask;                     // out
    HBITMAP hBackground;                 // out: background image, or null
    unsigned long dwUntouched;           // not touched by the shell
    TPluginControlList* pControls;       // in: null, or a list that receives the controls
    int bFound;                          // out: 1 when the skin has a section for the plugin
};

// ---------------------------------------------------------------------------
// Records of the manager services (pData of the call).

// "manager/MainApp/ShowStatusBar" (200 bytes).
struct TStatusPaneInfo {
    char szCommandName[KIVRA_NAME_SIZE];  // pane found by its command name, when not empty
    unsigned int nPaneId;                 // otherwise by this identifier
    wchar_t szText[KIVRA_NAME_SIZE];      // new pane text, when not empty
    HICON hIcon;                          // icon for the pane (SB_SETICON)
};

// "manager/ModifyButtonInfo". Empty texts leave the property unchanged.
struct TButtonInfo {
    wchar_t szName[KIVRA_NAME_SIZE];
    wchar_t szOwner[KIVRA_NAME_SIZE];
    wchar_t szCaption[KIVRA_NAME_SIZE];
    wchar_t szTooltip[KIVRA_NAME_SIZE];
    wchar_t szService[KIVRA_NAME_SIZE];
    wchar_t szNormalImage[KIVRA_NAME_SIZE];    // image type 1
    wchar_t szDownImage[KIVRA_NAME_SIZE];      // image type 3
    wchar_t szHoverImage[KIVRA_NAME_SIZE];     // image type 4
    wchar_t szFocusImage[KIVRA_NAME_SIZE];     // image type 5
    wchar_t szDisableImage[KIVRA_NAME_SIZE];   // image type 2
    unsigned char bHide;                       // 0 shows the button, non-zero hides it
};

// Function a command runs before its service.
typedef void(__cdecl* TCommandFunction)(void);

// "manager/EnableCommandItem" and "manager/RegisterCommandFunction".
struct TCommandItem {
    char szName[KIVRA_NAME_SIZE];     // command name, may be empty
    char szService[KIVRA_NAME_SIZE];  // service path called when chosen, may be empty
    unsigned int nCommandId;          // 0 or -1: none
    TCommandFunction pfnFunction;     // may be null
    unsigned char bEnable;            // EnableCommandItem only: non-zero enables
};

// "manager/CheckMenuItem" (204 bytes).
struct TMenuCheckInfo {
    unsigned char bCheck;                // non-zero checks, 0 unchecks
    unsigned int nCommandId;             // 0: use the text or the position
    char szMenuName[KIVRA_NAME_SIZE];    // skin menu name
    wchar_t szItemText[KIVRA_NAME_SIZE]; // item text
    int nPosition;                       // negative: none
};

// ---------------------------------------------------------------------------
// Plain functions exported by Kivra.exe.
extern "C" {
// MessageBoxW with the product title as caption when caption is null.
KIVRA_API int __cdecl PluginMessageBox(const wchar_t* text, HWND owner, unsigned type,
                                       const wchar_t* caption);
// Translates a text id through the product's language table. The result lives
// in one process-wide buffer of 1,024 units: copy it before the next call.
KIVRA_API const wchar_t* __cdecl TranslateText(const wchar_t* id);

// The wait dialog: a small borderless box with a line of text ("Please
// wait..." unless told otherwise) and an optional progress bar, running on a
// thread of its own so that it stays responsive while the caller is busy.
// Every function may be called from any thread, before the dialog opens (it
// then opens that way) or while it is open: text, colours, background and
// progress position show within a second; placement, size and range are
// taken when it opens. The settings stay from one opening to the next.
// "manager/ShowWaitDlg" drives the same dialog through a service.

// showProgress: 0 hides the progress bar, anything else shows it. rangeMax:
// the bar runs from 0 to this (its low 16 bits; 128 at first). The two floats
// are not used. backColour: the background, a COLORREF (RGB(r, g, b)), which
// replaces any background picture. textColour: the text's COLORREF.
KIVRA_API void __cdecl InitWaitDlg(int showProgress, int rangeMax, float unused1, float unused2,
                                   DWORD backColour, DWORD textColour);
// bitmap: a bitmap handle (HBITMAP, for example the one "manager/LoadImage"
// gives back) tiled as the background. The shell makes its own brush from it;
// the bitmap stays the caller's, who may delete it afterwards. Null, or a
// handle that is not a bitmap of at least one pixel, changes nothing.
KIVRA_API void __cdecl SetWaitDlgBkImage(HBITMAP bitmap);
// position: where the progress bar stands, between 0 and rangeMax; shown at
// the next tick (once a second).
KIVRA_API void __cdecl SetProgressStep(int position);
// Where the dialog goes inside its parent window (the screen without one):
// vertical: 0.0 top, 1.0 bottom (0.375 at first); horizontal: 0.0 left, 1.0
// right (0.5 at first). Note the order: vertical first.
KIVRA_API void __cdecl SetWaitDlgPos(float vertical, float horizontal);
// backColour: a COLORREF for a plain background (replaces a picture).
KIVRA_API void __cdecl SetWaitDlgBkColor(DWORD backColour);
// The dialog's size, in pixels, as a rectangle: only right - left and bottom
// - top count (it is still placed by SetWaitDlgPos). A rectangle without
// width or height (left >= right or top >= bottom) keeps the dialog's own size.
KIVRA_API void __cdecl SetWaitDlgRect(int left, int top, int right, int bottom);
// textColour: the COLORREF of the text.
KIVRA_API void __cdecl SetWaitDlgTextColor(DWORD textColour);
// text: the line shown, cut to 255 characters; null changes nothing.
KIVRA_API void __cdecl SetWaitDlgText(const wchar_t* text);
// show true: opens the dialog over parent (null: the screen) unless it is open
// already, and returns about 100 ms later, once it is up. show false: closes
// it when it is open.
KIVRA_API void __cdecl ShowWaitTipWindow(HWND parent, bool show);
}

// ---------------------------------------------------------------------------
// The layouts are part of the contract.
static_assert(sizeof(void*) == 4, "plugins and host are 32-bit");

static_assert(sizeof(TService) == 80, "TService is 80 bytes");
static_assert(offsetof(TService, szName) == 0);
static_assert(offsetof(TService, uMessage) == 64);
static_assert(offsetof(TService, pfnHandler) == 68);
static_assert(offsetof(TService, pInterface) == 72);
static_assert(offsetof(TService, hWnd) == 76);

static_assert(sizeof(TParam) == 52, "TParam is thirteen 32-bit words");
static_assert(offsetof(TParam, nCode) == 0);
static_assert(offsetof(TParam, wParam) == 4);
static_assert(offsetof(TParam, lParam) == 8);
static_assert(offsetof(TParam, nReserved) == 12);
static_assert(offsetof(TParam, ptX) == 16);
static_assert(offsetof(TParam, ptY) == 20);
static_assert(offsetof(TParam, rcLeft) == 24);
static_assert(offsetof(TParam, rcTop) == 28);
static_assert(offsetof(TParam, rcRight) == 32);
static_assert(offsetof(TParam, rcBottom) == 36);
static_assert(offsetof(TParam, nExtra) == 40);
static_assert(offsetof(TParam, pszText) == 44);
static_assert(offsetof(TParam, pData) == 48);

static_assert(sizeof(PluginInfo) == 196, "PluginInfo is 196 bytes");
static_assert(offsetof(PluginInfo, szName) == 0);
static_assert(offsetof(PluginInfo, szSecondName) == 64);
static_assert(offsetof(PluginInfo, szReserved) == 128);
static_assert(offsetof(PluginInfo, dwVersion) == 192);

static_assert(offsetof(CPluginInterface, pHost) == 0);
static_assert(offsetof(CPluginInterface, info) == 4);
static_assert(offsetof(CPluginInterface, hModule) == 200);
static_assert(offsetof(CPluginInterface, pfnExecuteService) == 204);
static_assert(offsetof(CPluginInterface, pfnCheckDependenceInfo) == 220);
static_assert(sizeof(CPluginInterface) == 224);

static_assert(sizeof(TPluginControl) == 364, "TPluginControl is 364 bytes");
static_assert(offsetof(TPluginControl, szName) == 0);
static_assert(offsetof(TPluginControl, szTooltip) == 64);
static_assert(offsetof(TPluginControl, szFontFace) == 192);
static_assert(offsetof(TPluginControl, nFontSize) == 320);
static_assert(offsetof(TPluginControl, crFontColor) == 324);
static_assert(offsetof(TPluginControl, nFontWeight) == 328);
static_assert(offsetof(TPluginControl, bVisible) == 332);
static_assert(offsetof(TPluginControl, rect) == 336);
static_assert(offsetof(TPluginControl, hImageList) == 352);
static_assert(offsetof(TPluginControl, nImageWidth) == 356);
static_assert(offsetof(TPluginControl, nImageHeight) == 360);

static_assert(offsetof(TPluginControlNode, control) == 8);
static_assert(sizeof(TPluginControlList) == 12);
static_assert(offsetof(TPluginControlList, pHead) == 4);
static_assert(offsetof(TPluginControlList, nCount) == 8);

static_assert(sizeof(TPluginSkin) == 88, "TPluginSkin is 88 bytes");
static_assert(offsetof(TPluginSkin, crBackground) == 64);
static_assert(offsetof(TPluginSkin, crMask) == 68);
static_assert(offsetof(TPluginSkin, hBackground) == 72);
static_assert(offsetof(TPluginSkin, dwUntouched) == 76);
static_assert(offsetof(TPluginSkin, pControls) == 80);
static_assert(offsetof(TPluginSkin, bFound) == 84);

static_assert(sizeof(TStatusPaneInfo) == 200);
static_assert(offsetof(TStatusPaneInfo, nPaneId) == 64);
static_assert(offsetof(TStatusPaneInfo, szText) == 68);
static_assert(offsetof(TStatusPaneInfo, hIcon) == 196);

static_assert(offsetof(TButtonInfo, szOwner) == 128);
static_assert(offsetof(TButtonInfo, szCaption) == 256);
static_assert(offsetof(TButtonInfo, szTooltip) == 384);
static_assert(offsetof(TButtonInfo, szService) == 512);
static_assert(offsetof(TButtonInfo, szNormalImage) == 640);
static_assert(offsetof(TButtonInfo, szDownImage) == 768);
static_assert(offsetof(TButtonInfo, szHoverImage) == 896);
static_assert(offsetof(TButtonInfo, szFocusImage) == 1024);
static_assert(offsetof(TButtonInfo, szDisableImage) == 1152);
static_assert(offsetof(TButtonInfo, bHide) == 1280);

static_assert(offsetof(TCommandItem, szService) == 64);
static_assert(offsetof(TCommandItem, nCommandId) == 128);
static_assert(offsetof(TCommandItem, pfnFunction) == 132);
static_assert(offsetof(TCommandItem, bEnable) == 136);

static_assert(sizeof(TMenuCheckInfo) == 204);
static_assert(offsetof(TMenuCheckInfo, nCommandId) == 4);
static_assert(offsetof(TMenuCheckInfo, szMenuName) == 8);
static_assert(offsetof(TMenuCheckInfo, szItemText) == 72);
static_assert(offsetof(TMenuCheckInfo, nPosition) == 200);
