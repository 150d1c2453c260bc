// CImageButton: the skin button. An owner-drawn BUTTON whose face is one of
// five bitmaps chosen by state, or a tile of the button's own strip, or the
// tool bar's shared plate with a shared icon; its caption is drawn over the
// face in the skin's font and colour. Clicks reach the parent as the usual
// WM_COMMAND / BN_CLICKED with the button's control id; the button sends
// nothing of its own.
//
// The parent must route its messages through CWindow (the main window does),
// so that WM_DRAWITEM and WM_CTLCOLORBTN come back to the button.
//
// Message map:
//   WM_MOUSEMOVE    starts hover/leave tracking (1 ms hover time)
//   WM_MOUSEHOVER   hover face, redrawn with erasing
//   WM_MOUSELEAVE   normal face, redrawn without erasing
//   WM_ERASEBKGND   nothing is erased
//   reflected WM_DRAWITEM    DrawItem
//   reflected WM_CTLCOLORBTN the 192,192,192 brush
#pragma once

#include <windows.h>

#include <vector>

#include "framework/Handles.h"
#include "framework/Window.h"

namespace kivra {

// Image types of SetImage, the "image", "disable", "down", "hover" and
// "focus" faces of a skin button.
enum ButtonImageType : int {
    kButtonImageNormal = 1,
    kButtonImageDisabled = 2,
    kButtonImagePressed = 3,  // kept, but no state draws it
    kButtonImageHover = 4,
    kButtonImageFocus = 5,
};

// Style of a skin button: a visible child push button; it is created
// owner-drawn (BS_OWNERDRAW added).
constexpr DWORD kImageButtonStyle = 0x50000020;

// A face stretched to a button size, for every button of that size that
// shows the same face.
struct TStretchedFace {
    SharedBitmap source;  // held, so that its handle stays its own
    SIZE size = {0, 0};
    SharedBitmap stretched;
};

// The faces the image buttons share, from the skin's tool-bar header: the
// button registry fills them in and keeps the pictures for the life of the
// buttons, each of which points at them (SetSharedImages).
struct TSharedButtonImages {
    HBITMAP strip = nullptr;   // shared icon strip
    HBITMAP normal = nullptr;  // shared plate, normal
    HBITMAP hover = nullptr;   // shared plate, under the mouse
    SIZE iconSize = {0, 0};
    COLORREF maskColor = 0;    // transparent pixels of every button's pictures
    // The stretched copies SetImage made: a skin of a thousand buttons of one
    // size showing five pictures holds five, not three thousand.
    std::vector<TStretchedFace> stretchedFaces;
};

// What a button draws for its state. Shared mode: the shared plate with the
// shared icon centred in the left half and the caption in the right half.
// Strip mode: a tile of the button's own strip. Image mode: one of the five
// bitmaps.
enum class FaceSource { None, Shared, Strip, Image };

struct TFaceInputs {
    bool focused = false;        // ODS_FOCUS
    bool disabled = false;       // ODS_DISABLED
    bool hover = false;
    bool sharedUsable = false;   // inherit flag, shared strip and hover plate, a tile for the index
    bool stripUsable = false;    // an own strip with a tile size
    bool tileFillsButton = false;  // the own strip's tile is the button's size
    bool hasImage[6] = {};       // by image type 1..5
    bool resized = false;        // one of the images was stretched to the button
};

struct TFacePlan {
    FaceSource source = FaceSource::None;
    int imageType = 0;   // image mode: 1..5
    int stripIndex = 0;  // strip mode: 0 normal, 1 hover, 2 focus, 3 disabled
    bool opaque = false; // copied as it is rather than without the mask colour
};

// The face for a state: focus wins over disabled, disabled over hover. A
// button with a stretched image draws every image opaque; a strip tile of
// another size than the button is drawn opaque and centred.
TFacePlan PlanFace(const TFaceInputs& inputs);

// Where centred text starts: area start + (area length - text length) / 2,
// by shift, so text wider than the area starts before it.
int CentredStart(int areaStart, int areaLength, int textLength);

class CImageButton : public CWindow {
public:
    CImageButton();
    ~CImageButton() override;

    // Creates the child button with kImageButtonStyle at rect, owner-drawn.
    bool Create(HWND parent, const RECT& rect, UINT id, const wchar_t* caption);

    // Takes bitmap as the face of type (1..5). A bitmap of another size than
    // the button is replaced by a copy stretched to the button (the button
    // lets go of the original) and marks the button resized. The button holds
    // the face, with whoever else shows it, and never draws into it; it lets
    // go of an earlier face of that type. Other types are ignored. With
    // shared images (SetSharedImages, set first) the buttons of one size
    // share one stretched copy of a face.
    void SetImage(SharedBitmap bitmap, int type);
    // The faces this button shares with the others (not owned; they outlive
    // the button). Without them there are none, and no mask colour.
    void SetSharedImages(TSharedButtonImages* shared) { shared_ = shared; }
    // The tile of the shared strip for index; -1 (none) when there is no such tile.
    void SetSharedTile(int index);
    void SetUseSharedImages(bool use) { useShared_ = use; }
    // The button's own strip of faces (not owned) and its tile size; only when
    // all three are given. Sets the shared mask colour to black for all
    // buttons that share the faces.
    void SetStrip(HBITMAP strip, int tileWidth, int tileHeight);
    // Captions in font (not owned: it must outlive the button; buttons of the
    // same description share one) and colour.
    void SetTextFont(HFONT font, COLORREF colour);

    bool Resized() const { return resized_; }
    bool Hovering() const { return hover_; }
    int SharedTileIndex() const { return sharedIndex_; }
    HBITMAP Image(int type) const { return type >= 1 && type <= 5 ? images_[type].get() : nullptr; }

    // Draws the face and the caption for item (WM_DRAWITEM).
    void DrawItem(const DRAWITEMSTRUCT& item);

    bool OnReflectedMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT* result) override;

protected:
    LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override;

private:
    void OnMouseMove();   // WM_MOUSEMOVE
    void OnMouseHover();  // WM_MOUSEHOVER
    void OnMouseLeave();  // WM_MOUSELEAVE
    const TSharedButtonImages& SharedFaces() const;
    // image stretched to size: the shared copy when there is one, else a new one.
    SharedBitmap StretchedFace(const SharedBitmap& image, SIZE size);
    TFaceInputs FaceInputs(UINT state, SIZE buttonSize) const;
    // Draws the face; answers the area the caption is centred in.
    RECT DrawFace(HDC dc, const RECT& item, const TFacePlan& plan);
    void DrawCaption(HDC dc, const RECT& area, bool disabled);

    bool hover_ = false;
    bool tracking_ = false;
    bool useShared_ = true;
    TSharedButtonImages* shared_ = nullptr;  // the registry's
    int sharedIndex_ = -1;
    RECT sharedTile_ = {};
    SharedBitmap images_[6];   // by image type; [0] unused
    bool resized_ = false;
    HBITMAP strip_ = nullptr;  // not owned
    SIZE stripTile_ = {0, 0};
    UniqueBrush background_;
    COLORREF textColour_ = 0;
};

// The font the captions of parent's buttons start from: the parent's, else
// the default GUI font (a button just made has none of its own). False when
// neither can be read.
bool CaptionBaseFont(HWND parent, LOGFONTW* base);
// base with the height, weight (both unless 0 or -1) and face (unless empty)
// of a skin button replaced.
LOGFONTW CaptionFont(const LOGFONTW& base, int height, int weight, const wchar_t* face);

}  // namespace kivra
