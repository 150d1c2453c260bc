// CFloatDlg: the small floating "drop zone" window (template 129) that stands
// for the application while the main window is hidden in the tray. It is
// always on top and semi-transparent, more opaque under the mouse; it shows a
// picture or, while data status is on, a scrolling bar graph of the samples
// plugins feed it ("manager/Dropzone/UpdateLastData") with a number in its
// corner. Drag it anywhere; a right click opens the tray menu, a double click
// brings the main window back.
//
// Start-up makes it with the desktop as parent and hides it; the skin's
// float-dlg section sets its picture and opacities; the tray menu's drop-zone
// item decides whether it shows while the main window is in the tray.
//
// It never takes the activation: it is shown with SW_SHOWNOACTIVATE and a
// click answers WM_MOUSEACTIVATE with MA_NOACTIVATE. Taking it would move the
// keyboard focus off the main window just when the tray menu opens for it;
// under Wine the main window's late loss of focus then cancels the menu.
#pragma once

#include <string>

#include "dialogs/FloatGraph.h"
#include "framework/Dialog.h"
#include "framework/Handles.h"

namespace kivra {

constexpr COLORREF kFloatGraphColor = RGB(0, 255, 0);
// Until the skin says otherwise.
constexpr BYTE kFloatNormalOpacity = 128;
constexpr BYTE kFloatHoverOpacity = 255;
constexpr int kFloatTipWidth = 500;
// The picture the window starts with, beside the executable.
constexpr wchar_t kFloatPictureFile[] = L"common\\main.bmp";
// A timer of this id never reaches the default handling.
constexpr UINT_PTR kFloatSwallowedTimer = 10;

class CFloatDlg : public CDialog {
public:
    CFloatDlg();

    // The main window, which the mouse clicks are posted to as tray clicks.
    void SetMainWindow(HWND window) { mainWindow_ = window; }

    // Loads the picture file at the window's size as its background; false
    // (nothing changes) when it does not load.
    bool SetBackgroundImage(const wchar_t* path);
    // The skin's opacities: the normal one applies at once (unless the mouse
    // is over the window), the hover one from the next hover.
    void SetNormalOpacity(BYTE opacity);
    void SetHoverOpacity(BYTE opacity);

    // A new sample (the rightmost column), the number to show and, when not
    // null, the tooltip text.
    void UpdateLastData(BYTE sample, long number, const wchar_t* tip);
    // On: the graph and the number; off: the picture, the number emptied.
    // A change empties the tooltip.
    void ShowDataStatus(bool on);

    bool DataStatus() const { return dataStatus_; }
    bool Hovering() const { return hovering_; }
    BYTE NormalOpacity() const { return normalOpacity_; }
    BYTE HoverOpacity() const { return hoverOpacity_; }
    const std::wstring& NumberText() const { return number_; }
    const std::wstring& TipText() const { return tip_; }
    const SampleHistory& History() const { return history_; }
    HWND Tooltip() const { return tooltip_; }

    bool PreTranslateMessage(MSG* msg) override;

protected:
    LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override;
    bool OnInitDialog() override;
    bool DoDataExchange(bool fromControls) override;
    // A modeless helper window: Enter and Esc must not hide it.
    void OnOK() override {}
    void OnCancel() override {}

private:
    void ApplyOpacity(BYTE opacity);
    void CreateTooltip();
    void SetTip(const wchar_t* text);
    void PostTrayClick(UINT mouseMessage);

    void OnLButtonDown(LPARAM point);               // WM_LBUTTONDOWN
    void OnMouseMove(LPARAM point);                 // WM_MOUSEMOVE
    void OnMouseLeave();                            // WM_MOUSELEAVE
    void OnEraseBackground(HDC dc);                 // WM_ERASEBKGND
    void OnPaint();                                 // WM_PAINT
    HBRUSH OnCtlColorStatic(HDC dc);                // WM_CTLCOLORSTATIC
    bool OnNotify(NMHDR* header);                   // WM_NOTIFY; true: answered

    HWND mainWindow_ = nullptr;
    bool dataStatus_ = false;
    bool hovering_ = false;
    BYTE hoverOpacity_ = kFloatHoverOpacity;
    BYTE normalOpacity_ = kFloatNormalOpacity;
    SampleHistory history_;
    HWND tooltip_ = nullptr;  // owned by the dialog's window, destroyed with it
    UniqueBrush background_;  // a pattern brush of the picture, or none
    UniqueBrush graphBackground_;
    UniquePen graphPen_;
    std::wstring number_;
    std::wstring tip_;
};

}  // namespace kivra
