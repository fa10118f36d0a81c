// console_probe: holds a console window open around the game and reads the
// console back, so that a script driving the window with real key presses
// can check exactly what the player sees: every character with its colours,
// the cursor, the title and the window's size.
//
//   console_probe host INFO PROGRAM
//       Run as the window's first process. Sets grey on black, fills more
//       than a window's worth of rows with text, writes INFO
//       ("host=" its process id, "before=" the console's colours), starts
//       PROGRAM in this console and waits for it; then writes INFO.end
//       ("exit=" the program's exit code, "after=" the console's colours)
//       and keeps the window open, as the game left it, until `release`.
//   console_probe read HOST DUMP [--until TEXT]... [--prompt] [--bar N] [--timeout MS]
//       Attaches to the console of process HOST and waits until every
//       condition holds: TEXT on screen (also across a row the console
//       wrapped); the cursor just after a "> " with nothing typed yet; the
//       timing bar on the top row with at least N filled cells. Then writes
//       DUMP.info (facts, "key=value"), DUMP.txt (the buffer's rows, from the
//       top of the scrollback to the last row with text) and DUMP.attr (those
//       rows' colours, two hex digits a cell). Exits with 1 when the time-out
//       (default 60 s) passed first.
//   console_probe release HOST
//       Lets the host end, which closes the window.
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cwchar>
#include <string>
#include <vector>

