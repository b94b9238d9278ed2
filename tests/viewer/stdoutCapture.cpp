#include "stdoutCapture.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

stdoutCapture::stdoutCapture() {
    std::fflush(stdout);
    char name[] = "/tmp/kyrviewer-stdout-XXXXXX";
    file_ = mkstemp(name);
    unlink(name);
    savedStdout_ = dup(STDOUT_FILENO);
    dup2(file_, STDOUT_FILENO);
}

stdoutCapture::~stdoutCapture() {
    std::fflush(stdout);
    dup2(savedStdout_, STDOUT_FILENO);
    close(savedStdout_);
    close(file_);
}

QString stdoutCapture::text() const {
    std::fflush(stdout);
    std::string content;
    char buffer[4096];
    for (off_t offset = 0;;) {
        const ssize_t got = pread(file_, buffer, sizeof(buffer), offset);
        if (got <= 0) {
            break;
        }
        content.append(buffer, static_cast<std::size_t>(got));
        offset += got;
    }
    return QString::fromStdString(content);
}
