#include "dialogs/NotifierMotion.h"

#include <algorithm>

namespace kivra {

TaskbarSide TaskbarSideOf(const RECT& workArea, int screenWidth, int screenHeight)
{
    if (workArea.right - workArea.left < screenWidth)
        return workArea.left == 0 ? TaskbarSide::Right : TaskbarSide::Left;
    if (workArea.bottom - workArea.top < screenHeight && workArea.top != 0)
        return TaskbarSide::Top;
    return TaskbarSide::Bottom;
}

void NotifierMotion::SetSize(int width, int height)
{
    width_ = std::max(width, 0);
    height_ = std::max(height, 0);
}

int NotifierMotion::SlideLength() const
{
    return direction_ == SlideDirection::Right || direction_ == SlideDirection::Left ? width_ : height_;
}

POINT NotifierMotion::ShownPosition(const RECT& work) const
{
    POINT shown = position_;
    switch (direction_) {
    case SlideDirection::Left: shown.x = work.right - width_; break;
    case SlideDirection::Right: shown.x = work.left; break;
    case SlideDirection::Down: shown.y = work.top; break;
    case SlideDirection::Up: shown.y = work.bottom - height_; break;
    }
    return shown;
}

NotifierAction NotifierMotion::Show(const RECT& work, int screenWidth, int screenHeight)
{
    NotifierAction action;
    switch (state_) {
    case NotifierState::Hidden: {
        switch (TaskbarSideOf(work, screenWidth, screenHeight)) {
        case TaskbarSide::Right:
            direction_ = SlideDirection::Left;
            start_ = {work.right, work.bottom - height_};
            break;
        case TaskbarSide::Left:
            direction_ = SlideDirection::Right;
            start_ = {work.left - width_, work.bottom - height_};
            break;
        case TaskbarSide::Top:
            direction_ = SlideDirection::Down;
            start_ = {work.right - width_, work.top - height_};
            break;
        case TaskbarSide::Bottom:
            direction_ = SlideDirection::Up;
            start_ = {work.right - width_, work.bottom};
            break;
        }
        position_ = start_;
        shown_ = ShownPosition(work);
        // A bitmap thinner than one step still slides, in one step.
        const int steps = std::max(SlideLength() / kNotifierSlideStep, 1);
        showStepMs_ = kNotifierShowTimeMs / static_cast<UINT>(steps);
        hideStepMs_ = kNotifierHideTimeMs / static_cast<UINT>(steps);
        action.show = true;
        action.move = true;
        action.startTimer = kNotifierAppearTimer;
        action.interval = showStepMs_;
        break;
    }
    case NotifierState::Appearing:
        action.redraw = true;
        break;
    case NotifierState::Waiting:
        action.redraw = true;
        action.startTimer = kNotifierStayTimer;  // SetTimer on a running id restarts it
        action.interval = kNotifierStayTimeMs;
        break;
    case NotifierState::Disappearing:
        shown_ = ShownPosition(work);
        position_ = shown_;
        action.killTimer = kNotifierDisappearTimer;
        action.startTimer = kNotifierStayTimer;
        action.interval = kNotifierStayTimeMs;
        action.move = true;
        action.redraw = true;
        break;
    }
    return action;
}

namespace {

// One step of at most `step` pixels from `from` towards `to`; false when it
// is there already.
bool StepCoordinate(LONG& from, LONG to, int step)
{
    if (from == to)
        return false;
    from = from < to ? std::min<LONG>(from + step, to) : std::max<LONG>(from - step, to);
    return true;
}

}  // namespace

bool NotifierMotion::StepTowards(POINT target)
{
    const bool horizontal = direction_ == SlideDirection::Right || direction_ == SlideDirection::Left;
    return horizontal ? StepCoordinate(position_.x, target.x, kNotifierSlideStep)
                      : StepCoordinate(position_.y, target.y, kNotifierSlideStep);
}

NotifierAction NotifierMotion::Tick(UINT_PTR timer)
{
    NotifierAction action;
    switch (timer) {
    case kNotifierAppearTimer: {
        state_ = NotifierState::Appearing;
        action.move = true;
        if (!StepTowards(shown_)) {
            action.killTimer = kNotifierAppearTimer;
            action.startTimer = kNotifierStayTimer;
            action.interval = kNotifierStayTimeMs;
            state_ = NotifierState::Waiting;
        }
        break;
    }
    case kNotifierStayTimer:
        action.killTimer = kNotifierStayTimer;
        action.startTimer = kNotifierDisappearTimer;
        action.interval = hideStepMs_;
        break;
    case kNotifierDisappearTimer: {
        state_ = NotifierState::Disappearing;
        action.move = true;
        if (!StepTowards(start_)) {
            action.killTimer = kNotifierDisappearTimer;
            action.hide = true;
        }
        break;
    }
    default:
        break;
    }
    return action;
}

UniqueRegion MaskedRegion(const std::vector<BYTE>& pixels, int width, int height, COLORREF mask)
{
    if (width <= 0 || height <= 0 || pixels.size() != static_cast<size_t>(width) * height * 3)
        return {};
    const BYTE blue = GetBValue(mask), green = GetGValue(mask), red = GetRValue(mask);
    // One rectangle per run of opaque pixels in a row: the same shape as
    // cutting each mask pixel out of the whole rectangle, in one call.
    std::vector<RECT> runs;
    for (int y = 0; y < height; ++y) {
        const BYTE* row = pixels.data() + static_cast<size_t>(y) * width * 3;
        int x = 0;
        while (x < width) {
            auto isMask = [&](int at) {
                const BYTE* p = row + at * 3;
                return p[0] == blue && p[1] == green && p[2] == red;
            };
            while (x < width && isMask(x))
                ++x;
            const int first = x;
            while (x < width && !isMask(x))
                ++x;
            if (x > first)
                runs.push_back({first, y, x, y + 1});
        }
    }
    if (runs.empty())
        return {};
    std::vector<BYTE> data(sizeof(RGNDATAHEADER) + runs.size() * sizeof(RECT));
    auto* header = reinterpret_cast<RGNDATAHEADER*>(data.data());
    header->dwSize = sizeof(RGNDATAHEADER);
    header->iType = RDH_RECTANGLES;
    header->nCount = static_cast<DWORD>(runs.size());
    header->nRgnSize = static_cast<DWORD>(runs.size() * sizeof(RECT));
    header->rcBound = {0, 0, width, height};
    std::copy(runs.begin(), runs.end(), reinterpret_cast<RECT*>(data.data() + sizeof(RGNDATAHEADER)));
    return UniqueRegion(::ExtCreateRegion(nullptr, static_cast<DWORD>(data.size()),
                                          reinterpret_cast<const RGNDATA*>(data.data())));
}

UniqueRegion NotifierRegion(HBITMAP bitmap, COLORREF mask)
{
    BITMAP info{};
    if (bitmap == nullptr || ::GetObjectW(bitmap, sizeof(info), &info) == 0)
        return {};
    const int width = NotifierShapeWidth(info.bmWidth);
    const int height = info.bmHeight < 0 ? -info.bmHeight : info.bmHeight;
    if (width == 0 || height == 0)
        return {};
    // Read at the bitmap's own width (rows padded to 4 bytes), then keep the
    // first `width` columns: no system is asked to crop while converting.
    BITMAPINFO request{};
    request.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    request.bmiHeader.biWidth = info.bmWidth;
    request.bmiHeader.biHeight = -height;  // top-down
    request.bmiHeader.biPlanes = 1;
    request.bmiHeader.biBitCount = 24;
    request.bmiHeader.biCompression = BI_RGB;
    const size_t stride = (static_cast<size_t>(info.bmWidth) * 3 + 3) & ~size_t{3};
    std::vector<BYTE> padded(stride * height);
    WindowDc screen(nullptr);
    if (!screen || ::GetDIBits(screen.get(), bitmap, 0, static_cast<UINT>(height), padded.data(), &request,
                               DIB_RGB_COLORS) != height)
        return {};
    std::vector<BYTE> pixels(static_cast<size_t>(width) * height * 3);
    for (int y = 0; y < height; ++y)
        std::copy_n(padded.begin() + y * stride, width * 3, pixels.begin() + static_cast<size_t>(y) * width * 3);
    return MaskedRegion(pixels, width, height, mask);
}

}  // namespace kivra
