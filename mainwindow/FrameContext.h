// FrameContext: the skin state of the main window's frame. It holds what the
// skin says the frame looks like (backgrounds, regions and sizes of the two
// display modes, the drawn title bar, the accelerator table, the panel places)
// and the operations that apply it to the window: the skin's steps of the
// frame set-up, the mode switch, title-bar drawing and clicks, background
// painting.
//
// Display modes: normal mode after set-up; max mode (SC_MAXIMIZE, or
// "manager/MaximizeWindow") has its own background, region, size and panel,
// and is entered only when the skin enables it and gives it a shape. Neither
// mode takes the whole screen.
//
// Lifecycle: the main window's frame (CShellFrame) makes it at start-up with
// the product configuration and runs its set-up steps once, in the order
// CShellFrame::SetUpFrame gives; the built-in plugin's UnloadPlugin (or the
// shutdown) releases it and then the configuration.
#pragma once

#include <windows.h>

#include <map>
#include <string>
#include <vector>

#include "config/Configure.h"
#include "config/SkinRecords.h"
#include "framework/Handles.h"
#include "mainwindow/Accelerators.h"
#include "mainwindow/TitleBar.h"

namespace kivra {

// An icon a window shows, and the file it was loaded from.
struct TShownIcon {
    HICON icon = nullptr;
    const wchar_t* file = nullptr;
};

// The panel state the plugin panels keep in the frame context.
struct TPanelState {
    bool sameSize = false;          // "plugin-window-same-size"
    bool fitSizeToPlugin = false;   // "fit-size-to-plugin"
    HWND current = nullptr;         // the panel shown now, not owned
    HWND maxPanel = nullptr;        // shown only in max mode, not owned
    std::map<std::string, HWND> byShowService;  // show service name -> panel window
};

// The values of one display mode: the background pieces, the shape cut out
// of the first one, the window size that goes with them, and where the panel
// of the mode goes (plugin panels in normal mode, the max panel in max mode).
struct TDisplayMode {
    std::vector<TSkinImage> background;
    UniqueRegion region;
    SIZE size = {};
    RECT panelRect = {};
};

// The title bar the skin draws: whether it does, the layout for the window's
// current width, and its pieces and three buttons.
struct TTitleBarSkin {
    bool drawn = true;
    TTitleBarLayout layout = {};
    std::vector<TSkinImage> images;
    TSkinButton buttons[kTitleBarButtonCount] = {};
};

// WM_GETMINMAXINFO of the main window: maximised at the top-left of the
// rectangle remembered at the end of start-up, with its size as maximised and
// largest tracking size. An empty rectangle (start-up not finished) leaves
// the system's values, which would otherwise clamp the window to nothing.
void FillMinMaxInfo(const RECT& remembered, MINMAXINFO* info);

class FrameContext {
public:
    explicit FrameContext(CConfigure& configure);
    ~FrameContext();
    FrameContext(const FrameContext&) = delete;
    FrameContext& operator=(const FrameContext&) = delete;

    CConfigure& Configure() { return configure_; }

    // --- The main window -------------------------------------------------
    // Records the window being dressed.
    void AttachMainWindow(HWND window);
    HWND MainWindowHandle() const { return mainWindowHandle_; }

    // --- The skin's steps of the frame set-up ------------------------------
    // window becomes the main window handle and gets the skin's icon, size
    // and shape (normal mode, centred); max mode's values are read. A skin
    // that gives no shape leaves the window's own frame. shown is the icon
    // the window shows already and its file: a logo loaded from that same
    // file is not set again, and shown stands for it.
    void SetUpWindow(HWND window, const TShownIcon& shown = {});
    // The drawn title bar; a skin without one (no picture, or no face for its
    // first button) leaves the system's caption boxes.
    void ReadTitleBarSkin();
    // The height added below a plugin panel when the window fits the panel:
    // the status bar's, which the frame makes.
    void SetStatusBarHeight(int height) { statusBarHeight_ = height; }
    // The accelerator table of the skin's entries; lookup gives the commands
    // of entries written with a command name.
    void ReadAcceleratorTable(const CommandIdLookup& lookup);

    // --- Display modes ---------------------------------------------------
    // Switches to the given shape and size: nothing (false) unless region
    // exists and both sides of size are nonzero. The current panel is hidden
    // in max mode and shown in normal mode, the max panel the other way round;
    // with the region flag the child control with id SC_MAXIMIZE (entering max
    // mode) or SC_RESTORE (leaving it) takes the other id, and a copy of region
    // becomes the window region. The window keeps its top-left corner. The
    // caller places the skin buttons again when it switched.
    bool SwitchMode(HRGN region, SIZE size, bool maxMode);
    // Max mode, when the skin enables it. True when the mode switched.
    bool SwitchToMaxMode();
    bool SwitchToNormalMode();

