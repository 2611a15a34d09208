// RequestTemplate against a plain model of its rule, on the real templates
// with random keys and values: each set replaces, left to right, every
// "{key}" that lies wholly in the template's own text, and text that a value
// brought in is never searched again.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "render/request_template.h"

namespace qel {
namespace {

// The text with a mark for every character that came from the template.
class ModelTemplate {
 public:
  explicit ModelTemplate(const std::wstring& text) : text_(text), own_(text.size(), true) {}

  void set(const std::wstring& key, const std::wstring& value) {
    const std::wstring pattern = L"{" + key + L"}";
    for (std::size_t at = 0; at + pattern.size() <= text_.size();) {
      if (text_.compare(at, pattern.size(), pattern) != 0 || !ownSpan(at, pattern.size())) {
        ++at;
        continue;
      }
      text_.replace(at, pattern.size(), value);
      own_.erase(own_.begin() + static_cast<std::ptrdiff_t>(at),
                 own_.begin() + static_cast<std::ptrdiff_t>(at + pattern.size()));
      own_.insert(own_.begin() + static_cast<std::ptrdiff_t>(at), value.size(), false);
      at += value.size();
    }
  }

  const std::wstring& text() const { return text_; }

 private:
  bool ownSpan(std::size_t at, std::size_t size) const {
    for (std::size_t i = at; i < at + size; ++i) {
      if (!own_[i]) return false;
    }
    return true;
  }

  std::wstring text_;
  std::vector<bool> own_;
};

TEST(RequestTemplateReferenceTest, RandomSetsOnEveryTemplate) {
  std::mt19937 random(4711);
  const std::wstring valueAlphabet = L"{}ab<>";
  for (std::int32_t id = 101; id <= 106; ++id) {
    RequestTemplate fresh;
    fresh.load(id);
    const std::wstring source = fresh.text();
    std::vector<std::size_t> braces;
    for (std::size_t i = 0; i < source.size(); ++i) {
      if (source[i] == L'{') braces.push_back(i);
    }
    for (int round = 0; round < 300; ++round) {
      RequestTemplate actual;
      actual.load(id);
      ModelTemplate model(source);
      const int sets = std::uniform_int_distribution<int>(1, 30)(random);
      for (int s = 0; s < sets; ++s) {
        // Keys start after a brace of the template, so that most of them
        // occur: half of them are a placeholder's name, the others reach
        // short of it or past its closing brace, over the next placeholder.
        const std::size_t start = braces[random() % braces.size()] + 1;
        const std::size_t length = random() % 2 == 0 ? source.find(L'}', start) - start
                                                     : std::uniform_int_distribution<std::size_t>(0, 30)(random);
        const std::wstring key = source.substr(start, length);
        std::wstring value;
        const int valueLength = std::uniform_int_distribution<int>(0, 4)(random);
        for (int v = 0; v < valueLength; ++v) value += valueAlphabet[random() % valueAlphabet.size()];
        actual.set(key, value);
        model.set(key, value);
      }
      ASSERT_EQ(actual.text(), model.text()) << "template " << id << ", round " << round;
    }
  }
}

// Binding a list of keys at once gives what binding them one by one gives.
TEST(RequestTemplateReferenceTest, BindingSlotsAtOnceIsBindingThemInTurn) {
  std::mt19937 random(815);
  for (std::int32_t id = 101; id <= 106; ++id) {
    RequestTemplate fresh;
    fresh.load(id);
    const std::wstring source = fresh.text();
    std::vector<std::string> names = {"", "x", "item", "id}"};
    for (std::size_t at = source.find(L'{'); at != std::wstring::npos; at = source.find(L'{', at + 1)) {
      const std::wstring name = source.substr(at + 1, source.find(L'}', at) - at - 1);
      names.emplace_back(name.begin(), name.end());
    }
    for (int round = 0; round < 200; ++round) {
      std::vector<std::string> keys(random() % 8);
      for (std::string& key : keys) key = names[random() % names.size()];
      const std::vector<std::string_view> views(keys.begin(), keys.end());
      RequestTemplate atOnce;
      atOnce.load(id);
      atOnce.set(L"id", L"{x}");  // some text that is no longer the template's
      atOnce.bindSlots(views.data(), views.size());
      RequestTemplate inTurn;
      inTurn.load(id);
      inTurn.set(L"id", L"{x}");
      for (std::size_t slot = 0; slot < views.size(); ++slot) inTurn.bindSlot(views[slot], slot);
      const auto write = [](TextBuffer& out, std::size_t slot) { out.append("<slot " + std::to_string(slot) + ">"); };
      TextBuffer expected;
      TextBuffer actual;
      inTurn.appendTo(expected, write);
      atOnce.appendTo(actual, write);
      ASSERT_EQ(actual.view(), expected.view()) << "template " << id << ", round " << round;
    }
  }
}

}  // namespace
}  // namespace qel
