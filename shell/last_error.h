// The operating system's text for the calling thread's last error.
#pragma once

#include <string>

std::string LastErrorText();
