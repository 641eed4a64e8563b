// Runtime errors and warnings.
//
// A runtime error unwinds as a C++ exception (RuntimeError) to the innermost
// handler: a script try block or a protected entry point. Its text is in the
// context's message buffer, prefixed with "Runtime error: ". Warnings are lines on
// the trace output and never change control flow.
#pragma once

#include <cstdarg>
#include <string_view>

namespace zelph {

struct Context;

// Thrown by RaiseRuntimeError (the text is in the message buffer) and by a
// script throw (thrown is set; the Value is the context's `thrown`).
struct RuntimeError {
    bool thrown = false;
};

// Prefixes the message buffer's text with "Runtime error: " (at most 1023
// characters in all) and unwinds.
[[noreturn]] void RaiseRuntimeError(Context* ctx);
// Writes the formatted text into the message buffer, then RaiseRuntimeError.
[[noreturn]] void RaiseError(Context* ctx, const char* format, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 2, 3)))
#endif
    ;

// The message buffer: set (cut to 1023 bytes), format, read.
void SetMessage(Context* ctx, std::string_view text);
void SetMessageFormat(Context* ctx, const char* format, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 2, 3)))
#endif
    ;
const char* Message(const Context* ctx);

// One line on the trace output (the text, then CR LF).
void Warn(Context* ctx, std::string_view text);
void WarnFormat(Context* ctx, const char* format, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 2, 3)))
#endif
    ;

// Runs fn under a host-level handler: returns true when it finished, false when a
// runtime error ended it (the message buffer then holds the text). A failed
// process-heap allocation inside is reported as "Runtime error: Out of memory".
template <typename Fn>
bool Protected(Context* ctx, Fn&& fn);

} // namespace zelph

#include "script/vm/error_inl.h"
