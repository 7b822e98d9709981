#include "entropy_source.hpp"

#include <dlfcn.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/random.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <mutex>
#include <variant>

namespace quorvel {

namespace {

using GetrandomFunction = ssize_t (*)(void*, std::size_t, unsigned int);

EntropyError unexpected_situation() { return {"unexpected situation"}; }

EntropyError last_os_error() { return {describe_os_error(errno)}; }

// Looked up by name rather than linked, so that the module still loads on a
// C library without it. The probe asks for no bytes and does not block, so a
// kernel whose pool is not yet ready is still recognised as supporting it.
GetrandomFunction supported_getrandom() {
    static const GetrandomFunction chosen = []() -> GetrandomFunction {
        void* symbol = dlsym(RTLD_DEFAULT, "getrandom");
        if (symbol == nullptr) return nullptr;
        const auto function = reinterpret_cast<GetrandomFunction>(symbol);
        if (function(nullptr, 0, GRND_NONBLOCK) < 0 && (errno == EPERM || errno == ENOSYS))
            return nullptr;
        return function;
    }();
    return chosen;
}

// Repeats interrupted calls and continues short reads until out is full.
template <typename Read>
std::optional<EntropyError> fill_by_reads(std::span<std::uint8_t> out, Read read) {
    while (!out.empty()) {
        const ssize_t count = read(out.data(), out.size());
        if (count < 0) {
            if (errno == EINTR) continue;
            return last_os_error();
        }
        if (count == 0 || static_cast<std::size_t>(count) > out.size())
            return unexpected_situation();
        out = out.subspan(static_cast<std::size_t>(count));
    }
    return std::nullopt;
}

// /dev/urandom does not block before the kernel pool is seeded, so wait until
// /dev/random reports it readable, which it does from then on.
std::optional<EntropyError> wait_until_pool_ready() {
    int device;
    do device = open("/dev/random", O_RDONLY | O_CLOEXEC);
    while (device < 0 && errno == EINTR);
    if (device < 0) return last_os_error();

    pollfd request{device, POLLIN, 0};
    std::optional<EntropyError> error;
    while (poll(&request, 1, -1) < 0) {
        if (errno != EINTR && errno != EAGAIN) {
            error = last_os_error();
            break;
        }
    }
    close(device);
    return error;
}

// Opened on first need and kept open for the life of the process; a failed
// open is tried again by the next request.
std::variant<int, EntropyError> urandom_descriptor() {
    static std::mutex guard;
    static int descriptor = -1;
    const std::lock_guard lock(guard);
    if (descriptor >= 0) return descriptor;
    if (std::optional<EntropyError> error = wait_until_pool_ready()) return *std::move(error);
    int opened;
    do opened = open("/dev/urandom", O_RDONLY | O_CLOEXEC);
    while (opened < 0 && errno == EINTR);
    if (opened < 0) return last_os_error();
    descriptor = opened;
    return descriptor;
}

}  // namespace

std::string describe_os_error(int error_number) {
    if (error_number <= 0) return "errno: did not return a positive value";
    char text[256];
    return std::string(strerror_r(error_number, text, sizeof text)) + " (os error " +
           std::to_string(error_number) + ")";
}

std::optional<EntropyError> fill_from_entropy_source(std::span<std::uint8_t> out) {
    if (const GetrandomFunction getrandom_bytes = supported_getrandom()) {
        return fill_by_reads(out, [getrandom_bytes](std::uint8_t* data, std::size_t size) {
            return getrandom_bytes(data, size, 0);
        });
    }
    std::variant<int, EntropyError> device = urandom_descriptor();
    if (auto* error = std::get_if<EntropyError>(&device)) return std::move(*error);
    return fill_by_reads(out, [fd = std::get<int>(device)](std::uint8_t* data, std::size_t size) {
        return read(fd, data, size);
    });
}

}  // namespace quorvel
