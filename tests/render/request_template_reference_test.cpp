// RequestTemplate against a plain model of its rule, on random templates
// with random values: the template's bytes without CR, LF and TAB, each
// "{key}" replaced by its row's value, and values never read again; a brace
// that is not part of a placeholder is refused. The templates are dense with
// the bytes that the word-at-a-time reading looks for, so that each falls at
// every place in a word.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "base/vub_exception.h"
#include "render/request_template.h"

namespace qel {
namespace {

struct Context {};
struct Item {
  std::string values[4];
};
template <std::size_t K>
void writeValue(TextBuffer& out, const Context&, const Item& item) {
  out.append(item.values[K]);
}
constexpr Placeholder<Context, Item> kRows[] = {
    {"a", &writeValue<0>}, {"ab", &writeValue<1>}, {"b", &writeValue<2>}, {"ba", &writeValue<3>}};
constexpr std::size_t kKeys = sizeof kRows / sizeof kRows[0];

std::string randomText(std::mt19937& random, const std::string& alphabet, std::size_t maxLength) {
  std::string text(random() % (maxLength + 1), ' ');
  for (char& c : text) c = alphabet[random() % alphabet.size()];
  return text;
}

// A random template that holds every key at least once, and the text that
// the model gives for it.
struct Case {
  std::string bytes;
  std::string expected;
};

Case randomCase(std::mt19937& random, const Item& item) {
  std::vector<std::size_t> keys;
  for (std::size_t k = 0; k < kKeys; ++k) keys.push_back(k);
  for (std::size_t extra = random() % 4; extra > 0; --extra) keys.push_back(random() % kKeys);
  std::shuffle(keys.begin(), keys.end(), random);
  Case c;
  const auto text = [&] {
    const std::string piece = randomText(random, "ab<>/ |\r\n\t\x01\x7f", 11);
    c.bytes += piece;
    for (const char ch : piece) {
      if (ch != '\r' && ch != '\n' && ch != '\t') c.expected += ch;
    }
  };
  for (const std::size_t k : keys) {
    text();
    c.bytes += "{" + std::string(kRows[k].key) + "}";
    c.expected += item.values[k];
  }
  text();
  return c;
}

TEST(RequestTemplateReferenceTest, RandomTemplatesAreFilledByTheRule) {
  std::mt19937 random(4711);
  for (int round = 0; round < 20000; ++round) {
    Item item;
    for (std::string& value : item.values) value = randomText(random, "{}ab<>\r\n", 4);
    const Case c = randomCase(random, item);
    RequestTemplate<Context, Item> t;
    t.read(900, c.bytes, kRows);
    TextBuffer out;
    t.write(out, Context{}, item);
    ASSERT_EQ(std::string(out.view()), c.expected) << '"' << c.bytes << '"';
    // What every item writes besides its values, which the output's size
    // is reckoned from.
    TextBuffer withoutValues;
    t.write(withoutValues, Context{}, Item{});
    ASSERT_EQ(t.textSize(), withoutValues.size());
  }
}

// One more brace anywhere in a valid template makes it invalid: it opens a
// placeholder inside another or one never closed, or closes one never
// opened or one whose name is then no key.
TEST(RequestTemplateReferenceTest, AnyStrayBraceIsRefused) {
  std::mt19937 random(815);
  for (int round = 0; round < 5000; ++round) {
    Case c = randomCase(random, Item{});
    c.bytes.insert(random() % (c.bytes.size() + 1), 1, random() % 2 == 0 ? '{' : '}');
    RequestTemplate<Context, Item> t;
    ASSERT_THROW(t.read(900, c.bytes, kRows), VubException) << '"' << c.bytes << '"';
  }
}

}  // namespace
}  // namespace qel
