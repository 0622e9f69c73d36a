#pragma once
// The operating-system version query the start-up code expects. Linux has no
// such call; this layer answers with a platform id of its own (neither the
// Windows 9x id 1 nor the NT id 2), or with the numbers in QZ4471_WINVER.
#include <cstdint>

struct OSVERSIONINFOA {
    uint32_t dwOSVersionInfoSize = 0;
    uint32_t dwMajorVersion = 0;
    uint32_t dwMinorVersion = 0;
    uint32_t dwBuildNumber = 0;
    uint32_t dwPlatformId = 0;
    char szCSDVersion[128] = {};
};
static_assert(sizeof(OSVERSIONINFOA) == 148);

constexpr uint32_t kPlatformLinux = 0x4C58;  // "LX"

// QZ4471_WINVER="<platform id> <major> <minor>" overrides what is reported.
int32_t GetVersionExA(OSVERSIONINFOA* info);
