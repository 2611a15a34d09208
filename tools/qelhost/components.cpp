// Asking libcurl and tinyxml2 for the versions linked in.
#include "tools/qelhost/components.h"

#include <curl/curl.h>
#include <tinyxml2.h>

namespace qel::qelhost {

std::vector<Component> linkedComponents() {
  const curl_version_info_data* curl = curl_version_info(CURLVERSION_NOW);
  const std::string tinyxml2Version = std::to_string(TINYXML2_MAJOR_VERSION) + "." +
                                      std::to_string(TINYXML2_MINOR_VERSION) + "." +
                                      std::to_string(TINYXML2_PATCH_VERSION);
  return {{"libcurl", curl->version, curl->ssl_version != nullptr ? curl->ssl_version : "no TLS"},
          {"tinyxml2", tinyxml2Version, ""}};
}

}  // namespace qel::qelhost
