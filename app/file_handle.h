#pragma once
// Owns a file handle from CreateFile and closes it.

#include <windows.h>

namespace quorvel {

class FileHandle {
public:
    explicit FileHandle(HANDLE handle) : handle_(handle) {}
    ~FileHandle() { close(); }
    FileHandle(const FileHandle&) = delete;
    FileHandle& operator=(const FileHandle&) = delete;
    bool valid() const { return handle_ != INVALID_HANDLE_VALUE && handle_ != nullptr; }
    HANDLE get() const { return handle_; }
    // Closes the handle now; false when closing failed (a write may be lost).
    bool close() {
        if (!valid()) return true;
        const bool ok = CloseHandle(handle_) != 0;
        handle_ = INVALID_HANDLE_VALUE;
        return ok;
    }

private:
    HANDLE handle_;
};

}  // namespace quorvel
