#include "framework/CrashContext.h"

#include "framework/Text.h"

#include <new>

namespace kivra {

// Deeper entries than this are not noted (a plugin calling a plugin calling...).
constexpr int kNotesPerThread = 16;
struct ThreadNotes {
    int depth;
    PluginCallNote notes[kNotesPerThread];
};

namespace {

// Plugin libraries are written by the user-interface thread only, and read
// without a lock by a crash report: a slot's module is set last and cleared
// first, so a reader sees a slot either whole or free.
struct ModuleSlot {
    HMODULE volatile module;
    char name[64];
    wchar_t path[MAX_PATH];
};
constexpr int kModuleSlots = 128;
ModuleSlot g_modules[kModuleSlots];
wchar_t g_loading[MAX_PATH];  // empty when no library is being loaded

ModuleSlot* FindSlot(HMODULE module)
{
    for (ModuleSlot& slot : g_modules)
        if (slot.module == module)
            return &slot;
    return nullptr;
}


DWORD TlsSlot()
{
    static const DWORD slot = ::TlsAlloc();
    return slot;
}

// Made on a thread's first entry and kept for its life (a few threads at most).
ThreadNotes* NotesOfThisThread(bool make)
{
    const DWORD slot = TlsSlot();
    if (slot == TLS_OUT_OF_INDEXES)
        return nullptr;
    auto* notes = static_cast<ThreadNotes*>(::TlsGetValue(slot));
    if (notes == nullptr && make) {
        notes = new (std::nothrow) ThreadNotes{};
        if (notes != nullptr)
            ::TlsSetValue(slot, notes);
    }
    return notes;
}

}  // namespace

void NoteModule(HMODULE module, const wchar_t* path)
{
    if (module == nullptr)
        return;
    ModuleSlot* slot = FindSlot(module);
    if (slot == nullptr)
        slot = FindSlot(nullptr);
    if (slot == nullptr)
        return;  // more plugin libraries than slots: the rest go unnamed
    slot->module = nullptr;
    CopyText(slot->name, "");
    CopyText(slot->path, path);
    slot->module = module;
}

void NameModule(HMODULE module, const char* pluginName)
{
    if (ModuleSlot* slot = module ? FindSlot(module) : nullptr)
        CopyText(slot->name, pluginName);
}

void ForgetModule(HMODULE module)
{
    if (ModuleSlot* slot = module ? FindSlot(module) : nullptr)
        slot->module = nullptr;
}

void NoteLoadingLibrary(const wchar_t* path)
{
    CopyText(g_loading, path);
}

bool LookUpModule(HMODULE module, char* pluginName, size_t nameCapacity, wchar_t* path, size_t pathCapacity)
{
    const ModuleSlot* slot = module ? FindSlot(module) : nullptr;
    wchar_t file[MAX_PATH];
    const bool loading = slot == nullptr && module != nullptr && g_loading[0] != 0 &&
                         ::GetModuleFileNameW(module, file, MAX_PATH) > 0 && ::lstrcmpiW(file, g_loading) == 0;
    if (slot == nullptr && !loading)
        return false;
    if (pluginName != nullptr)
        CopyText(pluginName, nameCapacity, loading ? "" : slot->name);
    if (path != nullptr)
        CopyText(path, pathCapacity, loading ? g_loading : slot->path);
    return true;
}

PluginCallScope::PluginCallScope(HMODULE module, const char* entry, const char* detail)
{
    ThreadNotes* notes = NotesOfThisThread(true);
    if (notes == nullptr)
        return;
    if (notes->depth < kNotesPerThread) {
        PluginCallNote& note = notes->notes[notes->depth];
        note.module = module;
        note.entry = entry;
        note.window = nullptr;
        note.message = 0;
        // Copied here rather than with CopyText: this runs on every service
        // call, and only the text up to its end is ever read.
        size_t length = 0;
        if (detail != nullptr)
            for (; length + 1 < sizeof(note.detail) && detail[length] != 0; ++length)
                note.detail[length] = detail[length];
        note.detail[length] = 0;
    }
    ++notes->depth;
    notes_ = notes;
}

PluginCallScope::PluginCallScope(HWND window, UINT message) : PluginCallScope(nullptr, "window message")
{
    if (notes_ != nullptr && notes_->depth <= kNotesPerThread) {
        notes_->notes[notes_->depth - 1].window = window;
        notes_->notes[notes_->depth - 1].message = message;
    }
}

PluginCallScope::~PluginCallScope()
{
    if (notes_ != nullptr)
        --notes_->depth;
}

int CurrentPluginCalls(PluginCallNote* out, int capacity)
{
    const ThreadNotes* notes = NotesOfThisThread(false);
    if (notes == nullptr || out == nullptr)
        return 0;
    int count = notes->depth < kNotesPerThread ? notes->depth : kNotesPerThread;
    if (count > capacity)
        count = capacity;
    for (int i = 0; i < count; ++i)
        out[i] = notes->notes[i];
    return count;
}

}  // namespace kivra
