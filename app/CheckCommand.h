// The checks for plugin and skin authors, run inside Kivra.exe so that plugin
// libraries bind to this very program (they import its functions by the name
// Kivra.exe) through the loader's and the skin readers' own code:
//
//   Kivra.exe --check                        every library of plugins\, then the configured skin
//   Kivra.exe --check plugins [file.dll ...]  plugins\ in start-up order, then the files given
//   Kivra.exe --check skin [name | folder]    the configured skin, a skin\<name>, or a folder
//   Kivra.exe --help
//
// kivra-check.exe beside Kivra.exe runs the same with a console of its own.
// The output goes to the standard output when it is a file or a pipe, else to
// the console Kivra.exe was started from, else into a message box. Exit code:
// 0 all is well, 1 a library would not be bound, 2 the skin would not start
// (the shell would say "The config file may be broken!").
#pragma once

#include <string>
#include <vector>

namespace kivra {

constexpr int kCheckPassed = 0;
constexpr int kCheckPluginRefused = 1;
constexpr int kCheckSkinWouldNotStart = 2;

// Whether the command line (without the program name) asks for a check or
// for help rather than for the shell.
bool IsCheckCommand(const std::vector<std::wstring>& arguments);

// Runs it; returns the exit code.
int RunCheckCommand(const std::vector<std::wstring>& arguments);

}  // namespace kivra
