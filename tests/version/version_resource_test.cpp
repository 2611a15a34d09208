// The version resources of the DLL and of qelhost.exe as Windows reads them:
// the numbers and the texts of both language blocks must give the project
// version, the product's name and the file's own.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace qel {
namespace {

// Each file with what its resource says of it; the descriptions in German
// (with umlauts: a resource compiled in the wrong code page would show them
// garbled in Explorer), then English.
struct ResourceFile {
  const wchar_t* path;
  DWORD fileType;
  const wchar_t* originalFilename;
  const wchar_t* internalName;
  const wchar_t* descriptions[2];
  friend void PrintTo(const ResourceFile& file, std::ostream* os) { *os << file.internalName[0]; }
};

const ResourceFile kFiles[] = {
    {QEL_DLL_PATH,
     VFT_DLL,
     L"QelConnect.dll",
     L"QelConnect",
     {L"QelConnect Zahlungsmodul: übergibt Verkäufe und Erstattungen an die SAP-Kasse",
      L"QelConnect payment module: hands sales and refunds to the SAP cash register"}},
    {QEL_HOST_PATH,
     VFT_APP,
     L"qelhost.exe",
     L"qelhost",
     {L"QelConnect Prüf- und Testprogramm: prüft die Einstellungen, Testverkauf über QelConnect.dll",
      L"QelConnect check and test program: checks the settings, test sale through QelConnect.dll"}},
};

class VersionResource : public ::testing::TestWithParam<ResourceFile> {
 protected:
  void SetUp() override {
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeW(GetParam().path, &ignored);
    ASSERT_NE(size, 0u) << "no version resource, Windows error " << GetLastError();
    info_.resize(size);
    ASSERT_TRUE(GetFileVersionInfoW(GetParam().path, 0, size, info_.data()));
  }

  // The binary value under `key` (its length is counted in bytes), or an
  // empty block when there is none.
  std::vector<unsigned char> query(const std::wstring& key) {
    void* value = nullptr;
    UINT length = 0;
    if (!VerQueryValueW(info_.data(), key.c_str(), &value, &length) || value == nullptr) return {};
    const unsigned char* bytes = static_cast<const unsigned char*>(value);
    return std::vector<unsigned char>(bytes, bytes + length);
  }

  std::wstring text(const std::wstring& block, const std::wstring& name) {
    void* value = nullptr;
    UINT length = 0;
    const std::wstring key = L"\\StringFileInfo\\" + block + L"\\" + name;
    if (!VerQueryValueW(info_.data(), key.c_str(), &value, &length) || length == 0) return L"(missing)";
    return std::wstring(static_cast<const wchar_t*>(value));
  }

  std::vector<unsigned char> info_;
};

TEST_P(VersionResource, FixedInfoCarriesTheProjectVersionAndType) {
  const std::vector<unsigned char> block = query(L"\\");
  ASSERT_EQ(block.size(), sizeof(VS_FIXEDFILEINFO));
  VS_FIXEDFILEINFO fixed;
  std::memcpy(&fixed, block.data(), sizeof fixed);
  EXPECT_EQ(fixed.dwSignature, 0xFEEF04BDu);
  const DWORD high = MAKELONG(QEL_VERSION_MINOR, QEL_VERSION_MAJOR);
  const DWORD low = MAKELONG(QEL_VERSION_TWEAK, QEL_VERSION_PATCH);
  EXPECT_EQ(fixed.dwFileVersionMS, high);
  EXPECT_EQ(fixed.dwFileVersionLS, low);
  EXPECT_EQ(fixed.dwProductVersionMS, high);
  EXPECT_EQ(fixed.dwProductVersionLS, low);
  EXPECT_EQ(fixed.dwFileType, GetParam().fileType);
  EXPECT_EQ(fixed.dwFileOS, static_cast<DWORD>(VOS_NT_WINDOWS32));
  EXPECT_EQ(fixed.dwFileFlags & fixed.dwFileFlagsMask, 0u) << "no debug, pre-release or patched flag";
}

TEST_P(VersionResource, ListsGermanThenEnglishInUnicode) {
  const std::vector<unsigned char> table = query(L"\\VarFileInfo\\Translation");
  ASSERT_EQ(table.size(), 8u);
  std::vector<WORD> words(4);
  std::memcpy(words.data(), table.data(), table.size());
  EXPECT_EQ(words, (std::vector<WORD>{0x0407, 1200, 0x0409, 1200}));
}

struct LanguageBlock {
  const wchar_t* block;
  // The Windows versions that the files are built and reviewed for.
  const wchar_t* comments;
};

const LanguageBlock kBlocks[] = {
    {L"040704b0", L"Für Windows 7 SP1 und neuer, 32- und 64-Bit-Windows"},
    {L"040904b0", L"For Windows 7 SP1 and later, 32-bit and 64-bit Windows"},
};

TEST_P(VersionResource, BothLanguagesNameTheProductAndItsVersion) {
  for (std::size_t i = 0; i < 2; ++i) {
    const LanguageBlock& language = kBlocks[i];
    SCOPED_TRACE(testing::Message() << "block " << std::string(language.block, language.block + 8));
    EXPECT_EQ(text(language.block, L"ProductName"), L"QelConnect");
    EXPECT_EQ(text(language.block, L"ProductVersion"), QEL_PROJECT_VERSION);
    EXPECT_EQ(text(language.block, L"FileVersion"), QEL_PROJECT_VERSION);
    EXPECT_EQ(text(language.block, L"OriginalFilename"), GetParam().originalFilename);
    EXPECT_EQ(text(language.block, L"InternalName"), GetParam().internalName);
    EXPECT_EQ(text(language.block, L"FileDescription"), GetParam().descriptions[i]);
    EXPECT_EQ(text(language.block, L"Comments"), language.comments);
    // Explorer leaves the fields out when they are missing; the copyright
    // sign shows that the text survived the resource compiler.
    EXPECT_FALSE(text(language.block, L"CompanyName").empty());
    EXPECT_EQ(text(language.block, L"LegalCopyright").rfind(L"\u00A9 ", 0), 0u);
  }
}

INSTANTIATE_TEST_SUITE_P(Files, VersionResource, ::testing::ValuesIn(kFiles));

}  // namespace
}  // namespace qel
