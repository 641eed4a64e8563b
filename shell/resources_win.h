// Reading the executable's packaged resources. Every function takes the module
// to read from; the default is the running executable (tests pass a packaged file
// loaded as a data module).
#pragma once

#include "shell/byte_io.h"

#include <windows.h>

#include <optional>
#include <string>

// A copy of the resource's bytes. Throws CMavBaseException (the system's text
// for the last error) when the resource is absent, empty, or cannot be loaded.
Bytes LoadRawResource(const char* name, const char* type, HMODULE module = nullptr);

// Finds the resource and unpacks the SM container it holds, in place. Throws
// CMavBaseException as LoadRawResource does; container failures are
// UnpackContainer's (reported with ReportError when reportErrors is set).
std::optional<Bytes> LoadPackedResource(const char* name, const char* type, bool reportErrors,
                                        HMODULE module = nullptr);

// Validates VEXPAK/ID and gives its text in the ANSI code page. False when the
// resource is absent, cannot be read, or is not a valid identity.
bool CheckIdentity(std::string& identityText, HMODULE module = nullptr);
