#include "tests/support/faultywrites.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <dlfcn.h>
#include <unistd.h>

namespace {

std::atomic<int> failure{0};
char prefix[PATH_MAX] = {};
size_t prefixSize = 0;

bool aimedAt(int fd)
{
    char link[64], path[PATH_MAX];
    std::snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
    const ssize_t n = ::readlink(link, path, sizeof path);
    return n >= ssize_t(prefixSize) && std::memcmp(path, prefix, prefixSize) == 0;
}

} // namespace

void FaultyWrites::failWritesTo(const QString &pathPrefix, int error)
{
    // The folder as the kernel names it (no symbolic links), the rest as given.
    const QFileInfo info(pathPrefix);
    const QString folder = info.absoluteDir().canonicalPath();
    const QByteArray bytes = QFile::encodeName(folder + QLatin1Char('/') + info.fileName());
    prefixSize = std::min<size_t>(size_t(bytes.size()), sizeof prefix - 1);
    std::memcpy(prefix, bytes.constData(), prefixSize);
    failure = error;
}

void FaultyWrites::stop()
{
    failure = 0;
}

extern "C" ssize_t write(int fd, const void *data, size_t size)
{
    using Write = ssize_t (*)(int, const void *, size_t);
    static const Write real = reinterpret_cast<Write>(dlsym(RTLD_NEXT, "write"));
    if (const int error = failure.load(std::memory_order_relaxed); error != 0 && aimedAt(fd)) {
        errno = error;
        return -1;
    }
    return real(fd, data, size);
}