namespace {

constexpr int kBarCells = 35;
constexpr DWORD kPollMs = 20;
constexpr int kEarlierRows = 60;

std::wstring releaseEventName(DWORD host) {
    return L"talvoren-console-probe-release-" + std::to_wstring(host);
}

std::string toUtf8(const std::wstring& wide) {
    if (wide.empty()) return {};
    const int size = static_cast<int>(wide.size());
    const int bytes = ::WideCharToMultiByte(CP_UTF8, 0, wide.data(), size, nullptr, 0, nullptr, nullptr);
    if (bytes <= 0) return {};
    std::string text(static_cast<std::size_t>(bytes), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, wide.data(), size, text.data(), bytes, nullptr, nullptr);
    return text;
}

// Writes the whole file under a temporary name first, so that a script
// polling for it never reads half of it.
bool writeFileWhole(const std::wstring& path, const std::string& contents) {
    const std::wstring part = path + L".part";
    const HANDLE file =
        ::CreateFileW(part.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    const bool wrote =
        ::WriteFile(file, contents.data(), static_cast<DWORD>(contents.size()), &written, nullptr) != 0 &&
        written == contents.size();
    ::CloseHandle(file);
    return wrote && ::MoveFileExW(part.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING) != 0;
}

HANDLE openConsoleOutput() {
    return ::CreateFileW(L"CONOUT$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                         nullptr, OPEN_EXISTING, 0, nullptr);
}

int consoleAttributes(HANDLE output) {
    CONSOLE_SCREEN_BUFFER_INFO info{};
    if (::GetConsoleScreenBufferInfo(output, &info) == 0) return -1;
    return info.wAttributes;
}

// Ctrl+C in the window is meant for the game; the probe stays.
BOOL WINAPI ignoreInterrupts(DWORD event) {
    return event == CTRL_C_EVENT || event == CTRL_BREAK_EVENT ? TRUE : FALSE;
}

// More rows than the window shows, as a session before the game would leave:
// the game's first clear must blank the scrollback too.
void writeEarlierText(HANDLE output) {
    for (int line = 1; line <= kEarlierRows; ++line) {
        const std::string text =
            "console_probe: row " + std::to_string(line) + " written before the game\r\n";
        DWORD written = 0;
        ::WriteFile(output, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    }
}

int runHost(const std::wstring& info, const std::wstring& program) {
    ::SetConsoleCtrlHandler(ignoreInterrupts, TRUE);
    const DWORD self = ::GetCurrentProcessId();
    const HANDLE release = ::CreateEventW(nullptr, TRUE, FALSE, releaseEventName(self).c_str());
    const HANDLE output = openConsoleOutput();
    if (release == nullptr || output == INVALID_HANDLE_VALUE) return 2;
    // Grey on black, as a Windows console starts (wine's starts in bright
    // white, the game's own colour, which would hide a colour left behind).
    ::SetConsoleTextAttribute(output, FOREGROUND_RED | FOREGROUND_GREEN | FOREGROUND_BLUE);
    writeEarlierText(output);
    if (!writeFileWhole(info, "host=" + std::to_string(self) +
                                  "\nbefore=" + std::to_string(consoleAttributes(output)) + "\n")) {
        return 2;
    }
    std::wstring commandLine = L"\"" + program + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION game{};
    if (::CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                         &startup, &game) == 0) {
        writeFileWhole(info + L".end", "start-error=" + std::to_string(::GetLastError()) + "\n");
        return 2;
    }
    ::WaitForSingleObject(game.hProcess, INFINITE);
    DWORD exitCode = 0;
    ::GetExitCodeProcess(game.hProcess, &exitCode);
    ::CloseHandle(game.hThread);
    ::CloseHandle(game.hProcess);
    writeFileWhole(info + L".end", "exit=" + std::to_string(exitCode) +
                                       "\nafter=" + std::to_string(consoleAttributes(output)) + "\n");
    ::WaitForSingleObject(release, 10 * 60 * 1000);  // a script that died must not hold the window forever
    return 0;
}

struct Snapshot {
    CONSOLE_SCREEN_BUFFER_INFO buffer{};
    std::vector<std::wstring> text;  // every row of the buffer, trailing blanks removed
    std::vector<std::vector<WORD>> colours;
};

bool takeSnapshot(HANDLE output, Snapshot& shot) {
    if (::GetConsoleScreenBufferInfo(output, &shot.buffer) == 0) return false;
    const SHORT width = shot.buffer.dwSize.X;
    const SHORT height = shot.buffer.dwSize.Y;
    if (width <= 0 || height <= 0) return false;
    shot.text.assign(static_cast<std::size_t>(height), std::wstring());
    shot.colours.assign(static_cast<std::size_t>(height), std::vector<WORD>());
    const SHORT rowsPerRead = static_cast<SHORT>(std::max(1, 8000 / width));  // stays under 64 KB a call
    std::vector<CHAR_INFO> cells;
    for (SHORT top = 0; top < height; top = static_cast<SHORT>(top + rowsPerRead)) {
        const SHORT rows = std::min<SHORT>(rowsPerRead, static_cast<SHORT>(height - top));
        cells.assign(static_cast<std::size_t>(width) * static_cast<std::size_t>(rows), CHAR_INFO{});
        SMALL_RECT area{0, top, static_cast<SHORT>(width - 1), static_cast<SHORT>(top + rows - 1)};
        if (::ReadConsoleOutputW(output, cells.data(), COORD{width, rows}, COORD{0, 0}, &area) == 0) {
            return false;
        }
        for (SHORT row = 0; row < rows; ++row) {
            const std::size_t at = static_cast<std::size_t>(top + row);
            for (SHORT column = 0; column < width; ++column) {
                const CHAR_INFO& cell =
                    cells[static_cast<std::size_t>(row) * static_cast<std::size_t>(width) +
                          static_cast<std::size_t>(column)];
                shot.text[at].push_back(cell.Char.UnicodeChar);
                shot.colours[at].push_back(cell.Attributes);
            }
            const std::size_t end = shot.text[at].find_last_not_of(L' ');
            shot.text[at].resize(end == std::wstring::npos ? 0 : end + 1);
        }
    }
    return true;
}

// Filled cells of the timing bar on the top row, or -1 when no bar is there.
int barFill(const Snapshot& shot) {
    if (shot.text.empty()) return -1;
    const std::wstring& row = shot.text[0];
    if (row.size() < kBarCells + 2 || row[0] != L'[' || row[kBarCells + 1] != L']') return -1;
    int fill = 0;
    for (int cell = 1; cell <= kBarCells; ++cell) {
        const wchar_t c = row[static_cast<std::size_t>(cell)];
        if (c == L':' && fill == cell - 1) {
            ++fill;
        } else if (c != L'#' && c != L':') {
            return -1;
        }
    }
    return fill;
}

wchar_t cellAt(const Snapshot& shot, int column, int row) {
    if (row < 0 || static_cast<std::size_t>(row) >= shot.text.size() || column < 0) return L' ';
    const std::wstring& text = shot.text[static_cast<std::size_t>(row)];
    return static_cast<std::size_t>(column) < text.size() ? text[static_cast<std::size_t>(column)] : L' ';
}

// The cursor stands right after "> " (which may have wrapped onto its row)
// with nothing typed yet: the game waits at a prompt.
bool waitsAtPrompt(const Snapshot& shot) {
    const int width = shot.buffer.dwSize.X;
    const int at = shot.buffer.dwCursorPosition.Y * width + shot.buffer.dwCursorPosition.X;
    const std::size_t row = static_cast<std::size_t>(shot.buffer.dwCursorPosition.Y);
    if (at < 2 || row >= shot.text.size() || shot.text[row].size() > static_cast<std::size_t>(at % width)) {
        return false;
    }
    return cellAt(shot, (at - 1) % width, (at - 1) / width) == L' ' &&
           cellAt(shot, (at - 2) % width, (at - 2) / width) == L'>';
}

// The buffer's text as it was written: a full row runs on into the next one,
// so a text the console wrapped is found whole.
std::wstring joinedText(const Snapshot& shot) {
    std::wstring screen;
    for (const std::wstring& row : shot.text) {
        screen += row;
        if (static_cast<int>(row.size()) < shot.buffer.dwSize.X) screen.push_back(L'\n');
    }
    return screen;
}

struct Conditions {
    std::vector<std::wstring> texts;
    bool prompt = false;
    int bar = 0;
    DWORD timeoutMs = 60000;
};

bool holds(const Snapshot& shot, const Conditions& wanted) {
    if (!wanted.texts.empty()) {
        const std::wstring screen = joinedText(shot);
        for (const std::wstring& text : wanted.texts) {
            if (screen.find(text) == std::wstring::npos) return false;
        }
    }
    if (wanted.prompt && !waitsAtPrompt(shot)) return false;
    return wanted.bar <= 0 || barFill(shot) >= wanted.bar;
}

std::string hexColours(const std::vector<WORD>& row) {
    static const char digits[] = "0123456789abcdef";
    std::string line;
    for (const WORD colour : row) {
        line.push_back(digits[(colour >> 4) & 0xf]);
        line.push_back(digits[colour & 0xf]);
    }
    return line;
}

bool writeDump(const std::wstring& dump, HANDLE output, const Snapshot& shot) {
    std::size_t rows = shot.text.size();
    while (rows > 0 && shot.text[rows - 1].empty()) --rows;
    std::string text;
    std::string colours;
    for (std::size_t row = 0; row < rows; ++row) {
        text += toUtf8(shot.text[row]) + "\n";
        colours += hexColours(shot.colours[row]) + "\n";
    }
    std::wstring title(1024, L'\0');
    title.resize(::GetConsoleTitleW(title.data(), static_cast<DWORD>(title.size())));
    RECT window{};
    const HWND handle = ::GetConsoleWindow();
    const bool haveWindow = handle != nullptr && ::GetWindowRect(handle, &window) != 0;
    CONSOLE_CURSOR_INFO cursor{};
    const bool haveCursor = ::GetConsoleCursorInfo(output, &cursor) != 0;
    const CONSOLE_SCREEN_BUFFER_INFO& buffer = shot.buffer;
    char facts[512];
    std::snprintf(facts, sizeof(facts),
                  "buffer=%d %d\nview=%d %d %d %d\ncursor=%d %d\ncursor-visible=%d\nattributes=%02x\n"
                  "window=%ld %ld\nbar=%d\nrows=%zu\n",
                  buffer.dwSize.X, buffer.dwSize.Y, buffer.srWindow.Left, buffer.srWindow.Top,
                  buffer.srWindow.Right, buffer.srWindow.Bottom, buffer.dwCursorPosition.X,
                  buffer.dwCursorPosition.Y, haveCursor ? (cursor.bVisible != 0 ? 1 : 0) : -1,
                  static_cast<unsigned>(buffer.wAttributes), haveWindow ? window.right - window.left : -1L,
                  haveWindow ? window.bottom - window.top : -1L, barFill(shot), rows);
    return writeFileWhole(dump + L".txt", text) && writeFileWhole(dump + L".attr", colours) &&
           writeFileWhole(dump + L".info", "title=" + toUtf8(title) + "\n" + facts);
}

int runReader(DWORD host, const std::wstring& dump, const Conditions& wanted) {
    ::SetConsoleCtrlHandler(ignoreInterrupts, TRUE);
    ::FreeConsole();
    if (::AttachConsole(host) == 0) {
        std::fprintf(stderr, "console_probe: cannot attach to the console of process %lu (error %lu)\n",
                     static_cast<unsigned long>(host), static_cast<unsigned long>(::GetLastError()));
        return 2;
    }
    const HANDLE output = openConsoleOutput();
    if (output == INVALID_HANDLE_VALUE) return 2;
    const ULONGLONG deadline = ::GetTickCount64() + wanted.timeoutMs;
    Snapshot shot;
    bool met = false;
    for (;;) {
        const bool taken = takeSnapshot(output, shot);
        met = taken && holds(shot, wanted);
        if (met || ::GetTickCount64() >= deadline) break;
        ::Sleep(kPollMs);
    }
    if (!writeDump(dump, output, shot)) return 2;
    return met ? 0 : 1;
}

int usage() {
    std::fputs(
        "usage: console_probe host INFO PROGRAM\n"
        "       console_probe read HOST DUMP [--until TEXT]... [--prompt] [--bar N] [--timeout MS]\n"
        "       console_probe release HOST\n",
        stderr);
    return 2;
}

DWORD numberArgument(const wchar_t* text) {
    return static_cast<DWORD>(std::wcstoul(text, nullptr, 10));
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    const std::vector<std::wstring> args(argv + 1, argv + argc);
    if (args.size() == 3 && args[0] == L"host") return runHost(args[1], args[2]);
    if (args.size() == 2 && args[0] == L"release") {
        const HANDLE release = ::OpenEventW(EVENT_MODIFY_STATE, FALSE,
                                            releaseEventName(numberArgument(args[1].c_str())).c_str());
        return release != nullptr && ::SetEvent(release) != 0 ? 0 : 1;
    }
    if (args.size() < 3 || args[0] != L"read") return usage();
    Conditions wanted;
    for (std::size_t at = 3; at < args.size(); ++at) {
        const bool hasValue = at + 1 < args.size();
        if (args[at] == L"--prompt") {
            wanted.prompt = true;
        } else if (args[at] == L"--until" && hasValue) {
            wanted.texts.push_back(args[++at]);
        } else if (args[at] == L"--bar" && hasValue) {
            wanted.bar = static_cast<int>(std::min<DWORD>(numberArgument(args[++at].c_str()), kBarCells));
        } else if (args[at] == L"--timeout" && hasValue) {
            wanted.timeoutMs = numberArgument(args[++at].c_str());
        } else {
            return usage();
        }
    }
    return runReader(numberArgument(args[1].c_str()), args[2], wanted);
}
