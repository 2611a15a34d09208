// Lays out the host's sale and refund records from an order file. The
// offsets are written down here independently of the library's readers, so
// that a host built from them checks the library rather than echoing it.
#include "tools/qelhost/host_record_image.h"

#include <cstring>
#include <initializer_list>
#include <limits>
#include <ostream>
#include <stdexcept>
#include <string>

#include <nlohmann/json.hpp>

namespace qel::qelhost {
namespace {

using nlohmann::json;

// HostOrderRecord (the library reads nothing beyond its first 1296 bytes).
namespace order {
constexpr std::size_t kSize = 1296;
constexpr std::size_t kDwaufragid = 8;
constexpr std::size_t kDwbelegnr = 12;
constexpr std::size_t kDblbruttogesamtpreis = 28;
constexpr std::size_t kCdwauftragpos = 1132;
constexpr std::size_t kPauftragpos = 1136;
constexpr std::size_t kFversandkosten = 1140;
constexpr std::size_t kFauftragsgebuehr = 1173;
constexpr std::size_t kFticketvers = 1206;
constexpr std::size_t kFvvkgebuehr = 1239;
constexpr std::size_t kCdwzusatzgebuehren = 1272;
constexpr std::size_t kPzusatzgebuehren = 1276;
constexpr std::size_t kDwpoolid = 1292;
}  // namespace order

// HostFeeRecord, embedded one byte behind its flag byte.
namespace fee {
constexpr std::size_t kSzwaehrung = 4, kSzwaehrungWidth = 4;
constexpr std::size_t kDbsumme = 8;
constexpr std::size_t kDbsteuersatz = 16;
}  // namespace fee

namespace additionalfee {
constexpr std::size_t kSize = 45;
constexpr std::size_t kSzbezeichnung = 4, kSzbezeichnungWidth = 13;
constexpr std::size_t kSzwaehrung = 17, kSzwaehrungWidth = 4;
constexpr std::size_t kDbsumme = 21;
constexpr std::size_t kDbsteuersatz = 29;
}  // namespace additionalfee

namespace position {
constexpr std::size_t kSize = 170;
constexpr std::size_t kDwposid = 4;
constexpr std::size_t kFaboauftrag = 8;
constexpr std::size_t kCiticketspos = 13;
constexpr std::size_t kDbticketgesamtpreis = 21;
constexpr std::size_t kDbmwstbetrag = 29;
constexpr std::size_t kDbvvksum = 37;
constexpr std::size_t kDbvvkrefsum = 45;
constexpr std::size_t kVavainfo = 53;
constexpr std::size_t kPticketinfos = 166;
}  // namespace position

// HostEventRecord, offsets within the embedded record.
namespace event {
constexpr std::size_t kDwvaid = 4;
constexpr std::size_t kDwvanummer = 8;
constexpr std::size_t kDwvanummerzusatz = 12;
constexpr std::size_t kTvadatum = 16;
constexpr std::size_t kTvabis = 24;
constexpr std::size_t kSzname = 32, kSznameWidth = 81;
}  // namespace event

namespace ticket {
constexpr std::size_t kSize = 573;
constexpr std::size_t kDwticketid = 4;
constexpr std::size_t kDbvvk = 8;
constexpr std::size_t kDwvvkref = 16;
constexpr std::size_t kDbticketgesamtpreis = 24;
}  // namespace ticket

namespace refund {
constexpr std::size_t kSize = 24;
constexpr std::size_t kDwbelegnr = 4;
constexpr std::size_t kDblbruttogesamtpreis = 8;
constexpr std::size_t kSzwaehrung = 16, kSzwaehrungWidth = 4;
constexpr std::size_t kDwaufragid = 20;
}  // namespace refund

// HostPaymentType: only dwZahlartID is read; the rest of the host's record is
// left zero.
namespace paymenttype {
constexpr std::size_t kSize = 64;
constexpr std::size_t kDwZahlartId = 4;
}  // namespace paymenttype

// The four fixed fees: the order file's key, the flag byte's offset.
struct FixedFee {
  const char* key;
  const char* flagKey;
  std::size_t flagOffset;
};
constexpr FixedFee kFixedFees[] = {
    {"Gebversandkosten", "Fversandkosten", order::kFversandkosten},
    {"Gebauftragsgebuehr", "Fauftragsgebuehr", order::kFauftragsgebuehr},
    {"Gebticketvers", "Fticketvers", order::kFticketvers},
    {"Gebvvkgebuehr", "Fvvkgebuehr", order::kFvvkgebuehr},
};

template <typename T>
void put(std::uint8_t* base, std::size_t offset, T value) {
  std::memcpy(base + offset, &value, sizeof value);
}

void putPointer(std::uint8_t* base, std::size_t offset, const void* target) {
  put<std::uint32_t>(base, offset, static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(target)));
}

// One JSON object of the order file, read with defaults and with every key
// checked, so that a misspelt field is reported instead of silently zero.
class Fields {
 public:
  Fields(const json& object, std::string path, std::initializer_list<const char*> allowed)
      : object_(object), path_(std::move(path)) {
    if (!object_.is_object()) fail(path_, "expected an object");
    for (const auto& item : object_.items()) {
      bool known = false;
      for (const char* key : allowed) known = known || item.key() == key;
      if (!known) fail(path_ + "." + item.key(), "unknown field");
    }
  }