    // --- Title bar ---------------------------------------------------------
    // Lays the title bar out for the window's current width (and stores the
    // window rectangle).
    void LayoutTitleBar();
    // WM_NCPAINT, WM_NCACTIVATE: the whole title bar into the window DC.
    void DrawTitleBar();
    // WM_NCMOUSEMOVE at screenPoint: the button under it with its hover face.
    void DrawTitleBarHover(POINT screenPoint);
    // WM_NCLBUTTONDOWN on a box at screenPoint: posts WM_SYSCOMMAND with the
    // button's command and the window-relative point, and answers true; false
    // when no drawn button is there.
    bool ClickTitleBar(POINT screenPoint);

    // WM_ERASEBKGND: the background of the current mode over the client area.
    void DrawBackground(HDC dc);

    // --- Coordinates -------------------------------------------------------
    // Whether skin coordinates are pixels (a window region is in force) or
    // dialog units of the main window.
    bool PixelCoordinates() const { return pixelCoordinates_; }
    // A skin rectangle in the main window's current client coordinates.
    RECT ResolveRect(const RECT& skinRect) const;
    // Dialog units of the main window to pixels, in place (nothing while
    // PixelCoordinates()).
    void ConvertDialogUnits(RECT* rect) const;

    // --- Accelerators ------------------------------------------------------
    HACCEL AcceleratorTable() const { return accelerators_.get(); }
    // The application's message filter: a key press translated through the
    // table to the main window. True when it was an accelerator.
    bool TranslateSkinAccelerator(MSG* msg) const;

    // --- State -----------------------------------------------------------
    // The two display modes and the drawn title bar. Max mode's background
    // and shape are read when they are first needed (the window opens in
    // normal mode): by the first Max() or entry into max mode.
    const TDisplayMode& Normal() const { return normal_; }
    const TDisplayMode& Max();
    // Where the max panel goes: from the skin's values, without the shape.
    const RECT& MaxPanelRect() const { return max_.panelRect; }
    const TTitleBarSkin& TitleBar() const { return titleBar_; }
    bool MaxMode() const { return maxMode_; }
    bool MaxWindowEnabled() const { return maxWindowEnabled_; }
    const char* GetMaxPanelService() const { return getMaxPanelService_; }
    const char* RightButtonService() const { return rightButtonService_; }
    int StatusBarHeight() const { return statusBarHeight_; }
    COLORREF MaskColor() const { return maskColor_; }
    bool RegionFlag() const { return regionFlag_; }
    HICON WindowIcon() const { return windowIcon_; }
    const RECT& WindowRect() const { return windowRect_; }
    SIZE CurrentSize() const { return currentSize_; }
    // The window's menu bar, owned here: whoever gives it to the window with
    // SetMenu takes it off again before the window is destroyed, which would
    // destroy it a second time.
    UniqueMenu& MenuBar() { return menuBar_; }
    TPanelState& Panels() { return panels_; }
    // The notifier's skin ("skin/notifier-window"), read on the first
    // request; its image is owned here.
    const TNotifierSkin& NotifierSkin();

private:
    // Steps of SetUpWindow.
    void ApplyWindowIcon(HWND window, const TShownIcon& shown);
    void ApplyWindowSize(HWND window);
    void ReadShape(HWND window);
    void ReadMaxMode();
    // Max mode's background and region, once after each SetUpWindow.
    void ReadMaxShape();
    void CentreWindow(HWND window, SIZE size);

    CConfigure& configure_;

    HWND mainWindowHandle_ = nullptr;
    HICON windowIcon_ = nullptr;  // the configuration's logo or the icon standing for it, not owned

    TDisplayMode normal_;
    TDisplayMode max_;
    bool maxShapeRead_ = true;  // nothing to read before SetUpWindow
    bool maxMode_ = false;
    bool maxWindowEnabled_ = false;
    char getMaxPanelService_[kSkinTextSize] = {};
    char rightButtonService_[kSkinTextSize] = {};
    COLORREF maskColor_ = kDefaultMaskColor;
    bool regionFlag_ = false;  // the skin asks for a shaped window and a region was built
    // Set while a window region is in force: skin coordinates are pixels.
    bool pixelCoordinates_ = false;
    RECT windowRect_ = {};
    SIZE currentSize_ = {};

    TTitleBarSkin titleBar_;
    UniqueMenu menuBar_;
    UniqueAccel accelerators_;
    int statusBarHeight_ = 0;
    TPanelState panels_;
    TNotifierSkin notifierSkin_ = {};
    bool notifierSkinRead_ = false;
};

}  // namespace kivra
