#include "platform/text_encoding.h"

#include <cstdlib>

namespace talvoren {

namespace {

char lowerCase(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool containsIgnoringCase(std::string_view text, std::string_view part) {
    for (std::size_t at = 0; at + part.size() <= text.size(); ++at) {
        std::size_t matched = 0;
        while (matched < part.size() && lowerCase(text[at + matched]) == part[matched]) ++matched;
        if (matched == part.size()) return true;
    }
    return false;
}

std::string_view variable(const char* name) {
    const char* value = std::getenv(name);
    return value == nullptr ? std::string_view() : std::string_view(value);
}

}  // namespace

TextEncoding encodingOfLocale(std::string_view lcAll, std::string_view lcCtype, std::string_view lang) {
    const std::string_view chosen = !lcAll.empty() ? lcAll : !lcCtype.empty() ? lcCtype : lang;
    return containsIgnoringCase(chosen, "utf-8") || containsIgnoringCase(chosen, "utf8")
               ? TextEncoding::utf8
               : TextEncoding::eightBit;
}

TextEncoding encodingOfEnvironment() {
    return encodingOfLocale(variable("LC_ALL"), variable("LC_CTYPE"), variable("LANG"));
}

}  // namespace talvoren
