// `peak_rss OUT PROGRAM ARGS...`: runs the program and writes its peak
// resident memory in KiB to the file OUT. Linked statically and kept to libc
// calls, because the kernel counts the launcher's own pages before the exec
// into the child's peak.
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fputs("usage: peak_rss OUT PROGRAM [ARGS...]\n", stderr);
        return 2;
    }
    const pid_t child = ::fork();
    if (child < 0) return 127;
    if (child == 0) {
        ::execv(argv[2], argv + 2);
        ::_exit(127);
    }
    int status = 0;
    struct rusage usage {};
    while (::wait4(child, &status, 0, &usage) < 0) {
        if (errno != EINTR) return 127;
    }
    std::FILE* out = std::fopen(argv[1], "w");
    if (out != nullptr) {
        std::fprintf(out, "%ld\n", usage.ru_maxrss);
        std::fclose(out);
    }
    if (WIFEXITED(status)) return WEXITSTATUS(status);
    return 128 + (WIFSIGNALED(status) ? WTERMSIG(status) : 0);
}
