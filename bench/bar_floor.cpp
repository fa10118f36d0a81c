// The floor of the timing bar: the same frames as the game's, each sent in one
// write on an exact 50 ms schedule, the space bar polled once per frame. It
// answers the same prompts as a fight's turn: "1" or "2" starts a bar, Enter after
// the grade comes back to the prompt, "99" or the end of input ends it.
#include <poll.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <string>
#include <string_view>

namespace {

constexpr int kCells = 35;
constexpr long kFrameNs = 50'000'000L;

void writeAll(std::string_view text) {
    while (!text.empty()) {
        const ssize_t done = ::write(STDOUT_FILENO, text.data(), text.size());
        if (done < 0) {
            if (errno == EINTR) continue;
            return;
        }
        text.remove_prefix(static_cast<std::size_t>(done));
    }
}

// One line of input, or false at its end.
bool readLine(std::string& line) {
    line.clear();
    char c = 0;
    for (;;) {
        const ssize_t got = ::read(STDIN_FILENO, &c, 1);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) return false;
        if (c == '\n') return true;
        line.push_back(c);
    }
}

bool spacePressed() {
    char buffer[256];
    for (;;) {
        struct pollfd in = {STDIN_FILENO, POLLIN, 0};
        if (::poll(&in, 1, 0) <= 0) return false;
        const ssize_t got = ::read(STDIN_FILENO, buffer, sizeof buffer);
        if (got <= 0) return false;
        for (ssize_t i = 0; i < got; ++i) {
            if (buffer[i] == ' ') return true;
        }
    }
}

const char* colourOf(int index, int filled) {
    if (index < filled) return "\x1b[0;32;40m";
    if (index < 20) return "\x1b[0;36;40m";
    if (index < 26) return "\x1b[0;31;40m";
    return "\x1b[0;97;40m";
}

std::string frame(int filled) {
    std::string out = "\x1b[H[";
    const char* current = "\x1b[0;97;40m";
    for (int index = 0; index < kCells; ++index) {
        const char* colour = colourOf(index, filled);
        if (std::string_view(colour) != current) {
            out += colour;
            current = colour;
        }
        out.push_back(index < filled ? ':' : '#');
    }
    if (std::string_view(current) != "\x1b[0;97;40m") out += "\x1b[0;97;40m";
    out += "]\n";
    return out;
}

std::string runBar() {
    struct termios saved {};
    const bool keyMode = ::tcgetattr(STDIN_FILENO, &saved) == 0;
    if (keyMode) {
        struct termios keys = saved;
        keys.c_lflag &= ~static_cast<tcflag_t>(ICANON | ECHO);
        keys.c_cc[VMIN] = 1;
        keys.c_cc[VTIME] = 0;
        ::tcsetattr(STDIN_FILENO, TCSANOW, &keys);
    }
    struct timespec next {};
    ::clock_gettime(CLOCK_MONOTONIC, &next);
    std::string pending = "\x1b[H\x1b[2J\x1b[3J\x1b[0;97;40m";
    std::string grade;
    for (int filled = 1; grade.empty(); ++filled) {
        pending += frame(filled);
        writeAll(pending);
        pending.clear();
        if (spacePressed()) {
            grade = filled >= 26 ? "Miss" : filled >= 20 ? "Critical" : "Hit";
            writeAll(grade + "\n");
        }
        next.tv_nsec += kFrameNs;
        if (next.tv_nsec >= 1'000'000'000L) {
            next.tv_nsec -= 1'000'000'000L;
            ++next.tv_sec;
        }
        while (::clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &next, nullptr) == EINTR) {
        }
    }
    if (keyMode) {
        ::tcflush(STDIN_FILENO, TCIFLUSH);
        ::tcsetattr(STDIN_FILENO, TCSANOW, &saved);
    }
    return grade;
}

}  // namespace

int main() {
    std::string line;
    for (;;) {
        writeAll("[1] Attack\n[2] Heal\n[99] Flee\n> ");
        if (!readLine(line) || line == "99") return 0;
        if (line != "1" && line != "2") continue;
        runBar();
        writeAll("Press ENTER to continue...\n> ");
        if (!readLine(line)) return 0;
    }
}
