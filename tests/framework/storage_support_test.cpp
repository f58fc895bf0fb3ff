#include "framework/core/memory.h"
#include "framework/core/support.h"
#include "framework/storage/file.h"
#include "tests/framework/framework_fixture.h"
#include "tests/support/data_folder.h"

#include <string>

namespace {

TEST(Support, FieldsAndTokens) {
    const char* line = "a,,\"b,c\",d";
    char buf[16];
    EXPECT_EQ(VkStrFieldCount(line, ','), 4u);
    EXPECT_EQ(VkStrFieldLength(line + 3, ','), 5u);
    ASSERT_EQ(VkStrGetField(line, ',', 2, buf, sizeof buf), VK_OK);
    EXPECT_STREQ(buf, "\"b,c\"");
    EXPECT_EQ(VkStrGetField(line, ',', 1, buf, sizeof buf), VK_OK);
    EXPECT_STREQ(buf, "");
    EXPECT_EQ(VkStrGetField(line, ',', 4, buf, sizeof buf), VK_E_FAIL);
    EXPECT_EQ(VkStrGetField(line, ',', 2, buf, 3), VK_OK); // cut to fit
    EXPECT_STREQ(buf, "\"b");

    EXPECT_EQ(VkStrTokenCount(",,a,,b", ','), 2u);
    ASSERT_EQ(VkStrToken(",,a,,b", ',', 1, buf, sizeof buf), VK_OK);
    EXPECT_STREQ(buf, "b");
    EXPECT_EQ(VkStrToken(",,a,,b,,", ',', 2, buf, sizeof buf), VK_E_FAIL);
    EXPECT_EQ(VkStrTokenStart("", ',', 0), nullptr);
}

TEST(Support, EditsAndNames) {
    struct Case {
        const char* text;
        const char* find;
        const char* with;
        int32_t count;
        const char* result;
    };
    const Case cases[] = {
        {"aaaa", "aa", "a", 2, "aa"},
        {"abab", "b", "bb", 2, "abbabb"}, // scanning goes on after each replacement
        {"xyz", "q", "r", 0, "xyz"},
    };
    for (const Case& c : cases) {
        char text[32];
        VkCopyText(text, sizeof text, c.text);
        EXPECT_EQ(VkStrReplace(text, c.find, c.with), c.count) << c.text;
        EXPECT_STREQ(text, c.result);
    }
    char text[] = "a-b-c Z";
    VkStrReplaceChar(text, '-', '+');
    VkStrRemoveChar(text, ' ');
    VkStrUpper(text);
    EXPECT_STREQ(text, "A+B+CZ");
    VkStrLower(text);
    EXPECT_STREQ(text, "a+b+cz");

    char out[64];
    EXPECT_EQ(VkStripExtension("dir.x\\file", out), VK_E_FAIL);
    EXPECT_STREQ(out, "dir.x\\file");
    EXPECT_EQ(VkStripExtension("file.txt", out), VK_OK);
    EXPECT_STREQ(out, "file");
    char ext[16];
    EXPECT_EQ(VkGetExtension("noext", ext), VK_E_FAIL);
    EXPECT_EQ(VkGetExtension("a.b.wav", ext), VK_OK);
    EXPECT_STREQ(ext, "wav");
    EXPECT_EQ(VkGetExtension(("a." + std::string(20, 'e')).c_str(), ext), VK_OK);
    EXPECT_EQ(std::string(ext), std::string(15, 'e'));
}

TEST(Support, RegistryStrings) {
    DataFolder folder;
    PlatformSetRegistryFile(folder.path() + "/settings.reg");
    const char* key = "Software\\Test\\Sub";
    ASSERT_EQ(VkRegSetString(HKEY_CURRENT_USER, key, "Name", "value"), VK_OK);
    char buffer[16] = {};
    uint32_t size = sizeof buffer;
    ASSERT_EQ(VkRegQueryValue(HKEY_CURRENT_USER, key, "Name", buffer, &size), VK_OK);
    EXPECT_STREQ(buffer, "value");
    EXPECT_EQ(size, 6u); // with its terminator
    size = 3;
    EXPECT_EQ(VkRegQueryValue(HKEY_CURRENT_USER, key, "Name", buffer, &size), VK_E_FAIL);
    size = sizeof buffer;
    EXPECT_EQ(VkRegQueryValue(HKEY_CURRENT_USER, key, "Other", buffer, &size), VK_E_FAIL);
    EXPECT_EQ(VkRegQueryValue(HKEY_CURRENT_USER, "Software\\None", "Name", buffer, &size),
              VK_E_FAIL);

    ASSERT_EQ(VkRegSetString(HKEY_CURRENT_USER, "Software\\Test\\Sub\\A\\B", "V", "1"), VK_OK);
    ASSERT_EQ(VkRegSetString(HKEY_CURRENT_USER, "Software\\Test\\Other", "V", "2"), VK_OK);
    EXPECT_EQ(VkRegDeleteValue(HKEY_CURRENT_USER, key, "Name"), static_cast<LONG>(ERROR_SUCCESS));
    EXPECT_EQ(VkRegDeleteValue(HKEY_CURRENT_USER, key, "Name"),
              static_cast<LONG>(ERROR_FILE_NOT_FOUND));
    EXPECT_EQ(VkRegDeleteKeyTreeResult(HKEY_CURRENT_USER, "Software\\Test"), VK_OK);
    HKEY gone = nullptr;
    EXPECT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Test", 0, KEY_READ, &gone),
              static_cast<LONG>(ERROR_FILE_NOT_FOUND));
    EXPECT_EQ(VkRegDeleteKeyTreeResult(HKEY_CURRENT_USER, "Software\\Test"), VK_E_FAIL);
    PlatformSetRegistryFile("");
}