  const std::string& path() const { return path_; }
  std::string pathOf(const char* key) const { return path_ + "." + key; }
  bool has(const char* key) const { return object_.contains(key); }
  const json& at(const char* key) const { return object_.at(key); }

  std::int32_t int32(const char* key) const {
    return static_cast<std::int32_t>(integer(key, std::numeric_limits<std::int32_t>::min(),
                                             std::numeric_limits<std::int32_t>::max()));
  }
  std::uint32_t uint32(const char* key, std::uint32_t fallback = 0) const {
    if (!has(key)) return fallback;
    return static_cast<std::uint32_t>(integer(key, 0, std::numeric_limits<std::uint32_t>::max()));
  }
  std::uint8_t byte(const char* key, std::uint8_t fallback) const {
    if (!has(key)) return fallback;
    return static_cast<std::uint8_t>(integer(key, 0, 255));
  }
  double number(const char* key) const {
    if (!has(key)) return 0.0;
    const json& value = object_.at(key);
    if (!value.is_number()) fail(pathOf(key), "expected a number");
    return value.get<double>();
  }
  std::string text(const char* key) const {
    if (!has(key)) return {};
    const json& value = object_.at(key);
    if (!value.is_string()) fail(pathOf(key), "expected a string");
    return value.get<std::string>();
  }
  const json& array(const char* key) const {
    static const json empty = json::array();
    if (!has(key)) return empty;
    const json& value = object_.at(key);
    if (!value.is_array()) fail(pathOf(key), "expected an array");
    return value;
  }

  [[noreturn]] static void fail(const std::string& where, const std::string& what) {
    throw std::runtime_error(where + ": " + what);
  }

 private:
  std::int64_t integer(const char* key, std::int64_t low, std::int64_t high) const {
    if (!has(key)) return 0;
    const json& value = object_.at(key);
    if (!value.is_number_integer()) fail(pathOf(key), "expected an integer");
    if (value.is_number_unsigned() ? value.get<std::uint64_t>() > static_cast<std::uint64_t>(high)
                                   : value.get<std::int64_t>() < low || value.get<std::int64_t>() > high) {
      fail(pathOf(key), "out of range " + std::to_string(low) + " to " + std::to_string(high));
    }
    return value.get<std::int64_t>();
  }

  const json& object_;
  std::string path_;
};

}  // namespace

// Fills the records of one image; every array is a block of its own.
class RecordBuilder {
 public:
  RecordBuilder(HostRecordImage& image, std::ostream& warnings) : image_(image), warnings_(warnings) {}

  void sale(const json& orderJson, const json* paymentTypeJson) {
    Fields f(orderJson, "order",
             {"Dwaufragid", "Dwbelegnr", "Dblbruttogesamtpreis", "Dwpoolid", "Cdwauftragpos", "positions",
              "Cdwzusatzgebuehren", "additionalFees", "Gebversandkosten", "Fversandkosten", "Gebauftragsgebuehr",
              "Fauftragsgebuehr", "Gebticketvers", "Fticketvers", "Gebvvkgebuehr", "Fvvkgebuehr"});
    std::uint8_t* r = image_.allocate(order::kSize);
    put<std::int32_t>(r, order::kDwaufragid, f.int32("Dwaufragid"));
    put<std::int32_t>(r, order::kDwbelegnr, f.int32("Dwbelegnr"));
    put<double>(r, order::kDblbruttogesamtpreis, f.number("Dblbruttogesamtpreis"));
    put<std::int32_t>(r, order::kDwpoolid, f.int32("Dwpoolid"));
    image_.summary_.grossTotal = f.number("Dblbruttogesamtpreis");
    positions(f, r);
    for (const FixedFee& fixed : kFixedFees) fixedFee(f, fixed, r);
    additionalFees(f, r);
    image_.hostOrder_ = r;
    image_.paymentType_ = paymentType(paymentTypeJson);
  }

