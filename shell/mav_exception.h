// The shell's two exception classes. Both carry one text, at most 255 characters.
#pragma once

#include "framework/exception.h"

#include <string>

class CMavBaseException : public CException {
public:
    // The operating system's message for the calling thread's last error.
    CMavBaseException();
    explicit CMavBaseException(std::string text);

    bool GetErrorMessage(char* buffer, unsigned size, unsigned* helpContext = nullptr) const override;
    const std::string& Text() const { return text_; }

private:
    std::string text_;
};

// Failures of the SM container and of zlib.
class CZipException : public CMavBaseException {
public:
    explicit CZipException(std::string text) : CMavBaseException(std::move(text)) {}
    // The text for a zlib result code.
    explicit CZipException(int zlibCode) : CMavBaseException(ZlibCodeText(zlibCode)) {}

    static const char* ZlibCodeText(int zlibCode);
};
