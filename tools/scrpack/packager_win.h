// Makes a packaged screensaver: a copy of the generic runtime executable with
// resources added or replaced.
#pragma once

#include "shell/byte_io.h"

#include <string>
#include <vector>

struct PackageResource {
    std::u16string type;  // "VEXPAK", "ZELPH", ... or "#n" for a numeric type
    std::u16string name;  // "ID", "INITIALIZE", ... or "#n" for a numeric id
    Bytes data;
};

struct PackageJob {
    std::u16string runtime;  // the executable to copy
    std::u16string output;   // the packaged executable to write
    std::vector<PackageResource> resources;
};

// Copies the runtime to the output and stores the resources in it. A resource
// that exists already, in any language, is replaced in each of its languages; a
// new one is stored language-neutral. Names and types are stored in upper case,
// as resource compilers do. Throws CMavBaseException; the output is removed
// again on failure.
void PackageExecutable(const PackageJob& job);
