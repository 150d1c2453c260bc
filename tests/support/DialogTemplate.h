// Dialog templates built in memory for the tests: the dialog, then its items,
// each DWORD-aligned as the dialog manager wants them.
#pragma once

#include <windows.h>

#include <vector>

namespace kivra::testing {

class DialogTemplateBuilder {
public:
    // font: the face of an 8-point DS_SETFONT font, or null for the system font.
    DialogTemplateBuilder(DWORD style, short cx, short cy, const wchar_t* caption = L"", DWORD exStyle = 0,
                          const wchar_t* font = L"MS Shell Dlg")
    {
        PushDword(font ? style | DS_SETFONT : style);
        PushDword(exStyle);
        words_.push_back(0);  // item count, set by Get
        PushRect(0, 0, cx, cy);
        words_.push_back(0);  // no menu
        words_.push_back(0);  // the dialog class
        PushText(caption);
        if (font) {
            words_.push_back(8);  // point size
            PushText(font);
        }
    }

    // An item of a window class named className (WS_CHILD and WS_VISIBLE added).
    DialogTemplateBuilder& Add(const wchar_t* className, const wchar_t* text, WORD id, DWORD style,
                               short x, short y, short cx, short cy)
    {
        if (words_.size() % 2)
            words_.push_back(0);
        PushDword(style | WS_CHILD | WS_VISIBLE);
        PushDword(0);
        PushRect(x, y, cx, cy);
        words_.push_back(id);
        PushText(className);
        PushText(text);
        words_.push_back(0);  // no creation data
        ++count_;
        return *this;
    }

    const DLGTEMPLATE* Get()
    {
        words_[4] = count_;
        return reinterpret_cast<const DLGTEMPLATE*>(words_.data());
    }

private:
    void PushRect(short x, short y, short cx, short cy)
    {
        for (short value : {x, y, cx, cy})
            words_.push_back(static_cast<WORD>(value));
    }
    void PushDword(DWORD value)
    {
        words_.push_back(LOWORD(value));
        words_.push_back(HIWORD(value));
    }
    void PushText(const wchar_t* text)
    {
        for (; *text; ++text)
            words_.push_back(static_cast<WORD>(*text));
        words_.push_back(0);
    }

    std::vector<WORD> words_;
    WORD count_ = 0;
};

}  // namespace kivra::testing
