#include "FakeRegistry.h"

#include <algorithm>
#include <cctype>
#include <cstring>

using namespace platform;

std::string FakeRegistry::folded(const std::string& s) {
    std::string out = s;
    std::transform(out.begin(), out.end(), out.begin(),
                   [](unsigned char c) { return char(std::tolower(c)); });
    return out;
}

void FakeRegistry::set(HKEY root, const std::string& key, const std::string& name,
                       uint32_t type, const QByteArray& bytes) {
    keys_[{root, folded(key)}][folded(name)] = {type, bytes};
}

void FakeRegistry::setString(HKEY root, const std::string& key, const std::string& name,
                             const QByteArray& text) {
    QByteArray bytes = text;
    bytes.append('\0');
    set(root, key, name, REG_SZ, bytes);
}

void FakeRegistry::setDword(HKEY root, const std::string& key, const std::string& name,
                            uint32_t number) {
    QByteArray bytes(4, '\0');
    for (int i = 0; i < 4; ++i) bytes[i] = char((number >> (8 * i)) & 0xFF);
    set(root, key, name, REG_DWORD, bytes);
}

int32_t FakeRegistry::RegOpenKeyExA(HKEY root, const char* subKey, uint32_t options,
                                    uint32_t access, HKEY* result) {
    opens.push_back({root, subKey ? subKey : "", options, access});
    const KeyId id{root, folded(subKey ? subKey : "")};
    if (!keys_.count(id)) return ERROR_FILE_NOT_FOUND;
    const HKEY handle = next_++;
    handles_[handle] = id;
    *result = handle;
    return ERROR_SUCCESS;
}

int32_t FakeRegistry::RegQueryValueExA(HKEY key, const char* valueName, uint32_t*,
                                       uint32_t* type, char* data, uint32_t* size) {
    queries.push_back(valueName ? valueName : "");
    querySizes.push_back(*size);
    const auto handle = handles_.find(key);
    if (handle == handles_.end()) return ERROR_INVALID_HANDLE;
    const auto& values = keys_[handle->second];
    const auto value = values.find(folded(valueName ? valueName : ""));
    if (value == values.end()) return ERROR_FILE_NOT_FOUND;
    const QByteArray& bytes = value->second.bytes;
    if (type) *type = value->second.type;
    if (uint32_t(bytes.size()) > *size) {
        *size = uint32_t(bytes.size());
        return ERROR_MORE_DATA;
    }
    std::memcpy(data, bytes.constData(), bytes.size());
    *size = uint32_t(bytes.size());
    return ERROR_SUCCESS;
}

int32_t FakeRegistry::RegCloseKey(HKEY key) {
    closes.push_back(key);
    return handles_.erase(key) ? ERROR_SUCCESS : ERROR_INVALID_HANDLE;
}
