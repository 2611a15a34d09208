# Writes the SPDX 2.3 JSON SBOM of the Windows build: QelConnect and the
# libraries linked statically into QelConnect.dll and qelhost.exe, each with
# the version its own header gives, the Debian source package and version it
# was built from (the .dsc that scripts/build-win-deps.sh fetched) and its
# licence; libcurl also with the TLS backend found in the library built.
# Run at build time:
#   cmake -DDEPS=<win32-deps dir> -DVERSION=<project version> -DSOURCE=<tree>
#         -DOUTPUT=<file> -P sbom.cmake
cmake_minimum_required(VERSION 3.20)

function(header_define header name out)
  file(STRINGS "${header}" line REGEX "^#define ${name} ")
  string(REGEX REPLACE "^#define ${name} +\"?([^\" ]*)\"?.*$" "\\1" value "${line}")
  if(value STREQUAL "")
    message(FATAL_ERROR "sbom: no ${name} in ${header}")
  endif()
  set(${out} "${value}" PARENT_SCOPE)
endfunction()

# The Debian source package and version of the one .dsc in src/<folder>.
function(debian_source folder out_name out_version)
  file(GLOB dsc "${DEPS}/src/${folder}/*.dsc")
  list(LENGTH dsc count)
  if(NOT count EQUAL 1)
    message(FATAL_ERROR "sbom: expected one .dsc in ${DEPS}/src/${folder}, found ${count}")
  endif()
  file(STRINGS "${dsc}" source REGEX "^Source: ")
  file(STRINGS "${dsc}" version REGEX "^Version: ")
  string(REGEX REPLACE "^Source: " "" source "${source}")
  string(REGEX REPLACE "^Version: " "" version "${version}")
  set(${out_name} "${source}" PARENT_SCOPE)
  set(${out_version} "${version}" PARENT_SCOPE)
endfunction()

set(include "${DEPS}/prefix/include")
header_define("${include}/curl/curlver.h" LIBCURL_VERSION curl_version)
header_define("${include}/tinyxml2.h" TINYXML2_MAJOR_VERSION tx_major)
header_define("${include}/tinyxml2.h" TINYXML2_MINOR_VERSION tx_minor)
header_define("${include}/tinyxml2.h" TINYXML2_PATCH_VERSION tx_patch)
set(tinyxml2_version "${tx_major}.${tx_minor}.${tx_patch}")
debian_source(curl curl_source curl_debian)
debian_source(tinyxml2 tinyxml2_source tinyxml2_debian)

# The TLS backend whose name libcurl's version text gives.
set(tls "")
foreach(backend Schannel OpenSSL GnuTLS mbedTLS wolfSSL)
  file(STRINGS "${DEPS}/prefix/lib/libcurl.a" found REGEX "^${backend}$" LIMIT_COUNT 1)
  if(found)
    set(tls "${backend}")
    break()
  endif()
endforeach()
if(tls STREQUAL "")
  message(FATAL_ERROR "sbom: no TLS backend found in ${DEPS}/prefix/lib/libcurl.a")
endif()

# The commit's time, so that the same tree gives the same file.
execute_process(COMMAND git -C "${SOURCE}" log -1 --format=%cI OUTPUT_VARIABLE created
                OUTPUT_STRIP_TRAILING_WHITESPACE RESULT_VARIABLE git_result)
if(NOT git_result EQUAL 0 OR created STREQUAL "")
  string(TIMESTAMP created "%Y-%m-%dT%H:%M:%SZ" UTC)
else()
  execute_process(COMMAND git -C "${SOURCE}" log -1 --format=%ct OUTPUT_VARIABLE epoch
                  OUTPUT_STRIP_TRAILING_WHITESPACE)
  set(ENV{SOURCE_DATE_EPOCH} "${epoch}")
  string(TIMESTAMP created "%Y-%m-%dT%H:%M:%SZ" UTC)
endif()

# package(<id> <name> <version> <licence> <debian source> <debian version> <comment>)
set(packages "")
function(package id name version licence source debian comment)
  string(REPLACE "+" "%2B" purl_version "${debian}")
  set(entry "    {
      \"SPDXID\": \"SPDXRef-Package-${id}\",
      \"name\": \"${name}\",
      \"versionInfo\": \"${version}\",
      \"downloadLocation\": \"NOASSERTION\",
      \"filesAnalyzed\": false,
      \"licenseConcluded\": \"${licence}\",
      \"licenseDeclared\": \"${licence}\",
      \"copyrightText\": \"NOASSERTION\",
      \"sourceInfo\": \"built from the Debian source package ${source} ${debian}\",
      \"comment\": \"${comment}\",
      \"externalRefs\": [
        {
          \"referenceCategory\": \"PACKAGE-MANAGER\",
          \"referenceType\": \"purl\",
          \"referenceLocator\": \"pkg:deb/debian/${source}@${purl_version}?arch=source\"
        }
      ]
    }")
  set(packages "${packages}${entry}" PARENT_SCOPE)
endfunction()

package(libcurl libcurl "${curl_version}" curl "${curl_source}" "${curl_debian}"
        "linked statically into QelConnect.dll and qelhost.exe; TLS backend: ${tls}")
set(packages "${packages},\n")
package(tinyxml2 tinyxml2 "${tinyxml2_version}" Zlib "${tinyxml2_source}" "${tinyxml2_debian}"
        "linked statically into QelConnect.dll and qelhost.exe")

file(WRITE "${OUTPUT}.tmp" "{
  \"spdxVersion\": \"SPDX-2.3\",
  \"dataLicense\": \"CC0-1.0\",
  \"SPDXID\": \"SPDXRef-DOCUMENT\",
  \"name\": \"QelConnect-${VERSION}-win32\",
  \"documentNamespace\": \"https://spdx.org/spdxdocs/QelConnect-${VERSION}-win32-${curl_debian}-${tinyxml2_debian}\",
  \"creationInfo\": {
    \"created\": \"${created}\",
    \"creators\": [\"Tool: QelConnect cmake/sbom.cmake\"]
  },
  \"documentDescribes\": [\"SPDXRef-Package-QelConnect\"],
  \"packages\": [
    {
      \"SPDXID\": \"SPDXRef-Package-QelConnect\",
      \"name\": \"QelConnect\",
      \"versionInfo\": \"${VERSION}\",
      \"downloadLocation\": \"NOASSERTION\",
      \"filesAnalyzed\": false,
      \"licenseConcluded\": \"NOASSERTION\",
      \"licenseDeclared\": \"NOASSERTION\",
      \"copyrightText\": \"NOASSERTION\",
      \"comment\": \"QelConnect.dll and qelhost.exe\"
    },
${packages}
  ],
  \"relationships\": [
    {\"spdxElementId\": \"SPDXRef-DOCUMENT\", \"relationshipType\": \"DESCRIBES\", \"relatedSpdxElement\": \"SPDXRef-Package-QelConnect\"},
    {\"spdxElementId\": \"SPDXRef-Package-QelConnect\", \"relationshipType\": \"STATIC_LINK\", \"relatedSpdxElement\": \"SPDXRef-Package-libcurl\"},
    {\"spdxElementId\": \"SPDXRef-Package-QelConnect\", \"relationshipType\": \"STATIC_LINK\", \"relatedSpdxElement\": \"SPDXRef-Package-tinyxml2\"}
  ]
}
")
file(RENAME "${OUTPUT}.tmp" "${OUTPUT}")
