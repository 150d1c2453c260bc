// kivra_plugin.h - the contract between Kivra.exe and its plugin libraries.
//
// A plugin is a 32-bit DLL in the plugins\ folder beside Kivra.exe. It links
// against libKivra.a (the import library of Kivra.exe) and exports, undecorated
// and __cdecl, the five entry points below.
//
// Life cycle
//   Kivra.exe binds its built-in plugin "manager" first, then the libraries
//   the skin's load-order list names, in that order, then every other *.dll
//   of plugins\ in folder order. For each library, in this order:
//   1. GetPluginInfo(info)          fill in the plugin's name(s) and version.
//                                   A library whose name contains the name of
//                                   a plugin bound before it ("manager"
//                                   included) is refused as a duplicate.
//   2. CheckDependenceInfo(version) accept (true) or refuse (false) the host;
//                                   version is PLUGIN_HOST_VERSION.
//   3. LoadPlugin(iface, host)      register services on iface; true = loaded.
//                                   A refusal at any step frees the library
//                                   silently, with whatever it registered.
//   4. ... services are called, each on the user-interface thread ...
//   5. UnloadPlugin()               once at shutdown, newest plugin first and
//                                   "manager" last; the library is freed next.
//                                   It must destroy every window the plugin
//                                   made (panels, pages, hidden helpers) and
//                                   put back every window procedure it
//                                   replaced, unsubscribe its bus listeners
//                                   and stop its threads and timers: no code
//                                   of the library may be reachable once it
//                                   returns. The main window takes no input
//                                   meanwhile. Whatever is left is undone
//                                   before the library is freed and written
//                                   to the log: this thread's windows whose
//                                   procedure (window, class or dialog
//                                   procedure) lies in the library are
//                                   destroyed, service records whose handler
//                                   lies in it are removed, command callbacks
//                                   (TCommandFunction) in it are dropped, its
//                                   bus listeners forgotten.
//   ExecuteService must be exported but is never called by the host.
//
//   The manager's 31 services (below) are there before any library loads, so
//   LoadPlugin may call them. The windows some of them drive come at different
//   times of start-up: the main window, its menus, tool bars, status bar and
//   commands, the floating window and the (still empty) settings dialog exist
//   during LoadPlugin; the skin buttons and plugin panels are made after every
//   plugin has loaded, right before the skin's start service is called; the
//   tray icon and the settings pages come after that. A service whose window
//   does not exist yet does nothing. At shutdown the auxiliary windows (the
//   settings dialog with the pages in it among them) are destroyed before the
//   first UnloadPlugin runs.
//
// Threads
//   Kivra.exe is one user-interface thread. Every entry point and every
//   service handler runs on it, and every call into Kivra.exe (the members of
//   CPluginInterface, PluginMessageBox, TranslateText) must be made from it:
//   nothing in the shell takes a lock. A worker thread of a plugin posts a
//   message to a window of its plugin and calls from there. Handlers run
//   synchronously inside the caller's CallService and may call further
//   services. Only the wait dialog runs on a thread of its own, which
//   "manager/ShowWaitDlg" starts; that service and the exported wait
//   functions (InitWaitDlg ... ShowWaitTipWindow, at the end of this header)
//   are the only ways to it, and the wait functions alone may be called from
//   any thread.
//   A bus listener (sdk/ostel.h) added with OpSubscribe runs on the bus's own
//   thread and must not call into Kivra.exe, except for the wait functions;
//   one added with OpSubscribeOnThisThread from LoadPlugin runs on this
//   thread and may.
//
// Calling a service
//   Plugins meet each other and the shell only through named services: a
//   TService record whose szName is a path such as "manager/ShowWaitDlg".
//
//       TService service = {KIVRA_SVC_SHOW_WAIT_DLG, 0, NULL, NULL, NULL};
//       TParam param = {};                    // all 52 bytes zero
//       param.nCode = 1;
//       param.pszText = text;
//       iface->CallService(&service, &param);
//
//   One szName may hold several paths separated by blanks, commas or
//   semicolons; they are called in order with the same param. CallService
//   answers for the call as a whole: 1 when every path was found (or the list
//   was empty), 0 at the first unknown path, whose followers are then not
//   called while the earlier ones have run. It does not pass on what a
//   handler answers: a service with an outcome to report writes it into param
//   or the record, as its entry below says. (The "answers" line of each entry
//   is the handler's own int, for code that calls a handler directly.)
//   Afterwards szName holds the last path called. A path whose record has no
//   handler (a data record such as "manager/ProvideSetCWnd") copies that whole
//   record over *service and ends the call there. param may be null for a
//   service that reads nothing; the handler then reads zeros.
//
// Texts and ownership
//   Names (service paths, plugin, command and menu names) are 8-bit text,
//   other texts UTF-16, in 64-unit fields: 63 characters and a terminator. A
//   field without a terminator is read up to its width, never further;
//   pszText must point to a NUL-terminated text. Texts handed to a service are
//   copied during the call and shown as given: pass text ids through
//   TranslateText first. Records you pass stay yours, and the shell keeps no
//   pointer into them after the call. Handles you pass stay yours too; where
//   the shell goes on using one, its entry says for how long. What a service
//   hands out is yours unless its entry says otherwise.
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

