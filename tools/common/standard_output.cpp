// SPDX-License-Identifier: MIT
#include "standard_output.h"

#include <fcntl.h>
#include <unistd.h>

namespace telo::tools {

FILE* separateLibraryLines(LibraryLines lines) {
    std::fflush(stdout);
    const int own = ::fcntl(STDOUT_FILENO, F_DUPFD_CLOEXEC, 0);
    FILE* out = own >= 0 ? ::fdopen(own, "w") : nullptr;
    if (out == nullptr) {
        if (own >= 0) {
            ::close(own);
        }
        return stdout;
    }
    const int null =
        lines == LibraryLines::kDiscarded ? ::open("/dev/null", O_WRONLY | O_CLOEXEC) : -1;
    ::dup2(null >= 0 ? null : STDERR_FILENO, STDOUT_FILENO);
    if (null >= 0) {
        ::close(null);
    }
    return out;
}

}  // namespace telo::tools
