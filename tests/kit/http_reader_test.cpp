// The HTTP reader over bytes that arrive in pieces: what it keeps as head
// and body, its limits, and what it reads out of a head.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "kit/http_reader.h"

namespace qel::kit {
namespace {

// A receive that hands out `pieces` in turn, none in one call with the
// next, as much of one as the buffer takes; then it reports a close.
Receive piecesOf(std::vector<std::string> pieces) {
  auto at = std::make_shared<std::pair<std::size_t, std::size_t>>(0, 0);  // piece, offset
  return [pieces = std::move(pieces), at](char* buffer, std::size_t size) -> long {
    if (at->first == pieces.size()) return 0;
    const std::string& piece = pieces[at->first];
    const std::size_t copied = piece.copy(buffer, size, at->second);
    at->second += copied;
    if (at->second == piece.size()) *at = {at->first + 1, 0};
    return static_cast<long>(copied);
  };
}

TEST(HttpReader, KeepsHeadAndBodyWhateverThePieces) {
  const std::string head = "POST /sap/kasse HTTP/1.1\r\nHost: 127.0.0.1\r\nContent-Length: 5\r\n\r\n";
  const std::string bigHead = "GET / HTTP/1.1\r\nX: " + std::string(64 * 1024 - 23, 'a') + "\r\n\r\n";
  const struct {
    const char* name;
    std::vector<std::string> pieces;
    std::size_t bodyLength;
    bool headRead, bodyRead;
    std::string head, body;
  } rows[] = {
      {"one piece", {head + "hello"}, 5, true, true, head, "hello"},
      {"a byte a time",
       {"P", "OST /sap/kasse HTTP/1.1\r", "\nHost: 127.0.0.1\r\nContent-Length: 5\r\n\r", "\n", "hel", "lo"},
       5,
       true,
       true,
       head,
       "hello"},
      {"more than the length", {head + "hello, more"}, 5, true, true, head, "hello"},
      {"body cut short", {head + "hel"}, 5, true, false, head, "hel"},
      {"closed in the head", {"POST / HTTP/1.1\r\nHost"}, 0, false, false, "", ""},
      {"head of 64 KiB", {bigHead}, 0, true, true, bigHead, ""},
      {"head one byte longer", {"GET / HTTP/1.1\r\nX: a" + bigHead.substr(19)}, 0, false, false, "", ""},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    HttpReader reader(piecesOf(row.pieces));
    HttpMessage message;
    ASSERT_EQ(reader.readHead(message), row.headRead);
    if (!row.headRead) continue;
    EXPECT_EQ(message.head, row.head);
    EXPECT_EQ(reader.readBody(message, row.bodyLength), row.bodyRead);
    EXPECT_EQ(message.body, row.body);
  }
}

TEST(HttpReader, ReadsTheHeadersAsSent) {
  HttpMessage message;
  message.head =
      "POST /sap/kasse HTTP/1.1\r\nHost: 127.0.0.1:80\r\ncontent-LENGTH:  12 \r\nExpect:\t100-Continue\r\n"
      "SOAPAction:\r\nno colon\r\nX-Twice: 1\r\nx-twice: 2\r\n\r\n";
  EXPECT_EQ(message.startLine(), "POST /sap/kasse HTTP/1.1");
  EXPECT_EQ(message.headers(), (std::vector<std::pair<std::string, std::string>>{{"Host", "127.0.0.1:80"},
                                                                                 {"content-LENGTH", "12"},
                                                                                 {"Expect", "100-Continue"},
                                                                                 {"SOAPAction", ""},
                                                                                 {"X-Twice", "1"},
                                                                                 {"x-twice", "2"}}));
  EXPECT_EQ(message.header("X-TWICE"), "1");
  EXPECT_EQ(message.header("Missing"), "");
  EXPECT_EQ(message.contentLength(), 12u);
  EXPECT_TRUE(message.expectsContinue());

  HttpMessage plain;
  plain.head = "HTTP/1.1 204 No Content\r\nConnection: close\r\n\r\n";
  EXPECT_EQ(plain.contentLength(), std::nullopt);
  EXPECT_FALSE(plain.expectsContinue());
}

}  // namespace
}  // namespace qel::kit
