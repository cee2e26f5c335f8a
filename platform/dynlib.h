// Libraries loaded by name at run time (plug-ins), over the dynamic loader.
#pragma once

#include <vector>

#include "platform/system.h"

/// Handle of a loaded library; null when loading failed.
using HMODULE = void*;

/// Folder of the running program, with a trailing "/" ("" when it cannot be
/// read from /proc/self/exe).
String ExeFolder();

/// The file names tried, in order, for a library name. A name ending in
/// ".dll" (any case) and holding no folder, "xyz.dll", is tried as
/// ExeDir + "xyz.so", then as "libxyz.so" and "xyz.so" through the dynamic
/// loader's search; with a folder, "dir/xyz.dll" is tried as "dir/xyz.so".
/// Any other name is tried as it is.
std::vector<String> LibraryCandidates(const String& Name, const String& ExeDir);

/// Loads a library by the name rule of LibraryCandidates with the program's
/// folder; returns null when no candidate loads (GetLoadLibraryError then
/// tells why).
HMODULE LoadLibrary(const String& Name);
/// The same with ExeDir standing for the program's folder.
HMODULE LoadLibraryFrom(const String& Name, const String& ExeDir);
/// Address of an exported symbol, null when the library lacks it or Module
/// is null.
void* GetProcAddress(HMODULE Module, const String& ProcName);
/// Unloads a library loaded by LoadLibrary; false for null or on failure.
bool FreeLibrary(HMODULE Module);
/// The loader's message for the last failed LoadLibrary on this thread.
String GetLoadLibraryError();
