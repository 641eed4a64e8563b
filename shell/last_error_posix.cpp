#include "shell/last_error.h"

#include <cerrno>
#include <cstring>

std::string LastErrorText()
{
    return std::strerror(errno);
}