  void refund(const json& refundJson) {
    Fields f(refundJson, "refund", {"Dwbelegnr", "Dblbruttogesamtpreis", "Szwaehrung", "Dwaufragid"});
    std::uint8_t* r = image_.allocate(refund::kSize);
    put<std::int32_t>(r, refund::kDwbelegnr, f.int32("Dwbelegnr"));
    put<double>(r, refund::kDblbruttogesamtpreis, f.number("Dblbruttogesamtpreis"));
    putText(r, refund::kSzwaehrung, refund::kSzwaehrungWidth, f, "Szwaehrung");
    put<std::int32_t>(r, refund::kDwaufragid, f.int32("Dwaufragid"));
    image_.summary_.grossTotal = f.number("Dblbruttogesamtpreis");
    image_.refund_ = r;
  }

 private:
  // A count field defaults to the length of its list. A list may be given
  // shorter than its count only when it is empty: the pointer is then null,
  // which lets an order file show how the library meets such a record.
  std::int64_t count(const Fields& f, const char* countKey, std::size_t listLength, bool isUnsigned) const {
    if (!f.has(countKey)) return static_cast<std::int64_t>(listLength);
    std::int64_t n = isUnsigned ? std::int64_t{f.uint32(countKey)} : std::int64_t{f.int32(countKey)};
    if (listLength > 0 && n > static_cast<std::int64_t>(listLength)) {
      Fields::fail(f.pathOf(countKey), "larger than its list: the library would read past the records");
    }
    return n;
  }

  void positions(const Fields& f, std::uint8_t* r) {
    const json& list = f.array("positions");
    put<std::int32_t>(r, order::kCdwauftragpos, static_cast<std::int32_t>(count(f, "Cdwauftragpos", list.size(), false)));
    if (list.empty()) return;
    std::uint8_t* records = image_.allocate(position::kSize * list.size());
    for (std::size_t i = 0; i < list.size(); ++i) {
      positionRecord(Fields(list[i], f.path() + ".positions[" + std::to_string(i) + "]",
                            {"Dwposid", "Faboauftrag", "Citicketspos", "Dbticketgesamtpreis", "Dbmwstbetrag",
                             "Dbvvksum", "Dbvvkrefsum", "event", "tickets"}),
                     records + i * position::kSize);
    }
    putPointer(r, order::kPauftragpos, records);
    image_.summary_.positions = list.size();
  }

  void positionRecord(const Fields& f, std::uint8_t* p) {
    put<std::int32_t>(p, position::kDwposid, f.int32("Dwposid"));
    p[position::kFaboauftrag] = f.byte("Faboauftrag", 0);
    put<double>(p, position::kDbticketgesamtpreis, f.number("Dbticketgesamtpreis"));
    put<double>(p, position::kDbmwstbetrag, f.number("Dbmwstbetrag"));
    put<double>(p, position::kDbvvksum, f.number("Dbvvksum"));
    put<double>(p, position::kDbvvkrefsum, f.number("Dbvvkrefsum"));
    if (f.has("event")) {
      eventRecord(Fields(f.at("event"), f.pathOf("event"),
                         {"Dwvaid", "Dwvanummer", "Dwvanummerzusatz", "Tvadatum", "Tvabis", "Szname"}),
                  p + position::kVavainfo);
    }
    const json& list = f.array("tickets");
    put<std::int32_t>(p, position::kCiticketspos, static_cast<std::int32_t>(count(f, "Citicketspos", list.size(), false)));
    if (list.empty()) return;
    std::uint8_t* records = image_.allocate(ticket::kSize * list.size());
    for (std::size_t k = 0; k < list.size(); ++k) {
      Fields t(list[k], f.path() + ".tickets[" + std::to_string(k) + "]",
               {"Dwticketid", "Dbvvk", "Dwvvkref", "Dbticketgesamtpreis"});
      std::uint8_t* record = records + k * ticket::kSize;
      put<std::int32_t>(record, ticket::kDwticketid, t.int32("Dwticketid"));
      put<double>(record, ticket::kDbvvk, t.number("Dbvvk"));
      put<double>(record, ticket::kDwvvkref, t.number("Dwvvkref"));
      put<double>(record, ticket::kDbticketgesamtpreis, t.number("Dbticketgesamtpreis"));
    }
    putPointer(p, position::kPticketinfos, records);
    image_.summary_.tickets += list.size();
  }