// One named service (80 bytes). A stored record whose hWnd is a dialog of the
// plugin's (a panel, a settings page) gives that dialog keyboard navigation
// (Tab, arrows, Enter) in the shell's message loop. A record with uMessage set
// has its handler called for each message of that number that the loop takes
// from its queue for hWnd (posted messages, mouse moves excepted), with nCode
// 5 and the message's wParam, lParam and cursor; the message then goes on.
struct TService {
    char szName[KIVRA_NAME_SIZE];  // service path, at most 63 characters
    unsigned int uMessage;         // window message the service listens for, 0 for none
    TServiceHandler pfnHandler;    // null: a data record handed back to callers
    CPluginInterface* pInterface;  // the registering plugin (RegisterService fills it in)
    HWND hWnd;                     // window bound to / published with the service
};

// Thirteen 32-bit words of call arguments (52 bytes). Callers zero all of it
// before filling the words they use; each service's entry below says which
// words it reads and which it writes back.
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
    wchar_t* pszText; // UTF-16 text, NUL-terminated; input (in and out for Configure/GetString)
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
    void* pHost;        // the host main window object (second LoadPlugin argument); see KivraWindowHandle
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
    // every name was found (or the list was empty), 0 at the first unknown name;
    // never the handlers' own answers (see "Calling a service" above). A name
    // whose record has no handler copies the stored record over *service.
    KIVRA_API int CallService(TService* service, TParam* param);

    // Finds the newest bound plugin whose szName occurs inside info->szName and
    // copies its PluginInfo over *info. Returns true when found.
    KIVRA_API bool QueryPluginInfo(PluginInfo* info);
};

// ---------------------------------------------------------------------------
// Records of the skin's per-plugin section, filled by "manager/SelectPluginName"
// and released by "manager/DeletePluginRes".

