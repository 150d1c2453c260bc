#include "config/SkinPluginPanel.h"

#include <cstring>
#include <cwchar>
#include <new>
#include <string>
#include <unordered_set>

#include "config/SkinKeys.h"
#include "config/Values.h"
#include "framework/Text.h"

namespace kivra {

namespace {

// The control-list nodes this shell allocated and has not given back yet.
// Only these are freed: a node the plugin linked in itself is merely unlinked,
// and a list released twice frees nothing twice. The registry is used from
// the user-interface thread only.
std::unordered_set<TPluginControlNode*>& ShellControlNodes()
{
    static std::unordered_set<TPluginControlNode*> nodes;
    return nodes;
}

bool ListIsUsable(const TPluginControlList* list)
{
    return list != nullptr && list->pHead != nullptr && list->pHead->pNext != nullptr &&
           list->pHead->pPrev != nullptr;
}

bool AppendControl(TPluginControlList* list, const TPluginControl& control)
{
    TPluginControlNode* node = new (std::nothrow) TPluginControlNode{};
    if (node == nullptr)
        return false;
    try {
        ShellControlNodes().insert(node);
    } catch (const std::bad_alloc&) {
        delete node;
        return false;
    }
    node->control = control;
    TPluginControlNode* sentinel = list->pHead;
    node->pNext = sentinel;
    node->pPrev = sentinel->pPrev;
    sentinel->pPrev->pNext = node;
    sentinel->pPrev = node;
    ++list->nCount;
    return true;
}

void ReadControls(CSkin& skin, const XmlNode& section, TPluginControlList* list)
{
    CXmlDocument& document = skin.Document();
    XmlNode child;
    std::wstring elementName;
    while (NextChildElement(section, &child, &elementName)) {
        if (elementName != L"control")
            continue;
        TAttributeEntry rows[] = {
            {L"name", L""},       {L"rect", L""},       {L"tooltip", L""},    {L"font-size", L""},
            {L"font-face", L""},  {L"font-color", L""}, {L"image-list", L""}, {L"image-size", L""},
            {L"visable", L""},    {L"font-weight", L""},
        };
        if (!document.ReadAttributeTable(child, rows))
            continue;
        const wchar_t* name = AttributeValue(rows, L"name");
        if (name[0] == 0)
            continue;

        TPluginControl control{};
        NarrowName(control.szName, name);
        CopyText(control.szTooltip, AttributeValue(rows, L"tooltip"));
        CopyText(control.szFontFace, AttributeValue(rows, L"font-face"));
        control.nFontSize = ParseDecimal(AttributeValue(rows, L"font-size"), 0);
        control.crFontColor = ParseColor(AttributeValue(rows, L"font-color"));
        control.nFontWeight = ParseDecimal(AttributeValue(rows, L"font-weight"), 0);
        // Only exactly "false" hides a control.
        control.bVisible = wcscmp(AttributeValue(rows, L"visable"), L"false") == 0 ? 0 : 1;
        control.rect = ParseRect(AttributeValue(rows, L"rect"));
        IntPair size = ParsePair(AttributeValue(rows, L"image-size"));
        control.nImageWidth = size.first;
        control.nImageHeight = size.second;
        UniqueBitmap imageList;
        skin.LoadSkinImage(AttributeValue(rows, L"image-list"), &imageList);
        control.hImageList = imageList.get();
        if (!AppendControl(list, control))
            return;
        imageList.release();  // the list's now, freed by "manager/DeletePluginRes"
    }
}

}  // namespace

void SelectPluginSkin(CSkin& skin, TPluginSkin* request)
{
    if (request == nullptr)
        return;
    request->bFound = 0;

    // The plugin's name field may not be terminated: read at most 63 bytes.
    char name[KIVRA_NAME_SIZE];
    std::memcpy(name, request->szPluginName, sizeof(name) - 1);
    name[sizeof(name) - 1] = 0;
    wchar_t wideName[KIVRA_NAME_SIZE];
    WidenName(wideName, name);

    CXmlDocument& document = skin.Document();
    if (!document.Select(skinpath::kPlugin))
        return;
    XmlNode section;
    std::wstring sectionName;
    for (;;) {
        if (!document.NextMatch(L"name", &sectionName, nullptr, &section))
            return;
        if (sectionName == wideName)  // the first section of that name wins
            break;
    }

    TAttributeEntry rows[] = {
        {L"background-color", L""}, {L"background-image", L""}, {L"region", L""}, {L"mask-color", L""},
    };
    if (document.ReadAttributeTable(section, rows)) {
        request->crBackground = ParseColor(AttributeValue(rows, L"background-color"));
        request->crMask = ParseColor(AttributeValue(rows, L"mask-color"));
        skin.LoadSkinImage(AttributeValue(rows, L"background-image"), &request->hBackground);
        // "region" is part of the format but has never been used.
    }
    request->bFound = 1;

    if (request->pControls == nullptr)
        return;
    if (!ListIsUsable(request->pControls))
        return;
    ReadControls(skin, section, request->pControls);
}

void DeletePluginResources(TPluginSkin* request)
{
    if (request == nullptr || request->pControls == nullptr)
        return;
    TPluginControlList* list = request->pControls;
    TPluginControlNode* sentinel = list->pHead;
    if (sentinel == nullptr) {
        list->nCount = 0;
        return;
    }
    auto& shellNodes = ShellControlNodes();
    // The walk is bounded so a damaged list cannot keep it going forever.
    const size_t maxSteps = shellNodes.size() + static_cast<size_t>(list->nCount) + 1;
    TPluginControlNode* node = sentinel->pNext;
    for (size_t step = 0; node != nullptr && node != sentinel && step < maxSteps; ++step) {
        TPluginControlNode* next = node->pNext;
        auto found = shellNodes.find(node);
        if (found != shellNodes.end()) {
            shellNodes.erase(found);
            delete node;
        }
        node = next;
    }
    sentinel->pNext = sentinel;
    sentinel->pPrev = sentinel;
    list->nCount = 0;
}

}  // namespace kivra
