// The identity resource VEXPAK/ID: a NUL-terminated UTF-16LE text of the form
// company/product, 16 reserved bytes, then the package digest of everything
// before the digest.
#pragma once

#include "shell/byte_io.h"

#include <optional>
#include <string>
#include <string_view>

// The text of a valid identity; nothing when the resource is 32 bytes or less,
// its digest does not match, or its text has no NUL before the reserved bytes.
std::optional<std::u16string> ValidateIdentity(ByteView resource);

// A valid identity resource for text (reserved bytes zero).
Bytes MakeIdentity(std::u16string_view text);
