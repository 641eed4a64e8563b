#include "framework/exception.h"

#include <vector>

std::string CException::ErrorMessage(unsigned size) const
{
    if (size == 0)
        return {};
    std::vector<char> buffer(size, '\0');
    if (!GetErrorMessage(buffer.data(), size))
        return {};
    return buffer.data();
}
