// Reading one registry value as text: buffer limits, the trailing NUL,
// value types, and the calls made to the registry on every path.
#include "FakeRegistry.h"

#include <gtest/gtest.h>

using namespace platform;

namespace {

const std::string kKey = "SOFTWARE\\Example\\Key";
const std::string kName = "Value";

struct Case {
    const char* what;
    uint32_t type;
    QByteArray stored;
    bool read;
    QString expected;  // the result text, with "before" passed in
};

QByteArray text(int length, bool withNul) {
    QByteArray b(length, 'x');
    if (length > 0) b[0] = 'A';  // so a cut from the wrong end shows
    if (withNul) b.append('\0');
    return b;
}

QByteArray dword(uint32_t n) {
    QByteArray b(4, '\0');
    for (int i = 0; i < 4; ++i) b[i] = char((n >> (8 * i)) & 0xFF);
    return b;
}

class GetKeyValueCases : public ::testing::TestWithParam<Case> {};

TEST_P(GetKeyValueCases, ReadsAsTheBufferAllows) {
    const Case& c = GetParam();
    FakeRegistry reg;
    reg.set(HKEY_LOCAL_MACHINE, kKey, kName, c.type, c.stored);
    QString value = QStringLiteral("before");

    const bool read = GetKeyValue(reg, HKEY_LOCAL_MACHINE, QString::fromStdString(kKey),
                                  QString::fromStdString(kName), value);

    EXPECT_EQ(read, c.read) << c.what;
    EXPECT_EQ(value.size(), c.expected.size()) << c.what;
    EXPECT_EQ(value, c.expected) << c.what;
    ASSERT_EQ(reg.queries.size(), 1u);
    EXPECT_EQ(reg.querySizes.at(0), 1024u);
    EXPECT_EQ(reg.closes.size(), 1u) << "the key is closed once on every path";
    EXPECT_EQ(reg.stillOpen(), 0u);
}

const QString k1023 = QString::fromLatin1(text(1023, false));
const QString k1024 = QString::fromLatin1(text(1024, false));

INSTANTIATE_TEST_SUITE_P(
    Values, GetKeyValueCases,
    ::testing::Values(
        Case{"1023 characters and NUL fill the buffer exactly", REG_SZ, text(1023, true), true, k1023},
        Case{"1024 characters and NUL overflow it", REG_SZ, text(1024, true), false, ""},
        Case{"1024 characters stored without NUL fit and are all kept", REG_SZ, text(1024, false), true, k1024},
        Case{"1025 characters without NUL overflow it", REG_SZ, text(1025, false), false, ""},
        Case{"1023 characters without NUL are all kept", REG_SZ, text(1023, false), true, k1023},
        Case{"a short path", REG_SZ, QByteArray("C:\\TOOLS\\INFO.EXE", 18), true, "C:\\TOOLS\\INFO.EXE"},
        Case{"an empty string", REG_SZ, QByteArray(1, '\0'), true, ""},
        Case{"a value of no bytes", REG_SZ, QByteArray(), true, ""},
        Case{"a number", REG_DWORD, dword(0x12345678), true, "305419896"},
        Case{"a number whose top byte is zero", REG_DWORD, dword(0x00ABCDEF), true, "11259375"},
        Case{"the largest number", REG_DWORD, dword(0xFFFFFFFF), true, "4294967295"},
        Case{"zero", REG_DWORD, dword(0), true, "0"},
        Case{"binary data leaves the text as passed in", 3, QByteArray("\x01\x02", 2), true, "before"},
        Case{"a multi-string leaves the text as passed in", 7, QByteArray("a\0b\0\0", 5), true, "before"},
        Case{"binary data too long still fails", 3, QByteArray(2000, '\x01'), false, ""}));

TEST(GetKeyValue, OpensWithReadAndWriteRights) {
    FakeRegistry reg;
    reg.setString(HKEY_LOCAL_MACHINE, kKey, kName, "x");
    QString value;
    ASSERT_TRUE(GetKeyValue(reg, HKEY_LOCAL_MACHINE, "SOFTWARE\\Example\\Key", "Value", value));
    ASSERT_EQ(reg.opens.size(), 1u);
    EXPECT_EQ(reg.opens[0].root, 0x80000002u);
    EXPECT_EQ(reg.opens[0].key, kKey);
    EXPECT_EQ(reg.opens[0].options, 0u);
    EXPECT_EQ(reg.opens[0].access, 0x2003Fu);
    ASSERT_EQ(reg.queries.size(), 1u);
    EXPECT_EQ(reg.queries[0], kName);
}

TEST(GetKeyValue, MissingKeyClearsTheTextAndStillCloses) {
    FakeRegistry reg;
    QString value = QStringLiteral("before");
    EXPECT_FALSE(GetKeyValue(reg, HKEY_LOCAL_MACHINE, "SOFTWARE\\Nowhere", "Value", value));
    EXPECT_TRUE(value.isEmpty());
    EXPECT_TRUE(reg.queries.empty());
    EXPECT_EQ(reg.closes.size(), 1u);
}

TEST(GetKeyValue, MissingValueClearsTheText) {
    FakeRegistry reg;
    reg.setString(HKEY_LOCAL_MACHINE, kKey, "Other", "x");
    QString value = QStringLiteral("before");
    EXPECT_FALSE(GetKeyValue(reg, HKEY_LOCAL_MACHINE, QString::fromStdString(kKey), "Value", value));
    EXPECT_TRUE(value.isEmpty());
    EXPECT_EQ(reg.closes.size(), 1u);
    EXPECT_EQ(reg.stillOpen(), 0u);
}

TEST(GetKeyValue, KeyUnderAnotherRootIsNotFound) {
    FakeRegistry reg;
    reg.setString(0x80000001, kKey, kName, "x");  // current user, not the machine
    QString value;
    EXPECT_FALSE(GetKeyValue(reg, HKEY_LOCAL_MACHINE, QString::fromStdString(kKey),
                             QString::fromStdString(kName), value));
}

}  // namespace
