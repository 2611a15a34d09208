// What the simulator and the relay write alike: the start of a log line and
// the files of a recorded request.
#pragma once

#include <httplib.h>

#include <filesystem>
#include <string>

namespace qel::sim {

// "<local time> <method> <path> <body bytes> bytes -> ", what every log line
// of a request begins with.
std::string logLinePrefix(const httplib::Request& request);

// The stem of the files of request number `number`: six digits.
std::string recordStem(unsigned long number);

// A header's value as a record shows it: credentials (Authorization,
// Proxy-Authorization) keep only their scheme ("Basic ***"), cookies only
// their names; every other value as it is.
std::string maskedHeaderValue(const std::string& name, const std::string& value);

// Writes <stem>-headers.txt (the request line and the headers as received,
// without cpp-httplib's own entries for the peer's addresses, each value as
// maskedHeaderValue gives it) and <stem>-body.xml into `dir`.
void recordRequestFiles(const std::filesystem::path& dir, const std::string& stem, const httplib::Request& request);

void writeFile(const std::filesystem::path& path, const std::string& content);

// cpp-httplib files the peer's addresses among the request's headers; these
// are its names for them (matched without regard to case).
bool isPeerAddressEntry(const std::string& name);

}  // namespace qel::sim
