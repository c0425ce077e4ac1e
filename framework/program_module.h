#pragma once
// The program's own modules: parts with heavy libraries (the synthesizer, the picture drawing)
// that are opened only when they are needed, so that the program starts without them.

#include <string>

struct CProgramModule
{
    void* pHandle = nullptr; // dlopen's handle, kept open for the rest of the run
    std::string strPath;     // where the module was found; empty when nowhere
    std::string strError;    // dlopen's reason, or the places searched when it was not found
};

// Looks for the module `file` beside the executable (the build tree), then in the installed
// layout's `installedFolder` (e.g. "lib/tarvel1/modules", relative to the executable's "../"), then at
// `builtPath`. A non-empty `onlyPath` is the one place looked at. Opens the first found.
CProgramModule OpenProgramModule(const std::string& file, const std::string& installedFolder,
                                 const std::string& builtPath, const std::string& onlyPath = {});
