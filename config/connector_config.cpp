// Reading QelConnect.xml into a ConnectorConfig, with the operator's messages
// for a file that is missing or not well-formed.
#include "config/connector_config.h"

#include <tinyxml2.h>

#include <utility>

#include "base/int_format.h"
#include "base/leading_int.h"
#include "base/text_encoding.h"
#include "base/vub_exception.h"
#include "base/xml_parse.h"
#include "config/config_elements.h"
#include "platform/platform.h"

namespace qel {

namespace {

const wchar_t kNotFoundPrefix[] = L"Could not load configuration file '";
const wchar_t kNotFoundSuffix[] = L"'. It must be installed in the folder [pathto]/Quendal/Sales/";
const wchar_t kParsingErrorPrefix[] = L"Parsing error in configuration file '";
const wchar_t kParsingErrorSuffix[] = L"'.";
const wchar_t kUnknownErrorPrefix[] = L"Unknown error in configuration file '";
const wchar_t kUnknownErrorSuffix[] = L"'. tinyxml2::XML_ERROR-Code: ";
const wchar_t kMissingElementPrefix[] = L"Missing element '";
const wchar_t kMissingElementMiddle[] = L"' in configuration file '";
const wchar_t kMissingElementSuffix[] = L"'.";
const wchar_t kTooLargePrefix[] = L"Configuration file '";
const wchar_t kTooLargeSuffix[] = L"' exceeds 8 MiB";
const wchar_t kBothPasswordsPrefix[] = L"Configuration file '";
const wchar_t kBothPasswordsSuffix[] =
    L"' has both endpoint/password and endpoint/protectedPassword; keep only one of them.";
const wchar_t kNoProtectionPrefix[] = L"endpoint/protectedPassword in configuration file '";
const wchar_t kNoProtectionSuffix[] =
    L"' needs the Windows Data Protection API, which this build does not have; use endpoint/password.";
static_assert(ConnectorConfig::kMaxFileBytes == std::size_t{8} << 20, "the message names the limit");

// The "Unknown error" number in the numbering of the parser release first
// shipped, which operators and support documents know; later releases
// renumbered the codes, so each is mapped by name.
int legacyErrorNumber(tinyxml2::XMLError error) {
  using namespace tinyxml2;
  switch (error) {
    case XML_SUCCESS:
      return 0;
    case XML_NO_ATTRIBUTE:
      return 1;
    case XML_WRONG_ATTRIBUTE_TYPE:
      return 2;
    case XML_ERROR_FILE_NOT_FOUND:
      return 3;
    case XML_ERROR_FILE_COULD_NOT_BE_OPENED:
      return 4;
    case XML_ERROR_FILE_READ_ERROR:
      return 5;
    case XML_ERROR_PARSING_ELEMENT:
      return 7;
    case XML_ERROR_PARSING_ATTRIBUTE:
      return 8;
    case XML_ERROR_PARSING_TEXT:
      return 10;
    case XML_ERROR_PARSING_CDATA:
      return 11;
    case XML_ERROR_PARSING_COMMENT:
      return 12;
    case XML_ERROR_PARSING_DECLARATION:
      return 13;
    case XML_ERROR_PARSING_UNKNOWN:
      return 14;
    case XML_ERROR_EMPTY_DOCUMENT:
      return 15;
    case XML_ERROR_MISMATCHED_ELEMENT:
      return 16;
    case XML_ERROR_PARSING:
      return 17;
    case XML_CAN_NOT_CONVERT_TEXT:
      return 18;
    case XML_NO_TEXT_NODE:
      return 19;
    default:
      return 17;
  }
}

// The file name in a message is the UTF-8 name as passed, decoded; it is
// decoded only when a message needs it.
[[noreturn]] void throwLoadError(tinyxml2::XMLError error, const std::string& utf8FileName) {
  const std::wstring fileName = platform::utf8ToWide(utf8FileName);
  switch (error) {
    case tinyxml2::XML_ERROR_FILE_NOT_FOUND:
      throw VubException(kNotFoundPrefix + fileName + kNotFoundSuffix);
    case tinyxml2::XML_ERROR_MISMATCHED_ELEMENT:
      throw VubException(kParsingErrorPrefix + fileName + kParsingErrorSuffix);
    default:
      throw VubException(kUnknownErrorPrefix + fileName + kUnknownErrorSuffix + formatInt(legacyErrorNumber(error)));
  }
}

[[noreturn]] void throwMissing(const wchar_t* path, const std::string& utf8FileName) {
  throw VubException(kMissingElementPrefix + std::wstring(path) + kMissingElementMiddle +
                     platform::utf8ToWide(utf8FileName) + kMissingElementSuffix);
}

// The raw (UTF-8) text of an element: its first child when that is text,
// otherwise nothing. A missing element also gives nothing.
const char* rawText(const tinyxml2::XMLElement* element) { return element != nullptr ? element->GetText() : nullptr; }

// The number and switch elements read: each text kept as written, each
// mistake noted.
class ValueReader {
 public:
  explicit ValueReader(ConnectorConfig& config) : config_(config) {}

