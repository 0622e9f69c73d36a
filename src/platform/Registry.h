#pragma once
// A registry in the shape of the advapi32 calls the About box was written
// against, so its lookup of the system-information program keeps working on
// a platform that has no registry: the Linux registry answers the one value
// it is asked for from the search path (SysInfoLocator).
#include <QByteArray>
#include <QString>
#include <cstdint>
#include <map>

namespace platform {

using HKEY = uint32_t;  // a root key or an opened key, as a 32-bit handle value

constexpr HKEY HKEY_LOCAL_MACHINE = 0x80000002;

constexpr int32_t ERROR_SUCCESS = 0;
constexpr int32_t ERROR_FILE_NOT_FOUND = 2;
constexpr int32_t ERROR_ACCESS_DENIED = 5;
constexpr int32_t ERROR_INVALID_HANDLE = 6;
constexpr int32_t ERROR_MORE_DATA = 234;

constexpr uint32_t REG_SZ = 1;
constexpr uint32_t REG_DWORD = 4;

// Read and write rights together; a key the user may only read refuses it.
constexpr uint32_t kKeyAccessMask = 0x2003F;
constexpr uint32_t kValueBufferSize = 1024;

class Registry {
public:
    virtual ~Registry() = default;
    // Opens subKey (ANSI text, '\' separated) under root; *result gets the handle.
    virtual int32_t RegOpenKeyExA(HKEY root, const char* subKey, uint32_t options,
                                  uint32_t access, HKEY* result) = 0;
    // Copies the value's bytes into data when they fit in *size bytes;
    // *size is set to the value's length either way.
    virtual int32_t RegQueryValueExA(HKEY key, const char* valueName, uint32_t* reserved,
                                     uint32_t* type, char* data, uint32_t* size) = 0;
    virtual int32_t RegCloseKey(HKEY key) = 0;
};

// Knows one key: the system-information program's path, found on PATH when
// the key is opened. Without such a program the key does not exist.
class LinuxRegistry final : public Registry {
public:
    int32_t RegOpenKeyExA(HKEY root, const char* subKey, uint32_t options, uint32_t access, HKEY* result) override;
    int32_t RegQueryValueExA(HKEY key, const char* valueName, uint32_t* reserved, uint32_t* type, char* data,
                             uint32_t* size) override;
    int32_t RegCloseKey(HKEY key) override;

private:
    std::map<HKEY, QByteArray> open_;
    HKEY next_ = 0x100;
};

// One registry value as text: true when the value was read. A string value
// gives its text, a 32-bit number its decimal form; any other type leaves
// KeyVal as passed in.
bool GetKeyValue(Registry& registry, HKEY KeyRoot, const QString& KeyName,
                 const QString& SubKeyRef, QString& KeyVal);

}  // namespace platform
