// Rates outside the fixed Bxxx table (14400, 56000, 128000, 256000 and any
// custom rate) need the kernel's termios2 interface with BOTHER. Its header
// clashes with glibc's <termios.h>, so it lives alone in this file.

#include <asm/ioctls.h>
#include <asm/termbits.h>
#include <cerrno>

extern "C" int ioctl(int fd, unsigned long request, ...);

int setCustomBaud(int fd, int rate)
{
    struct termios2 t {};
    if (ioctl(fd, TCGETS2, &t) != 0)
        return errno;
    t.c_cflag &= ~(CBAUD | (CBAUD << IBSHIFT));
    t.c_cflag |= BOTHER | (BOTHER << IBSHIFT);
    t.c_ispeed = static_cast<speed_t>(rate);
    t.c_ospeed = static_cast<speed_t>(rate);
    if (ioctl(fd, TCSETS2, &t) != 0)
        return errno;
    return 0;
}

int currentBaud(int fd, int *rate)
{
    struct termios2 t {};
    if (ioctl(fd, TCGETS2, &t) != 0)
        return errno;
    *rate = static_cast<int>(t.c_ospeed);
    return 0;
}
