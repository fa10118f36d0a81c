#include "console/shown_name.h"

namespace talvoren {

std::string shownName(std::string_view name) {
    std::string shown(name);
    for (char& byte : shown) {
        const auto code = static_cast<unsigned char>(byte);
        if (code < 0x20 || code == 0x7f) byte = '?';
    }
    return shown;
}

}  // namespace talvoren