// One control description of a plugin panel (364 bytes), from a "control"
// element of the plugin's "skin/plugin" section.
struct TPluginControl {
    char szName[KIVRA_NAME_SIZE];          // control name, 8-bit
    wchar_t szTooltip[KIVRA_NAME_SIZE];    // tooltip text id
    wchar_t szFontFace[KIVRA_NAME_SIZE];   // font face, empty for the default
    int nFontSize;
    COLORREF crFontColor;
    int nFontWeight;
    int bVisible;                          // 1 unless the skin says "false"
    RECT rect;                             // left, top, right, bottom
    HBITMAP hImageList;                    // image strip, or null; yours to DeleteObject
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

// The plugin-skin request record (88 bytes) of "manager/SelectPluginName"
// and "manager/DeletePluginRes"; the plugin owns it. Zero it, then fill the
// two "in" fields.
struct TPluginSkin {
    char szPluginName[KIVRA_NAME_SIZE];  // in: the plugin's name
    COLORREF crBackground;               // out: red | green << 8 | blue << 16
    COLORREF crMask;                     // out: the colour drawn transparent
    HBITMAP hBackground;                 // out: background image, or null; yours to DeleteObject
    unsigned long dwUntouched;           // not touched by the shell
    TPluginControlList* pControls;       // in: null, or a list that receives the controls
    int bFound;                          // out: 1 when the skin has a section for the plugin
};

// ---------------------------------------------------------------------------
// Records of the manager services (pData of the call).

// "manager/MainApp/ShowStatusBar" (200 bytes). Status-bar panes are named by
// command identifiers; the pane of identifier 0 is the message pane, which the
// shell itself also writes (the idle text, tool-bar hints).
struct TStatusPaneInfo {
    char szCommandName[KIVRA_NAME_SIZE];  // when not empty: the pane of the command of this name
    unsigned int nPaneId;                 // otherwise: the pane of this command identifier
    wchar_t szText[KIVRA_NAME_SIZE];      // new pane text, shown as given; empty keeps the text
    HICON hIcon;                          // the pane's icon, always applied: null takes it away.
                                          // It stays yours: keep it alive while the pane shows it
};

// "manager/ModifyButtonInfo" (1,282 bytes). The first three texts pick the
// button: the first skin button, in the order the skin lists them, whose
// name, owner or service (as written in the skin's tool-bar section) equals a
// non-empty one of them; they are compared as 8-bit text (the low byte of
// each character). Fill only what identifies your button. Of the others, an
// empty text leaves its property unchanged; image files are looked for in the
// skin's folder, then in common\, and an image that does not load is skipped.
struct TButtonInfo {
    wchar_t szName[KIVRA_NAME_SIZE];           // the button's "name" in the skin
    wchar_t szOwner[KIVRA_NAME_SIZE];          // its owner: "system" or a plugin name
    wchar_t szCaption[KIVRA_NAME_SIZE];        // new caption, shown as given
    wchar_t szTooltip[KIVRA_NAME_SIZE];        // new tooltip, shown as given
    wchar_t szService[KIVRA_NAME_SIZE];        // the button's "service" in the skin
    wchar_t szNormalImage[KIVRA_NAME_SIZE];    // image type 1: normal
    wchar_t szDownImage[KIVRA_NAME_SIZE];      // image type 3: pressed
    wchar_t szHoverImage[KIVRA_NAME_SIZE];     // image type 4: under the mouse
    wchar_t szFocusImage[KIVRA_NAME_SIZE];     // image type 5: focused
    wchar_t szDisableImage[KIVRA_NAME_SIZE];   // image type 2: disabled
    unsigned char bHide;                       // always applied: 0 shows the button, non-zero hides it
};

// Function a command runs before its service, on the user-interface thread;
// it must stay callable until the plugin's UnloadPlugin.
typedef void(__cdecl* TCommandFunction)(void);

// "manager/EnableCommandItem" and "manager/RegisterCommandFunction" (140
// bytes). A command is what a menu item, a tool-bar item, a skin button or a
// skin accelerator runs: a 16-bit identifier below 0xF000 with a name, a
// function and a service path; choosing it calls the function, then the
// path(s) with a zeroed TParam. Commands come from the skin, and the shell
// numbers those without an identifier from 1200 up.
struct TCommandItem {
    char szName[KIVRA_NAME_SIZE];     // command name as the skin gives it, may be empty
    char szService[KIVRA_NAME_SIZE];  // service path or list of paths run when chosen, may be empty
    unsigned int nCommandId;          // command identifier; 0 or 0xFFFFFFFF (-1): none
    TCommandFunction pfnFunction;     // may be null
    unsigned char bEnable;            // EnableCommandItem only: non-zero enables, 0 grays
};

// "manager/CheckMenuItem" (204 bytes). The item is picked by nCommandId when
// it is not 0, else by szItemText when that is not empty and such an item
// exists, else by nPosition when that is not negative.
struct TMenuCheckInfo {
    unsigned char bCheck;                // non-zero checks, 0 unchecks
    unsigned int nCommandId;             // the item's command identifier; 0: use the text or the position
    char szMenuName[KIVRA_NAME_SIZE];    // skin menu name ("tray": the tray menu); case of A-Z ignored
    wchar_t szItemText[KIVRA_NAME_SIZE]; // the item's text as shown (translated), compared exactly
    int nPosition;                       // 0-based position among the menu's items; negative: none
};

// ---------------------------------------------------------------------------
// The manager's services, in the order the built-in plugin registers them.
//
// Each path is a #define'd string literal rather than a constexpr array, like
// the entry-point names above: a literal initialises a record's name field
// directly (TService s = {KIVRA_SVC_SHOW_TRAY, 0, NULL, NULL, NULL};), joins
// other literals into a name list (KIVRA_SVC_SHOW_TRAY ";" "mine/Update"),
// works the same in C code, and adds no symbol to a plugin's objects. The
// name is KIVRA_SVC_ and the path after "manager/" in capitals, its words
// joined by '_'.
//
// Each entry says what the service reads ("in"), what it writes back ("out"),
// who owns what it hands over or keeps ("owner") and what its handler answers
// ("answers"; CallService answers 1 once the path is found, whatever the
// handler answers: see the top of this file).
// Words of TParam an entry does not name are not read; a service that writes
// nothing back has no "out" line. A service that needs a record, a text or a
// window it does not get (a null pData or pszText among them) does nothing
// and answers 0.

// "manager/Configure/GetString": translates a text id in place, through the
// product's language file.
//   in      pszText  the text id, in a buffer of yours
//           wParam   the buffer's size in wchar_t units, terminator included;
//                    0 means 1,024 units, so give it for any smaller buffer
//   out     pszText  the display text, or the id itself when the language
//                    file has none; cut to fit the buffer. Only the text and
//                    its terminator are written.
//   answers 1 when the id was found (or is empty), 0 when not
#define KIVRA_SVC_CONFIGURE_GET_STRING "manager/Configure/GetString"

// "manager/Notification/DisplayWnd": slides the taskbar notifier out of the
// taskbar's side of the screen with a text; it stays about a second and slides
// back. A call while it is out shows the new text and keeps it out longer.
//   in      pszText  the text (copied)
//   answers 1 when shown
#define KIVRA_SVC_NOTIFICATION_DISPLAY_WND "manager/Notification/DisplayWnd"

// "manager/MainApp/ShowStatusBar": sets the text and the icon of one pane of
// the main window's status bar.
//   in      pData    TStatusPaneInfo*: which pane, its text, its icon
//   owner   the icon stays yours; the pane draws it until it gets another:
//           destroy it only after that
//   answers 1 when the pane exists, 0 when it does not (nothing changes)
#define KIVRA_SVC_MAIN_APP_SHOW_STATUS_BAR "manager/MainApp/ShowStatusBar"

// "manager/ProvideSetCWnd": hands out the settings dialog, the parent window
// of plugin settings pages (see KIVRA_SUFFIX_GET_SETTING_HANDLE). A data
// record without a handler: param is not read.
//   out     *service becomes a copy of the stored record: szName this path,
//           uMessage 0, pfnHandler null, pInterface the manager's
//           CPluginInterface, and hWnd a pointer to the settings dialog's
//           window object (not a window handle: KivraWindowHandle gives
//           its handle; null once the dialog is gone at shutdown). In a
//           name list the call ends here.
//   owner   the dialog is the shell's; it lives until shutdown
//   answers (no handler)
#define KIVRA_SVC_PROVIDE_SET_CWND "manager/ProvideSetCWnd"

// "manager/ShowSetWindow": shows the settings dialog in front. It is modeless:
// the call returns at once, and OK, Cancel or the close box hide it again.
//   answers 1 when shown
#define KIVRA_SVC_SHOW_SET_WINDOW "manager/ShowSetWindow"

// "manager/Dropzone/UpdateLastData": feeds the floating window's graph. The
// samples move one pixel column to the left and the new one is drawn at the
// right as a bar of that many pixels, with the number in the corner; both show
// while data status is on (KIVRA_SVC_DROPZONE_SHOW_DATA_STATUS).
//   in      wParam   the new sample, 0 to 255 (the low 8 bits are used)
//           lParam   the number shown, in decimal (a signed 32-bit value,
//                    shown whole)
//           pszText  the floating window's tooltip (copied); null keeps it
//   answers 1 when taken
#define KIVRA_SVC_DROPZONE_UPDATE_LAST_DATA "manager/Dropzone/UpdateLastData"

// "manager/Dropzone/ShowDataStatus": switches the floating window between its
// picture (off) and the graph with the number (on).
//   in      wParam   non-zero: on; 0: off, which also clears the number. A
//                    change also empties the tooltip.
//   answers 1 when taken
#define KIVRA_SVC_DROPZONE_SHOW_DATA_STATUS "manager/Dropzone/ShowDataStatus"

// "manager/CheckDropzoneItem": toggles the floating window together with the
// check mark of the tray menu's "Drop zone (&D)" item: when checked, hides
// the window and unchecks the item, otherwise shows the window and checks it.
// The check also decides whether the floating window stands in for the main
// window while that is hidden in the tray.
//   answers 1 when toggled, 0 when the tray menu has no drop-zone item
#define KIVRA_SVC_CHECK_DROPZONE_ITEM "manager/CheckDropzoneItem"

// "manager/Tray/SetToolTip": sets the tray icon's tip: at once while the icon
// is in the tray, else it shows the next time the main window hides there.
//   in      pszText  the tip (copied), cut to 127 characters
//   answers 1 when set, 0 before start-up has made the tray icon
#define KIVRA_SVC_TRAY_SET_TOOL_TIP "manager/Tray/SetToolTip"

// "manager/ChangeTrayIcon": sets the tray icon's picture, at once or at the
// next hiding to the tray as above.
//   in      pData    the HICON
//   owner   the icon stays yours; the shell shows it again each time the main
//           window hides to the tray, so keep it alive until you set another
//           one or your UnloadPlugin runs
//   answers 1 when set, 0 before start-up has made the tray icon
#define KIVRA_SVC_CHANGE_TRAY_ICON "manager/ChangeTrayIcon"

// "manager/PopupTray": brings the main window back from the tray as a double
// click on the tray icon does: shown, restored and in front, and the icon
// leaves the tray. Sent: the window is back when the call returns.
//   answers 1 when sent
#define KIVRA_SVC_POPUP_TRAY "manager/PopupTray"

// "manager/ShowTray": hides the main window to the tray as minimising it
// does: the window is hidden, the tray icon appears, and the floating window
// shows when the drop-zone item is checked. Done when the call returns.
//   answers 1 when sent
#define KIVRA_SVC_SHOW_TRAY "manager/ShowTray"

// "manager/ProgramExit": the exit command. While the modem reports an open
// connection the user is told "Please disconnect!" and nothing ends; otherwise
// asked "Are you sure to exit?". On Yes the wait dialog closes and the main
// window's loop ends once the current message is handled: the call returns,
// and shutdown, with every UnloadPlugin, follows.
//   answers 1 when the application is ending, 0 when it goes on
#define KIVRA_SVC_PROGRAM_EXIT "manager/ProgramExit"

// "manager/ShowWaitDlg": opens, updates or closes the wait dialog, the small
// "Please wait..." window that runs on a thread of its own and so goes on
// painting while the user-interface thread is busy. Its settings last from
// one opening to the next.
//   in      nCode    0 closes the dialog (posted; nothing when none is open).
//                    Any other value takes the words below and opens the
//                    dialog over the main window (the call then waits about
//                    100 ms for it), or updates the open one, where text and
//                    colours change within a second:
//           wParam   background colour (COLORREF); 0 keeps the current one
//           lParam   text colour (COLORREF); 0 keeps the current one
//           pszText  the wait text (copied), cut to 255 characters; null keeps it
//           pData    an HBITMAP tiled as the background instead of the colour;
//                    null keeps the background
//           rcLeft, rcTop, rcRight, rcBottom
//                    the dialog's size: its width and height are taken when
//                    right > left and bottom > top, at the next opening;
//                    left and top are not used: the dialog is placed over
//                    the main window
//   owner   the bitmap stays yours: the shell makes its own brush from it
//           during the call, so you may delete the bitmap afterwards
//   answers 1
#define KIVRA_SVC_SHOW_WAIT_DLG "manager/ShowWaitDlg"

// "manager/LoadImage": loads an image of the skin. The file is looked for in
// the current skin's folder first, then in the common\ folder.
//   in      pszText  the file name, relative to those folders (any picture
//                    that OleLoadPicturePath reads: BMP, JPEG, GIF, ...)
//   out     pData    the HBITMAP, at the picture's own size; null when the
//                    name is null or the picture loads from neither folder
//   owner   the bitmap is yours, a new one each call: DeleteObject it
//   answers 1 when loaded, 0 otherwise
#define KIVRA_SVC_LOAD_IMAGE "manager/LoadImage"

// "manager/ModifyButtonInfo": changes one skin button (the buttons of the
// skin's tool-bar section, made after every plugin has loaded).
//   in      pData    TButtonInfo*: which button, and what changes
//   owner   you pass image file names; the shell loads the images and keeps
//           each for as long as the button shows it
//   answers 1 when a button matched, 0 when none did (nothing changes)
#define KIVRA_SVC_MODIFY_BUTTON_INFO "manager/ModifyButtonInfo"

// "manager/ShowAboutDlg": shows the About box (the product's icon, title and
// version, the skin's maker) and returns when the user closes it. It is
// modal: the user-interface thread serves messages meanwhile, so other
// services may run before the call returns.
//   answers 1 once shown
#define KIVRA_SVC_SHOW_ABOUT_DLG "manager/ShowAboutDlg"

// "manager/ShowMainWindow": as KIVRA_SVC_POPUP_TRAY, but posted: the window
// comes back just after the call returns.
//   answers 1 when posted
#define KIVRA_SVC_SHOW_MAIN_WINDOW "manager/ShowMainWindow"

// "manager/ShowWindow": ShowWindow on the main window.
//   in      wParam   the show command (SW_SHOW, SW_SHOWNOACTIVATE, ...).
//                    SW_HIDE hides it without putting the tray icon up: use
//                    KIVRA_SVC_SHOW_TRAY, which leaves the user a way back.
//   answers 1 when applied
#define KIVRA_SVC_SHOW_WINDOW "manager/ShowWindow"

// "manager/HideMainWindow": despite its name, the main window's close box. It
// posts SC_CLOSE, which asks as KIVRA_SVC_PROGRAM_EXIT does and ends the
// application on Yes; the question comes after the call returns. To hide the
// window, use KIVRA_SVC_SHOW_TRAY.
//   answers 1 when posted
#define KIVRA_SVC_HIDE_MAIN_WINDOW "manager/HideMainWindow"

// "manager/ShowHelpFile": opens the product's help file (in common\, named by
// the product configuration) as F1 does, or brings its window to the front
// when it is open already. That window is the one titled with the product's
// help title (translated), or a browser's titled with it and " - ".
//   answers 1 when opened or brought to the front, 0 when the file is missing
#define KIVRA_SVC_SHOW_HELP_FILE "manager/ShowHelpFile"

// "manager/EnableCommandItem": enables or grays a command on every tool bar
// and in every skin menu.
//   in      pData    TCommandItem*. With a valid nCommandId that command is
//                    updated first (made when it does not exist): a non-empty
//                    szName renames it, a non-empty szService and a non-null
//                    pfnFunction replace its own; empty and null keep them.
//                    Then the command named szName, when szName is not empty
//                    (nothing when no command has that name), else the one of
//                    nCommandId, is enabled (bEnable non-zero) or grayed.
//   answers 1 when a command was enabled or grayed, 0 otherwise
#define KIVRA_SVC_ENABLE_COMMAND_ITEM "manager/EnableCommandItem"

// "manager/RegisterCommandFunction": sets what a command runs when the user
// chooses it: its function, then its service path(s).
//   in      pData    TCommandItem*. The command is the one of nCommandId, or,
//                    when that is 0 or -1, the one named szName; a valid
//                    identifier that has no command yet makes one. Its
//                    function and service become pfnFunction and szService,
//                    also when null or empty (which clears them); a non-empty
//                    szName renames it. bEnable is not read.
//   owner   the function must stay callable until your UnloadPlugin; no
//           command runs after that
//   answers 1 when a command was set, 0 when there is none (nothing changes)
#define KIVRA_SVC_REGISTER_COMMAND_FUNCTION "manager/RegisterCommandFunction"

// "manager/UpgradeOnline": starts the upgrade program (update.exe beside
// Kivra.exe), or brings its window to the front when it runs already: the
// window titled with the product's translation of "Upgrade".
//   answers 1 when started or brought to the front, 0 when it is missing
#define KIVRA_SVC_UPGRADE_ONLINE "manager/UpgradeOnline"

// "manager/CheckMenuItem": checks or unchecks an item of a skin menu.
//   in      pData    TMenuCheckInfo*: the menu, the item and bCheck
//   answers 1 when the menu had such an item, 0 otherwise (nothing changes)
#define KIVRA_SVC_CHECK_MENU_ITEM "manager/CheckMenuItem"

// "manager/MaximizeWindow": switches the main window to the skin's maximised
// layout, when the skin has one.
//   answers 1 when switched, 0 when the skin has no maximised layout
#define KIVRA_SVC_MAXIMIZE_WINDOW "manager/MaximizeWindow"

// "manager/RestoreWindow": switches the main window back to its normal size
// and layout.
//   answers 1 when switched
#define KIVRA_SVC_RESTORE_WINDOW "manager/RestoreWindow"

// "manager/PutWindowTopMost": a toggle, shared by every caller: the first
// call makes the main window top-most, the next one takes that back, and so
// on. Each call also shows the window.
//   answers 1 when applied
#define KIVRA_SVC_PUT_WINDOW_TOP_MOST "manager/PutWindowTopMost"

// "manager/SelectPluginName": reads the plugin's own section of the skin
// ("skin/plugin" of that name): colours, background image and the
// descriptions of its panel's controls.
//   in      pData    TPluginSkin*: szPluginName, and pControls null or a list
//                    made empty with KivraInitControlList
//   out     pData    bFound 1, the colours, hBackground and one control per
//                    "control" element appended to the list, when the skin
//                    has that section; else bFound 0 and the rest untouched
//   owner   hBackground and every control's hImageList are new bitmaps and
//           yours; the list's nodes are the shell's, to be given back with
//           KIVRA_SVC_DELETE_PLUGIN_RES (a second call on the same list
//           appends again)
//   answers 1 when the section was found, 0 otherwise
#define KIVRA_SVC_SELECT_PLUGIN_NAME "manager/SelectPluginName"

// "manager/DeletePluginRes": gives back the control nodes that
// KIVRA_SVC_SELECT_PLUGIN_NAME appended.
//   in      pData    the same TPluginSkin*
//   out     pData    its list is empty again; nodes you linked in yourself are
//                    unlinked, not freed
//   owner   the bitmaps are not deleted: take the handles you keep out of the
//           controls first, and DeleteObject the others
//   answers 1 when taken
#define KIVRA_SVC_DELETE_PLUGIN_RES "manager/DeletePluginRes"

// "manager/SetWindowIcon": gives a window the product's logo (the icon file
// of common\ that "main-frame/logo" of common\config.xml names) as its big
// and small icon (WM_SETICON).
//   in      pData    the HWND of your window
//   owner   the icon is the shell's, shared by every window that asks, and
//           lives until the process ends: do not destroy it
//   answers 1 when set, 0 when pData is no window or the logo does not load
#define KIVRA_SVC_SET_WINDOW_ICON "manager/SetWindowIcon"

// ---------------------------------------------------------------------------
// Services a plugin offers the shell, and those the shell makes for plugins.
// A plugin named N (each name of its PluginInfo::szName list):
//
// N + "/GetPanelHandle": its panel, the window the main window shows in its
//   panel area. Called once after every plugin has loaded, with a zeroed
//   TParam; answer by putting the panel's HWND into the caller's hWnd, or
//   register it as a data record with hWnd set. Make the panel a hidden
//   child of the main window (KivraWindowHandle(host) of LoadPlugin): the
//   shell moves it into place, registers N + "/ShowPluginPanel" for it and
//   shows it only through that service.
#define KIVRA_SUFFIX_GET_PANEL_HANDLE "/GetPanelHandle"
// N + "/ShowPluginPanel" (made by the shell): shows N's panel in place of the
//   one shown before. Skin buttons owned by N and skin items that name it call
//   it; plugins may call it too.
#define KIVRA_SUFFIX_SHOW_PLUGIN_PANEL "/ShowPluginPanel"
// N + "/GetSettingHandle", with N the whole szName: its settings page. Called
//   once after the tray icon is made, with a zeroed TParam; answer as above
//   with the page's HWND. The page is a hidden child window of the settings
//   dialog (KIVRA_SVC_PROVIDE_SET_CWND); the shell lists it in the dialog's
//   tree under N translated, moves it into place and posts it
//   KIVRA_MSG_APPLY_SETTINGS when the user presses OK (every page) or Apply
//   (the page shown). N must leave room for the suffix: at most 46 bytes.
//   The page's parent, in LoadPlugin (the dialog exists from then on):
//       TService dialog = {};
//       strcpy(dialog.szName, KIVRA_SVC_PROVIDE_SET_CWND);
//       TParam none = {};
//       iface->CallService(&dialog, &none);   // copies the stored record into dialog
//       HWND parent = KivraWindowHandle(dialog.hWnd);  // hWnd holds the window object
//       g_page = CreateWindowExW(WS_EX_CONTROLPARENT, L"MyPage", L"", WS_CHILD, 0, 0, 0, 0,
//                                parent, nullptr, myModule, nullptr);
//   OK and Cancel only hide the dialog; Cancel sends no message of its own,
//   but afterwards every page gets WM_SHOWWINDOW with wParam TRUE once (while
//   the dialog is hidden), as it does whenever the user picks it in the tree.
//   Fill the page's controls from your settings there, so what Cancel dropped
//   does not come back.
#define KIVRA_SUFFIX_GET_SETTING_HANDLE "/GetSettingHandle"
// Posted to a settings page, wParam 0 and lParam 0: apply the page's settings.
#define KIVRA_MSG_APPLY_SETTINGS (WM_USER + 100)
//
// Each named skin menu is also a service of the menu's name: calling it pops
// the menu up at the cursor and runs the command chosen. A service registered
// with uMessage WM_DEVICECHANGE and a null hWnd is called on each device
// arrival, with nCode 5, wParam 0x8000 (DBT_DEVICEARRIVAL) and the event's
// lParam.

// ---------------------------------------------------------------------------
// Window objects. The host given to LoadPlugin (the main window) and the
// settings dialog of "manager/ProvideSetCWnd" are window objects of the
// shell, not window handles. Each starts with its table pointer, followed by
// its window handle: KivraWindowHandle takes the handle, to parent a panel or
// a settings page to that window. Nothing else of the object is for plugins.
// Null for a null object.
inline HWND KivraWindowHandle(const void* windowObject)
{
    return windowObject != nullptr
               ? *reinterpret_cast<const HWND*>(static_cast<const char*>(windowObject) + sizeof(void*))
               : nullptr;
}

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

static_assert(sizeof(TButtonInfo) == 1282);
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

static_assert(sizeof(TCommandItem) == 140);
static_assert(offsetof(TCommandItem, szService) == 64);
static_assert(offsetof(TCommandItem, nCommandId) == 128);
static_assert(offsetof(TCommandItem, pfnFunction) == 132);
static_assert(offsetof(TCommandItem, bEnable) == 136);

static_assert(sizeof(TMenuCheckInfo) == 204);
static_assert(offsetof(TMenuCheckInfo, nCommandId) == 4);
static_assert(offsetof(TMenuCheckInfo, szMenuName) == 8);
static_assert(offsetof(TMenuCheckInfo, szItemText) == 72);
static_assert(offsetof(TMenuCheckInfo, nPosition) == 200);
