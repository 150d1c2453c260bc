// What a crash report needs to know about the code the shell runs for others:
// which loaded library is which plugin, and which plugin entry (LoadPlugin, a
// service handler, a window message) each thread has entered. The loader and
// the registry keep this up to date; the crash report reads it while the
// process is failing, so reading takes no lock and allocates nothing.
#pragma once

#include <windows.h>

namespace kivra {

// A plugin library: path when loaded, name once GetPluginInfo told it.
void NoteModule(HMODULE module, const wchar_t* path);
void NameModule(HMODULE module, const char* pluginName);
// Before the library is freed.
void ForgetModule(HMODULE module);

// The library LoadLibrary is loading (its DllMain and constructors run
// before NoteModule can); null when done.
void NoteLoadingLibrary(const wchar_t* path);

// Copies what is known of module; false when it is no plugin library (noted,
// or the one being loaded, whose name is empty then). Either output may be null.
bool LookUpModule(HMODULE module, char* pluginName, size_t nameCapacity, wchar_t* path, size_t pathCapacity);

// One plugin entry a thread is inside, innermost last.
struct PluginCallNote {
    HMODULE module;     // the plugin's library, null for the built-in plugin
    const char* entry;  // "LoadPlugin", "service", "window message"...: static text
    char detail[64];    // the service path, or empty
    HWND window;        // for window messages
    UINT message;
};

struct ThreadNotes;  // one thread's entries

// Marks, for its lifetime, that the calling thread has entered plugin code.
// Every service call makes one, so it costs a TLS lookup and a short copy.
class PluginCallScope {
public:
    PluginCallScope(HMODULE module, const char* entry, const char* detail = nullptr);
    PluginCallScope(HWND window, UINT message);  // a window message being dispatched
    ~PluginCallScope();
    PluginCallScope(const PluginCallScope&) = delete;
    PluginCallScope& operator=(const PluginCallScope&) = delete;

private:
    ThreadNotes* notes_ = nullptr;  // null when nothing was pushed
};

// The calling thread's entries, outermost first; returns how many were copied.
int CurrentPluginCalls(PluginCallNote* out, int capacity);

}  // namespace kivra
