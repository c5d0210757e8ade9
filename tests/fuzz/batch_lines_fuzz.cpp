// The lines "CHARACTER CODE" that `velmora --report -` reads from standard input, run through
// the command-line mode itself. Whatever the lines, it ends with status 0 or 2 (never as if the
// output had failed), and in UTF-8 mode writes valid UTF-8.
#include "concepts/command_line.h"
#include "tests/fuzz/fuzz_check.h"

#include <QByteArray>
#include <QString>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <fcntl.h>
#include <sanitizer/common_interface_defs.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Standard input, output and error become in-memory files for the whole run; the checkers'
// reports keep going to the original standard error.
struct Streams {
    int in = memfd_create("stdin", 0);
    int out = memfd_create("stdout", 0);
    int null = open("/dev/null", O_WRONLY);
    int err = dup(2);
    Streams() {
        FUZZ_CHECK(in >= 0 && out >= 0 && null >= 0 && err >= 0);
        __sanitizer_set_report_fd(reinterpret_cast<void*>(static_cast<std::intptr_t>(err)));
        FUZZ_CHECK(dup2(in, 0) == 0 && dup2(out, 1) == 1);
        // Unbuffered: a run that stops early leaves nothing read ahead for the next one.
        std::setvbuf(stdin, nullptr, _IONBF, 0);
    }
};

QByteArray Run(const std::uint8_t* data, std::size_t size, bool big5, int& status) {
    static Streams streams;
    FUZZ_CHECK(ftruncate(streams.in, 0) == 0 && ftruncate(streams.out, 0) == 0);
    FUZZ_CHECK(pwrite(streams.in, data, size, 0) == static_cast<ssize_t>(size));
    lseek(streams.in, 0, SEEK_SET);
    lseek(streams.out, 0, SEEK_SET);
    std::clearerr(stdin);
    char program[] = "velmora", report[] = "--report", dash[] = "-", big5Option[] = "--big5";
    char* argv[] = {program, report, dash, big5Option, nullptr};
    // The messages about bad lines are not kept.
    std::fflush(stderr);
    dup2(streams.null, 2);
    status = velmora::runCommandLine(big5 ? 4 : 3, argv, true);
    std::fflush(stderr);
    dup2(streams.err, 2);
    std::fflush(stdout);
    struct stat st {};
    FUZZ_CHECK(fstat(streams.out, &st) == 0);
    QByteArray output(static_cast<qsizetype>(st.st_size), '\0');
    FUZZ_CHECK(pread(streams.out, output.data(), output.size(), 0) == st.st_size);
    return output;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    int status = -1;
    const QByteArray utf8 = Run(data, size, false, status);
    FUZZ_CHECK(status == 0 || status == 2);
    FUZZ_CHECK(QString::fromUtf8(utf8).toUtf8() == utf8);
    int big5Status = -1;
    const QByteArray big5 = Run(data, size, true, big5Status);
    FUZZ_CHECK(big5Status == status);
    // The same reports, in the other encoding and with CR LF line ends.
    FUZZ_CHECK(big5.count('\n') == utf8.count('\n'));
    return 0;
}