  // A switch: on only when the element's text is exactly "1".
  bool isOne(const tinyxml2::XMLElement* element) {
    const char* raw = keep(element);
    warnings_.checkSwitch(element, raw);
    return raw != nullptr && std::string_view(raw) == "1";
  }

  // A number read like atoi: leading digits count.
  std::int32_t leadingInt(const tinyxml2::XMLElement* element, std::int32_t fallback) {
    const char* raw = keep(element);
    if (element == nullptr) return fallback;
    const std::int32_t value = raw != nullptr ? parseLeadingInt(raw).value_or(0) : fallback;
    warnings_.checkNumber(element, raw, value);
    return value;
  }

  ConfigWarnings& warnings() { return warnings_; }

 private:
  const char* keep(const tinyxml2::XMLElement* element) {
    const char* raw = rawText(element);
    if (element != nullptr) config_.written[element->Name()] = raw != nullptr ? raw : "";
    return raw;
  }

  ConnectorConfig& config_;
  ConfigWarnings warnings_;
};

std::wstring text(const tinyxml2::XMLElement* element) {
  const char* raw = rawText(element);
  return raw != nullptr ? platform::utf8ToWide(raw) : std::wstring();
}

const tinyxml2::XMLElement* child(const tinyxml2::XMLNode* parent, std::string_view name) {
  return parent != nullptr ? parent->FirstChildElement(std::string(name).c_str()) : nullptr;
}

// An editor may save the file as UTF-16 (Notepad's "Unicode") or in the ANSI
// code page (Notepad's default on older Windows), and a hand edit may mix
// the two: a value that is valid UTF-8 is read as UTF-8, any other in the
// ANSI code page, as an answer that is not UTF-8 is, rather than turning its
// characters into U+FFFD.
std::string decoded(std::string content, bool& readAsAnsi) {
  return decodeMixedRuns(decodeByteOrderMark(std::move(content)), readAsAnsi);
}

// LoadFile's result codes with the file read once: anything that cannot be
// opened or is not a regular file is "not found", a failed read a read error.
tinyxml2::XMLError load(tinyxml2::XMLDocument& document, const std::string& fileName, bool& readAsAnsi) {
  std::string content;
  switch (platform::readFile(fileName, content, ConnectorConfig::kMaxFileBytes).status) {
    case platform::FileRead::Missing:
    case platform::FileRead::Folder:
    case platform::FileRead::NotOpened:
    case platform::FileRead::NotRegular:
      return tinyxml2::XML_ERROR_FILE_NOT_FOUND;
    case platform::FileRead::Failed:
      return tinyxml2::XML_ERROR_FILE_READ_ERROR;
    case platform::FileRead::TooLarge:
      throw VubException(kTooLargePrefix + platform::utf8ToWide(fileName) + kTooLargeSuffix);
    case platform::FileRead::Ok:
      break;
  }
  return parseXml(document, decoded(std::move(content), readAsAnsi));
}

}  // namespace

void ConnectorConfig::loadFromFile(const std::string& fileName) {
  tinyxml2::XMLDocument document;
  const tinyxml2::XMLError result = load(document, fileName, readAsAnsi);
  if (result != tinyxml2::XML_SUCCESS) throwLoadError(result, fileName);

  // Without an address nothing can be sent, so these two must be present;
  // every other element keeps its default when it is missing.
  if (child(&document, element::kUrl.section) == nullptr) throwMissing(L"endpoint", fileName);
  const tinyxml2::XMLElement* urlElement = findElement(document, element::kUrl);
  if (urlElement == nullptr) throwMissing(L"endpoint/url", fileName);

  username = text(findElement(document, element::kUsername));
  password = text(findElement(document, element::kPassword));
  url = text(urlElement);
  if (const tinyxml2::XMLElement* subject = findElement(document, element::kCertSubject)) {
    hasCertSubject = true;
    certSubject = text(subject);
  }
  caFile = text(findElement(document, element::kCaFile));
  this->fileName = fileName;
  if (const tinyxml2::XMLElement* protectedElement = findElement(document, element::kProtectedPassword)) {
    // Two passwords would leave it to chance which one the cash register
    // gets; an empty `password` element is no second password.
    if (!password.empty()) {
      throw VubException(kBothPasswordsPrefix + platform::utf8ToWide(fileName) + kBothPasswordsSuffix);
    }
    if (!platform::dataProtectionAvailable()) {
      throw VubException(kNoProtectionPrefix + platform::utf8ToWide(fileName) + kNoProtectionSuffix);
    }
    hasProtectedPassword = true;
    const char* raw = rawText(protectedElement);
    protectedPassword = raw != nullptr ? raw : "";
  }

  ValueReader values(*this);
  values.warnings().checkStructure(document);
  values.warnings().checkUrl(urlElement, url, !username.empty() || !password.empty() || hasProtectedPassword);
  oldkasse = values.isOne(findElement(document, element::kOldkasse));
  oldkasseprefix = values.leadingInt(findElement(document, element::kOldkasseprefix), oldkasseprefix);
  trace = values.isOne(findElement(document, element::kTrace));
  traceBodies = values.isOne(findElement(document, element::kTraceBodies));
  warnings = values.warnings().take();
}

}  // namespace qel
