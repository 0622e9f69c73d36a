#pragma once
// An in-memory registry that keeps every call made to it, so tests can see
// which keys were opened, with which rights, and that each one was closed.
#include "platform/Registry.h"

#include <QByteArray>
#include <QString>
#include <map>
#include <string>
#include <vector>

class FakeRegistry : public platform::Registry {
public:
    struct Open {
        platform::HKEY root;
        std::string key;
        uint32_t options;
        uint32_t access;
    };

    // Raw bytes, stored exactly as given (a string without its NUL is allowed).
    void set(platform::HKEY root, const std::string& key, const std::string& name,
             uint32_t type, const QByteArray& bytes);
    // A string value as it is normally stored: the text and one NUL.
    void setString(platform::HKEY root, const std::string& key, const std::string& name,
                   const QByteArray& text);
    void setDword(platform::HKEY root, const std::string& key, const std::string& name,
                  uint32_t number);

    int32_t RegOpenKeyExA(platform::HKEY root, const char* subKey, uint32_t options,
                          uint32_t access, platform::HKEY* result) override;
    int32_t RegQueryValueExA(platform::HKEY key, const char* valueName, uint32_t* reserved,
                             uint32_t* type, char* data, uint32_t* size) override;
    int32_t RegCloseKey(platform::HKEY key) override;

    std::vector<Open> opens;
    std::vector<std::string> queries;   // value names, in order
    std::vector<platform::HKEY> closes;
    std::vector<uint32_t> querySizes;   // the buffer size each query was offered
    size_t stillOpen() const { return handles_.size(); }

private:
    struct Value {
        uint32_t type;
        QByteArray bytes;
    };
    using KeyId = std::pair<platform::HKEY, std::string>;
    static std::string folded(const std::string& s);
    std::map<KeyId, std::map<std::string, Value>> keys_;
    std::map<platform::HKEY, KeyId> handles_;
    platform::HKEY next_ = 0x40;
};
