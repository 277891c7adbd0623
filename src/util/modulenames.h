// The module's own names, fixed once at start-up.
#pragma once

// Full path of the module file, its last component the long name as stored.
extern char ModulePath[260];
// That long name without its extension: dialog caption and error prefix.
extern char ModuleTitle[260];

// Fills both from the given raw module path (as GetModuleFileNameA gives it).
void SetModuleNames(const char* rawPath);
// Fills both from the running module.
void InitModuleNames();
