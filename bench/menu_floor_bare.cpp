// The bare floor of start-up: the main menu's bytes in one write and one
// answer read, with nothing from the C++ library, so that only the C library
// is loaded. Shows what the C++ run-time itself costs.
#include <unistd.h>

#include <string_view>

int main() {
    constexpr std::string_view menu =
        "\x1b[4;500;1000t\x1b]0;Talvoren -- Build v0.1.0\x07\x1b[H\x1b[2J\x1b[3J"
        "[1] New Game\n[2] Options\n[3] Credits\n[4] Load Game\n\n[99] Exit\n> ";
    if (::write(STDOUT_FILENO, menu.data(), menu.size()) < 0) return 1;
    char answer[64];
    return ::read(STDIN_FILENO, answer, sizeof answer) < 0 ? 1 : 0;
}
