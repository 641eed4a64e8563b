#include "tools/zelph/unfinished.h"

namespace zelph {

// Counts brackets outside string constants and comments. A string constant
// ends at its quote (a backslash escapes the next character) or at the end of
// its line; a "//" comment at the end of its line.
bool IsUnfinished(std::string_view text)
{
    int depth = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        const char next = i + 1 < text.size() ? text[i + 1] : '\0';
        if (c == '/' && next == '/') {
            while (i < text.size() && text[i] != '\n')
                ++i;
        } else if (c == '/' && next == '*') {
            std::size_t end = text.find("*/", i + 2);
            if (end == std::string_view::npos)
                return true;
            i = end + 1;
        } else if (c == '"' || c == '\'') {
            for (++i; i < text.size() && text[i] != c && text[i] != '\n'; ++i)
                if (text[i] == '\\')
                    ++i;
        } else if (c == '(' || c == '[' || c == '{') {
            ++depth;
        } else if (c == ')' || c == ']' || c == '}') {
            --depth;
        }
    }
    return depth > 0;
}

} // namespace zelph
