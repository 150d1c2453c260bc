// Controls left out of a dialog's template and made later: the dialog then
// looks as if the dialog manager had made them with the others.
#include "framework/Dialog.h"
#include "framework/DialogTemplate.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "resources/resource.h"
#include "tests/framework/FrameworkTestSupport.h"

using namespace kivra;
using kivra::test::EnsureCommonControls;

namespace {

struct TChild {
    int id;
    std::wstring className, text;
    LONG_PTR style, exStyle;
    RECT place;
    HFONT font;  // null: the dialog's own

    bool operator==(const TChild& other) const
    {
        return id == other.id && className == other.className && text == other.text && style == other.style &&
               exStyle == other.exStyle && ::EqualRect(&place, &other.place) && font == other.font;
    }
};

std::vector<TChild> Children(HWND dialog)
{
    std::vector<TChild> children;
    for (HWND child = ::GetWindow(dialog, GW_CHILD); child; child = ::GetWindow(child, GW_HWNDNEXT)) {
        WindowRef item(child);
        children.push_back({item.Id(), item.ClassName(), item.GetText(), item.Style(), item.ExStyle(),
                            item.RectInParent(), reinterpret_cast<HFONT>(::SendMessageW(child, WM_GETFONT, 0, 0))});
    }
    return children;
}

void PrintTo(const TChild& child, std::ostream* out)
{
    *out << child.id << " " << std::string(child.className.begin(), child.className.end()) << " style "
         << std::hex << child.style << " ex " << child.exStyle << std::dec << " at " << child.place.left << ","
         << child.place.top << "-" << child.place.right << "," << child.place.bottom;
}

TEST(DialogTemplate, DeferredControlsAreMadeAsTheTemplateSaysInTheirTabPlaces)
{
    EnsureCommonControls();
    // The first, a middle and the last item of templates, of a class given by
    // name and of classes given by ordinal; several at once, deferred in any
    // order, up to every item of a template. A control the template lacks
    // has them all made with the others.
    const struct {
        UINT dialog;
        std::vector<UINT> controls;
        bool deferred;
    } cases[] = {
        {IDD_SETTING, {IDC_SETTING_TREE}, true},
        {IDD_SETTING, {IDC_SETTING_OK}, true},
        {IDD_SETTING, {IDC_SETTING_CANCEL}, true},
        {IDD_SETTING, {IDC_SETTING_APPLY, IDC_SETTING_OK}, true},
        {IDD_SETTING, {IDC_SETTING_TREE, IDC_SETTING_CANCEL, IDC_SETTING_APPLY, IDC_SETTING_OK}, true},
        {IDD_SETTING, {IDC_SETTING_OK, 4321}, false},
        {IDD_PASSWORD, {IDC_PASSWORD_EDIT}, true},
        {IDD_ABOUT, {IDC_ABOUT_OK}, true},
        {IDD_WAIT, {IDC_WAIT_PROGRESS}, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::Message() << "dialog " << c.dialog << ", first control " << c.controls.front()
                                          << " of " << c.controls.size());
        CDialog whole(c.dialog);
        ASSERT_TRUE(whole.Create(nullptr));
        CDialog deferred(c.dialog);
        for (UINT id : c.controls)
            deferred.DeferControl(id);
        ASSERT_TRUE(deferred.Create(nullptr));

        const size_t left = c.deferred ? c.controls.size() : 0;
        EXPECT_EQ(Children(deferred).size() + left, Children(whole).size());
        for (UINT id : c.controls) {
            if (!c.deferred || ::GetDlgItem(whole, id) == nullptr)
                continue;
            EXPECT_EQ(::GetDlgItem(deferred, id), nullptr) << id;
            const RECT expected = WindowRef(whole.Item(id)).RectInParent();
            const RECT before = deferred.DeferredControlRect(id);
            EXPECT_TRUE(::EqualRect(&before, &expected)) << id;
        }

        deferred.CreateDeferredControls();
        deferred.CreateDeferredControls();  // makes nothing more
        std::vector<TChild> wholeChildren = Children(whole);
        std::vector<TChild> deferredChildren = Children(deferred);
        // Each dialog has a font of its own, made from the same template.
        const auto dialogFont = [](HWND dialog) { return reinterpret_cast<HFONT>(::SendMessageW(dialog, WM_GETFONT, 0, 0)); };
        for (TChild& child : wholeChildren)
            child.font = child.font == dialogFont(whole) ? nullptr : child.font;
        for (TChild& child : deferredChildren)
            child.font = child.font == dialogFont(deferred) ? nullptr : child.font;
        EXPECT_EQ(deferredChildren, wholeChildren);
    }
}

TEST(DialogTemplate, ATemplateThatDoesNotAddUpIsLeftAsItIs)
{
    const std::vector<BYTE> whole = CopyDialogResource(::GetModuleHandleW(nullptr), IDD_SETTING);
    ASSERT_FALSE(whole.empty());
    TTemplateControl control;
    std::vector<BYTE> bytes = whole;
    EXPECT_FALSE(TakeControlOut(&bytes, 4321, &control)) << "no such control";
    EXPECT_EQ(bytes, whole);

    // The tree is the last item: every shorter copy cuts into it, or before it.
    for (size_t length = 0; length < whole.size(); ++length) {
        bytes.assign(whole.begin(), whole.begin() + static_cast<std::ptrdiff_t>(length));
        const std::vector<BYTE> cut = bytes;
        EXPECT_FALSE(TakeControlOut(&bytes, IDC_SETTING_TREE, &control)) << length;
        EXPECT_EQ(bytes, cut) << length;
    }

    // More items counted than there are; a plain (not extended) template.
    const auto damaged = [&whole](size_t offset, WORD value) {
        std::vector<BYTE> copy = whole;
        std::memcpy(copy.data() + offset, &value, sizeof(value));
        return copy;
    };
    WORD items = 0;
    std::memcpy(&items, whole.data() + 16, sizeof(items));
    for (std::vector<BYTE> copy : {damaged(16, items + 1), damaged(2, 0)}) {
        const std::vector<BYTE> before = copy;
        EXPECT_FALSE(TakeControlOut(&copy, IDC_SETTING_TREE, &control));
        EXPECT_EQ(copy, before);
    }

    // Taken out: one item fewer, and the rest still read.
    bytes = whole;
    ASSERT_TRUE(TakeControlOut(&bytes, IDC_SETTING_TREE, &control));
    EXPECT_EQ(_wcsicmp(control.className.c_str(), L"SysTreeView32"), 0);
    EXPECT_EQ(control.index, 3u);
    EXPECT_EQ(control.position.x, 8);
    EXPECT_EQ(control.size.cy, 177);
    EXPECT_LT(bytes.size(), whole.size());
    TTemplateControl ok;
    EXPECT_TRUE(TakeControlOut(&bytes, IDC_SETTING_OK, &ok));
    EXPECT_EQ(ok.className, L"Button");
    EXPECT_EQ(ok.text, L"OK");
}

}  // namespace
