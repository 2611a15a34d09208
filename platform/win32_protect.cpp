// The Win32 side of data protection: CryptProtectData and CryptUnprotectData,
// with the protected bytes written as Base64 by crypt32 itself.
#include <windows.h>

#include <wincrypt.h>

#include <memory>

#include "platform/platform.h"

namespace qel::platform {
namespace {

// The system allocates every result with LocalAlloc; a decrypted secret is
// wiped before it goes back.
struct LocalFreer {
  void operator()(BYTE* data) const noexcept { LocalFree(data); }
};
struct LocalTextFreer {
  void operator()(wchar_t* text) const noexcept { LocalFree(text); }
};
class DecryptedBlob {
 public:
  DecryptedBlob() = default;
  ~DecryptedBlob() {
    if (blob.pbData == nullptr) return;
    SecureZeroMemory(blob.pbData, blob.cbData);
    LocalFree(blob.pbData);
  }
  DecryptedBlob(const DecryptedBlob&) = delete;
  DecryptedBlob& operator=(const DecryptedBlob&) = delete;

  DATA_BLOB blob{};
};

DATA_BLOB blobOf(std::string_view bytes) {
  DATA_BLOB blob{};
  blob.cbData = static_cast<DWORD>(bytes.size());
  blob.pbData = reinterpret_cast<BYTE*>(const_cast<char*>(bytes.data()));
  return blob;
}

bool fail(std::uint32_t& systemError) {
  systemError = GetLastError();
  return false;
}

// Base64 on one line, without the line breaks that crypt32 adds by default.
bool toBase64(const DATA_BLOB& blob, std::string& base64, std::uint32_t& systemError) {
  const DWORD flags = CRYPT_STRING_BASE64 | CRYPT_STRING_NOCRLF;
  DWORD chars = 0;
  if (!CryptBinaryToStringA(blob.pbData, blob.cbData, flags, nullptr, &chars)) return fail(systemError);
  std::string text(chars, '\0');
  if (!CryptBinaryToStringA(blob.pbData, blob.cbData, flags, text.data(), &chars)) return fail(systemError);
  text.resize(chars);
  while (!text.empty() && (text.back() == '\0' || text.back() == '\r' || text.back() == '\n')) text.pop_back();
  base64 = std::move(text);
  return true;
}

// Blanks and line breaks inside the text are allowed, so that a value
// pasted over several lines still reads.
bool fromBase64(std::string_view base64, std::string& bytes, std::uint32_t& systemError) {
  // crypt32 would take a length of 0 for a text that ends at a NUL.
  if (base64.empty()) {
    systemError = ERROR_INVALID_DATA;
    return false;
  }
  const DWORD length = static_cast<DWORD>(base64.size());
  DWORD size = 0;
  if (!CryptStringToBinaryA(base64.data(), length, CRYPT_STRING_BASE64, nullptr, &size, nullptr, nullptr)) {
    return fail(systemError);
  }
  bytes.assign(size, '\0');
  if (!CryptStringToBinaryA(base64.data(), length, CRYPT_STRING_BASE64, reinterpret_cast<BYTE*>(bytes.data()), &size,
                            nullptr, nullptr)) {
    return fail(systemError);
  }
  bytes.resize(size);
  return true;
}

}  // namespace

bool dataProtectionAvailable() { return true; }

bool protectText(std::string_view secret, std::string_view entropy, const std::wstring& description,
                 ProtectionScope scope, std::string& base64, std::uint32_t& systemError) {
  DATA_BLOB in = blobOf(secret);
  DATA_BLOB extra = blobOf(entropy);
  DATA_BLOB out{};
  DWORD flags = CRYPTPROTECT_UI_FORBIDDEN;
  if (scope == ProtectionScope::Machine) flags |= CRYPTPROTECT_LOCAL_MACHINE;
  if (!CryptProtectData(&in, description.c_str(), &extra, nullptr, nullptr, flags, &out)) return fail(systemError);
  const std::unique_ptr<BYTE, LocalFreer> owned(out.pbData);
  return toBase64(out, base64, systemError);
}

bool unprotectText(std::string_view base64, std::string_view entropy, SecretBytes& secret, std::wstring& description,
                   std::uint32_t& systemError) {
  std::string bytes;
  if (!fromBase64(base64, bytes, systemError)) return false;
  DATA_BLOB in = blobOf(bytes);
  DATA_BLOB extra = blobOf(entropy);
  DecryptedBlob out;
  wchar_t* rawDescription = nullptr;
  if (!CryptUnprotectData(&in, &rawDescription, &extra, nullptr, nullptr, CRYPTPROTECT_UI_FORBIDDEN, &out.blob)) {
    return fail(systemError);
  }
  const std::unique_ptr<wchar_t, LocalTextFreer> ownedDescription(rawDescription);
  secret = SecretBytes(out.blob.pbData, out.blob.cbData);
  description = rawDescription != nullptr ? rawDescription : L"";
  return true;
}

}  // namespace qel::platform
