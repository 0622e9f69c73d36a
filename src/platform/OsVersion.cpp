#include "platform/OsVersion.h"

#include <cstdio>
#include <cstdlib>
#include <sys/utsname.h>

int32_t GetVersionExA(OSVERSIONINFOA* info) {
    if (const char* env = std::getenv("QZ4471_WINVER")) {
        unsigned id = 0, major = 0, minor = 0;
        if (std::sscanf(env, "%u %u %u", &id, &major, &minor) == 3) {
            info->dwPlatformId = id;
            info->dwMajorVersion = major;
            info->dwMinorVersion = minor;
            return 1;
        }
    }
    info->dwPlatformId = kPlatformLinux;
    utsname u{};
    if (uname(&u) == 0) {
        unsigned major = 0, minor = 0;
        std::sscanf(u.release, "%u.%u", &major, &minor);
        info->dwMajorVersion = major;
        info->dwMinorVersion = minor;
    }
    return 1;
}
