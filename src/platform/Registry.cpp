#include "platform/Registry.h"

#include "platform/SysInfoLocator.h"

#include <QByteArray>
#include <cstring>
#include <map>

namespace platform {
namespace {

// Key and value names compare without regard to letter case, as on Windows.
bool sameName(const char* a, const char* b) {
    return QString::compare(QString::fromLocal8Bit(a), QString::fromLatin1(b),
                            Qt::CaseInsensitive) == 0;
}

}  // namespace

int32_t LinuxRegistry::RegOpenKeyExA(HKEY root, const char* subKey, uint32_t, uint32_t, HKEY* result) {
    if (root != HKEY_LOCAL_MACHINE || !subKey ||
        !sameName(subKey, "SOFTWARE\\Microsoft\\Shared Tools\\MSINFO"))
        return ERROR_FILE_NOT_FOUND;
    const QString path = locateSysInfo();
    if (path.isEmpty()) return ERROR_FILE_NOT_FOUND;
    const HKEY handle = next_++;
    open_[handle] = path.toLocal8Bit();
    *result = handle;
    return ERROR_SUCCESS;
}

int32_t LinuxRegistry::RegQueryValueExA(HKEY key, const char* valueName, uint32_t*, uint32_t* type, char* data,
                                        uint32_t* size) {
    const auto it = open_.find(key);
    if (it == open_.end()) return ERROR_INVALID_HANDLE;
    if (!valueName || !sameName(valueName, "PATH")) return ERROR_FILE_NOT_FOUND;
    const QByteArray& text = it->second;
    const uint32_t needed = uint32_t(text.size()) + 1;  // stored with its NUL
    if (type) *type = REG_SZ;
    if (data && needed > *size) {
        *size = needed;
        return ERROR_MORE_DATA;
    }
    if (data) {
        std::memcpy(data, text.constData(), text.size());
        data[text.size()] = '\0';
    }
    *size = needed;
    return ERROR_SUCCESS;
}

int32_t LinuxRegistry::RegCloseKey(HKEY key) { return open_.erase(key) ? ERROR_SUCCESS : ERROR_INVALID_HANDLE; }

bool GetKeyValue(Registry& registry, HKEY KeyRoot, const QString& KeyName,
                 const QString& SubKeyRef, QString& KeyVal) {
    HKEY hKey = 0;
    const QByteArray keyName = KeyName.toLocal8Bit();
    if (registry.RegOpenKeyExA(KeyRoot, keyName.constData(), 0, kKeyAccessMask, &hKey) !=
        ERROR_SUCCESS) {
        KeyVal.clear();
        registry.RegCloseKey(hKey);
        return false;
    }

    QByteArray buffer(kValueBufferSize, '\0');
    uint32_t size = kValueBufferSize;
    uint32_t type = 0;
    const QByteArray valueName = SubKeyRef.toLocal8Bit();
    if (registry.RegQueryValueExA(hKey, valueName.constData(), nullptr, &type,
                                  buffer.data(), &size) != ERROR_SUCCESS) {
        KeyVal.clear();
        registry.RegCloseKey(hKey);
        return false;
    }

    // String values usually count their terminating NUL in the size; drop it
    // only when it is really there.
    qsizetype n = qMin<qsizetype>(size, buffer.size());
    if (n > 0 && buffer.at(n - 1) == '\0') --n;
    const QByteArray kept = buffer.left(n);

    switch (type) {
    case REG_SZ:
        KeyVal = QString::fromLocal8Bit(kept);
        break;
    case REG_DWORD: {
        // The number's four bytes, least significant first, straight from the buffer.
        uint32_t number = 0;
        for (int i = 3; i >= 0; --i) number = (number << 8) | uint8_t(buffer.at(i));
        KeyVal = QString::number(number);
        break;
    }
    default:
        break;  // not text: the caller's value stands
    }
    registry.RegCloseKey(hKey);
    return true;
}

}  // namespace platform
