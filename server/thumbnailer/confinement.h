#pragma once
// What parvault-thumbnailer gives up before it reads a picture, so that a hostile one can take no
// more than a bounded share of the machine and reach nothing of the server's.

#include <sys/resource.h>

#include <string>

namespace wharfling::server {

// Address space: room for libvips and a picture at the pixel ceiling shrunk while it loads.
inline constexpr rlim_t kThumbnailerAddressSpace = rlim_t{1} << 30;
// CPU seconds: far more than a thumbnail takes, and less than the server's wall clock for the
// helper, so that a picture that only burns time is ended by this limit and known as the culprit.
inline constexpr rlim_t kThumbnailerCpuSeconds = 30;

// The largest file it may write: standard output may be a file, and nothing else needs to be.
inline constexpr rlim_t kThumbnailerFileSize = rlim_t{16} << 20;

// Closes every descriptor above standard error, ends this process with its parent, and lowers the
// limits: the address space (not under AddressSanitizer, which reserves terabytes up front), CPU
// time, file size, no core files. False, with why, when a limit could not be set.
bool ConfineThumbnailer(std::string& why);

}  // namespace wharfling::server