  void eventRecord(const Fields& f, std::uint8_t* e) {
    put<std::int32_t>(e, event::kDwvaid, f.int32("Dwvaid"));
    put<std::int32_t>(e, event::kDwvanummer, f.int32("Dwvanummer"));
    put<std::int32_t>(e, event::kDwvanummerzusatz, f.int32("Dwvanummerzusatz"));
    put<std::int32_t>(e, event::kTvadatum, f.int32("Tvadatum"));
    put<std::int32_t>(e, event::kTvabis, f.int32("Tvabis"));
    putText(e, event::kSzname, event::kSznameWidth, f, "Szname");
  }

  void fixedFee(const Fields& f, const FixedFee& fixed, std::uint8_t* r) {
    const bool given = f.has(fixed.key);
    r[fixed.flagOffset] = f.byte(fixed.flagKey, given ? 1 : 0);
    if (!given) return;
    Fields fee(f.at(fixed.key), f.pathOf(fixed.key), {"Szwaehrung", "Dbsumme", "Dbsteuersatz"});
    std::uint8_t* record = r + fixed.flagOffset + 1;
    putText(record, fee::kSzwaehrung, fee::kSzwaehrungWidth, fee, "Szwaehrung");
    put<double>(record, fee::kDbsumme, fee.number("Dbsumme"));
    put<double>(record, fee::kDbsteuersatz, fee.number("Dbsteuersatz"));
    if (r[fixed.flagOffset] == 1) ++image_.summary_.fixedFees;
  }

  void additionalFees(const Fields& f, std::uint8_t* r) {
    const json& list = f.array("additionalFees");
    put<std::uint32_t>(r, order::kCdwzusatzgebuehren,
                       static_cast<std::uint32_t>(count(f, "Cdwzusatzgebuehren", list.size(), true)));
    if (list.empty()) return;
    std::uint8_t* records = image_.allocate(additionalfee::kSize * list.size());
    for (std::size_t j = 0; j < list.size(); ++j) {
      Fields a(list[j], f.path() + ".additionalFees[" + std::to_string(j) + "]",
               {"Szbezeichnung", "Szwaehrung", "Dbsumme", "Dbsteuersatz"});
      std::uint8_t* record = records + j * additionalfee::kSize;
      putText(record, additionalfee::kSzbezeichnung, additionalfee::kSzbezeichnungWidth, a, "Szbezeichnung");
      putText(record, additionalfee::kSzwaehrung, additionalfee::kSzwaehrungWidth, a, "Szwaehrung");
      put<double>(record, additionalfee::kDbsumme, a.number("Dbsumme"));
      put<double>(record, additionalfee::kDbsteuersatz, a.number("Dbsteuersatz"));
    }
    putPointer(r, order::kPzusatzgebuehren, records);
    image_.summary_.additionalFees = list.size();
  }

  const void* paymentType(const json* paymentTypeJson) {
    std::uint8_t* record = image_.allocate(paymenttype::kSize);
    std::uint32_t zahlartId = 1;
    if (paymentTypeJson != nullptr) zahlartId = Fields(*paymentTypeJson, "paymentType", {"dwZahlartID"}).uint32("dwZahlartID", 1);
    put<std::uint32_t>(record, paymenttype::kDwZahlartId, zahlartId);
    return record;
  }

  // A text fills its field with the NUL behind it when it fits; a text as
  // long as its field is stored without one, as the host may do; a longer
  // one is cut.
  void putText(std::uint8_t* base, std::size_t offset, std::size_t width, const Fields& f, const char* key) {
    std::string text = utf8ToHostText(f.text(key));
    if (text.size() > width) {
      warnings_ << "note: " << f.pathOf(key) << " cut to its " << width << " bytes\n";
      text.resize(width);
    }
    std::memcpy(base + offset, text.data(), text.size());
  }

  HostRecordImage& image_;
  std::ostream& warnings_;
};

std::uint8_t* HostRecordImage::allocate(std::size_t size) {
  blocks_.emplace_back(size);
  return blocks_.back().data();
}

HostRecordImage HostRecordImage::fromJson(const json& document, std::ostream& warnings) {
  Fields top(document, "order file", {"order", "paymentType", "refund", "comment"});
  if (top.has("order") == top.has("refund")) Fields::fail("order file", "needs exactly one of \"order\" and \"refund\"");
  HostRecordImage image;
  RecordBuilder builder(image, warnings);
  if (top.has("refund")) {
    if (top.has("paymentType")) Fields::fail("order file", "a refund takes no \"paymentType\"");
    builder.refund(top.at("refund"));
  } else {
    builder.sale(top.at("order"), top.has("paymentType") ? &top.at("paymentType") : nullptr);
  }
  return image;
}

}  // namespace qel::qelhost