class SupportStreams : public FrameworkTest {
protected:
    // The whole of a stream's contents, read with VkStreamReadAll.
    static std::string All(IVkStream* stream) {
        uint8_t* data = nullptr;
        uint32_t length = 0;
        EXPECT_EQ(VkStreamReadAll(stream, &data, &length), VK_OK);
        std::string text(reinterpret_cast<char*>(data), data ? length : 0);
        VkMemFree(data);
        return text;
    }
};

TEST_F(SupportStreams, HexCopyAndReadAll) {
    IVkStream* in = nullptr;
    IVkStream* hex = nullptr;
    IVkStream* back = nullptr;
    ASSERT_EQ(VkStringToMemoryStream("\x0A\xFF", &in), VK_OK);
    ASSERT_EQ(VkStringToMemoryStream("", &hex), VK_OK);
    ASSERT_EQ(VkStringToMemoryStream("", &back), VK_OK);
    EXPECT_EQ(VkStreamHexEncode(hex, in), VK_OK);
    EXPECT_EQ(All(hex), "0AFF");
    hex->Seek(0, VK_SEEK_SET, nullptr);
    EXPECT_EQ(VkStreamHexDecode(back, hex), VK_OK);
    IVkStream* copy = nullptr;
    ASSERT_EQ(VkStringToMemoryStream("", &copy), VK_OK);
    back->Seek(0, VK_SEEK_SET, nullptr);
    EXPECT_EQ(VkStreamCopy(copy, back), VK_OK);
    EXPECT_EQ(All(copy), "\x0A\xFF");
    char two[3];
    VkByteToHex(0x3C, two);
    EXPECT_STREQ(two, "3C");
    EXPECT_EQ(VkHexToByte("3C"), 0x3C);
    for (IVkStream* s : {in, hex, back, copy})
        s->Release();
}

// The File component opens its file again after a short last read; the copy ends at that read.
TEST_F(SupportStreams, CopyEndsAtAShortRead) {
    DataFolder folder;
    folder.Write("ten.bin", "0123456789");
    IVkUrlResource* file = Create<IVkUrlResource>(CLSID_VkFile, IID_IVkUrlResource);
    ASSERT_NE(file, nullptr);
    file->SetProperty(VK_URL_PATH, folder.path().c_str());
    file->SetProperty(VK_URL_NAME, "ten.bin");
    void* object = nullptr;
    ASSERT_EQ(file->QueryInterface(IID_IVkStream, &object), VK_OK);
    IVkStream* in = static_cast<IVkStream*>(object);
    IVkStream* copy = nullptr;
    ASSERT_EQ(VkStringToMemoryStream("", &copy), VK_OK);
    EXPECT_EQ(VkStreamCopy(copy, in), VK_OK);
    EXPECT_EQ(All(copy), "0123456789");
    copy->Release();
    in->Release();
    file->Release();
}

} // namespace
