// Base of the shell's exception classes. Portable: the script-free shell code that
// reads packaged data raises these on every platform.
#pragma once

#include <string>

class CException {
public:
    virtual ~CException() = default;

    // Copies the message into buffer (at most size - 1 characters and a NUL).
    // Returns false when there is no message. helpContext, when given, receives
    // the help context id (0: none).
    virtual bool GetErrorMessage(char* buffer, unsigned size, unsigned* helpContext = nullptr) const = 0;

    // The message as GetErrorMessage gives it into a buffer of the given size.
    std::string ErrorMessage(unsigned size = 260) const;
};
