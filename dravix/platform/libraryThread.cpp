#include "platform/libraryThread.h"

#include <exception>

#include "log/logger.h"

namespace dravix {

namespace {
thread_local bool tlsLibraryThread = false;

// The text of the exception being handled.
const char* currentExceptionText() noexcept {
    try {
        throw;
    } catch (const std::exception& error) {
        return error.what();
    } catch (...) {
        return "unknown exception";
    }
}
}  // namespace

bool libraryThread::isCurrent() {
    return tlsLibraryThread;
}

void libraryThread::run(const char* name, const std::function<void()>& body) noexcept {
    tlsLibraryThread = true;
    try {
        body();
    } catch (...) {
        libraryLog().error("%s: thread ended by an exception: %s", name, currentExceptionText());
    }
}

}  // namespace dravix
