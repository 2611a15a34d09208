// Lays out the host's sale and refund records from an order file. The sale's
// records are laid out by the box office kit's HostSale, whose offsets are written
// down independently of the library's readers, so that a host built from them
// checks the library rather than echoing it.
#include "tools/qelhost/host_record_image.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <initializer_list>
#include <limits>
#include <memory>
#include <ostream>
#include <stdexcept>
#include <string>

#include <nlohmann/json.hpp>

#include "boxoffice/host_sale.h"
#include "boxoffice/payment_records.h"
#include "tools/qelhost/system.h"

namespace qel::qelhost {
namespace {

using nlohmann::json;

// HostPaymentType: only dwZahlartID is read; the rest of the host's record is
// left zero. The sale's and the refund's records are laid out by the host
// kit's builders.
namespace paymenttype {
constexpr std::size_t kSize = 64;
constexpr std::size_t kDwZahlartId = boxoffice::kPaymentTypeZahlartIdOffset;
}  // namespace paymenttype

constexpr std::size_t kCurrencyWidth = boxoffice::HostSale::kCurrencyWidth;

// The four fixed fees: the order file's key, its flag's key, the fee.
struct FixedFee {
  const char* key;
  const char* flagKey;
  boxoffice::FeeBytes boxoffice::SaleBytes::*fee;
};
constexpr FixedFee kFixedFees[] = {
    {"Gebversandkosten", "Fversandkosten", &boxoffice::SaleBytes::versandkosten},
    {"Gebauftragsgebuehr", "Fauftragsgebuehr", &boxoffice::SaleBytes::auftragsgebuehr},
    {"Gebticketvers", "Fticketvers", &boxoffice::SaleBytes::ticketversicherung},
    {"Gebvvkgebuehr", "Fvvkgebuehr", &boxoffice::SaleBytes::vorverkaufsgebuehr},
};

template <typename T>
void put(std::uint8_t* base, std::size_t offset, T value) {
  std::memcpy(base + offset, &value, sizeof value);
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
    return static_cast<std::int32_t>(
        integer(key, std::numeric_limits<std::int32_t>::min(), std::numeric_limits<std::int32_t>::max()));
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

// Reads an order file into the records of one image.
class RecordBuilder {
 public:
  RecordBuilder(HostRecordImage& image, std::ostream& warnings) : image_(image), warnings_(warnings) {}

  void sale(const json& orderJson, const json* paymentTypeJson) {
    Fields f(orderJson, "order",
             {"Dwaufragid", "Dwbelegnr", "Dblbruttogesamtpreis", "Dwpoolid", "Cdwauftragpos", "positions",
              "Cdwzusatzgebuehren", "additionalFees", "Gebversandkosten", "Fversandkosten", "Gebauftragsgebuehr",
              "Fauftragsgebuehr", "Gebticketvers", "Fticketvers", "Gebvvkgebuehr", "Fvvkgebuehr"});
    boxoffice::SaleBytes sale;
    sale.id = f.int32("Dwaufragid");
    sale.belegnummer = f.int32("Dwbelegnr");
    sale.bruttogesamtpreis = amount(f, "Dblbruttogesamtpreis");
    sale.poolId = f.int32("Dwpoolid");
    image_.summary_.grossTotal = sale.bruttogesamtpreis;
    image_.summary_.receipt = sale.belegnummer;
    positions(f, sale);
    for (const FixedFee& fixed : kFixedFees) fixedFee(f, fixed, sale.*fixed.fee);
    additionalFees(f, sale);
    image_.sale_ = std::make_unique<boxoffice::HostSale>(sale);
    image_.paymentType_ = paymentType(paymentTypeJson);
  }

  void refund(const json& refundJson) {
    Fields f(refundJson, "refund", {"Dwbelegnr", "Dblbruttogesamtpreis", "Szwaehrung", "Dwaufragid"});
    boxoffice::RefundBytes refund;
    refund.belegnummer = f.int32("Dwbelegnr");
    refund.bruttogesamtpreis = amount(f, "Dblbruttogesamtpreis");
    refund.waehrung = text(f, "Szwaehrung", kCurrencyWidth);
    refund.id = f.int32("Dwaufragid");
    image_.refund_ = std::make_unique<boxoffice::RefundRecord>(boxoffice::hostRefund(refund));
    image_.summary_.grossTotal = refund.bruttogesamtpreis;
    image_.summary_.receipt = refund.belegnummer;
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

  void positions(const Fields& f, boxoffice::SaleBytes& sale) {
    const json& list = f.array("positions");
    sale.positionCount = static_cast<std::int32_t>(count(f, "Cdwauftragpos", list.size(), false));
    sale.nullPositions = list.empty();
    for (std::size_t i = 0; i < list.size(); ++i) {
      sale.positions.push_back(position(Fields(list[i], f.path() + ".positions[" + std::to_string(i) + "]",
                                               {"Dwposid", "Faboauftrag", "Citicketspos", "Dbticketgesamtpreis",
                                                "Dbmwstbetrag", "Dbvvksum", "Dbvvkrefsum", "event", "tickets"})));
    }
    image_.summary_.positions = list.size();
  }

  boxoffice::PositionBytes position(const Fields& f) {
    boxoffice::PositionBytes p;
    p.id = f.int32("Dwposid");
    p.aboauftrag = f.byte("Faboauftrag", 0);
    p.gesamtpreis = amount(f, "Dbticketgesamtpreis");
    p.mwstbetrag = amount(f, "Dbmwstbetrag");
    p.vvksum = amount(f, "Dbvvksum");
    p.vvkrefsum = amount(f, "Dbvvkrefsum");
    if (f.has("event")) {
      p.event = event(Fields(f.at("event"), f.pathOf("event"),
                             {"Dwvaid", "Dwvanummer", "Dwvanummerzusatz", "Tvadatum", "Tvabis", "Szname"}));
    }
    const json& list = f.array("tickets");
    p.ticketCount = static_cast<std::int32_t>(count(f, "Citicketspos", list.size(), false));
    p.nullTickets = list.empty();
    for (std::size_t k = 0; k < list.size(); ++k) {
      Fields t(list[k], f.path() + ".tickets[" + std::to_string(k) + "]",
               {"Dwticketid", "Dbvvk", "Dwvvkref", "Dbticketgesamtpreis"});
      p.tickets.push_back(
          {t.int32("Dwticketid"), amount(t, "Dbvvk"), amount(t, "Dwvvkref"), amount(t, "Dbticketgesamtpreis")});
    }
    image_.summary_.tickets += list.size();
    return p;
  }

  boxoffice::EventBytes event(const Fields& f) {
    return {f.int32("Dwvaid"),   f.int32("Dwvanummer"), f.int32("Dwvanummerzusatz"),
            f.int32("Tvadatum"), f.int32("Tvabis"),     text(f, "Szname", boxoffice::HostSale::kEventNameWidth)};
  }

  void fixedFee(const Fields& f, const FixedFee& fixed, boxoffice::FeeBytes& fee) {
    const bool given = f.has(fixed.key);
    fee.flag = f.byte(fixed.flagKey, given ? 1 : 0);
    if (!given) return;
    Fields record(f.at(fixed.key), f.pathOf(fixed.key), {"Szwaehrung", "Dbsumme", "Dbsteuersatz"});
    fee.waehrung = text(record, "Szwaehrung", kCurrencyWidth);
    fee.summe = amount(record, "Dbsumme");
    fee.steuersatz = amount(record, "Dbsteuersatz");
    if (fee.flag == 1) ++image_.summary_.fixedFees;
  }

  void additionalFees(const Fields& f, boxoffice::SaleBytes& sale) {
    const json& list = f.array("additionalFees");
    sale.zusatzgebuehrenCount = static_cast<std::uint32_t>(count(f, "Cdwzusatzgebuehren", list.size(), true));
    sale.nullZusatzgebuehren = list.empty();
    for (std::size_t j = 0; j < list.size(); ++j) {
      Fields a(list[j], f.path() + ".additionalFees[" + std::to_string(j) + "]",
               {"Szbezeichnung", "Szwaehrung", "Dbsumme", "Dbsteuersatz"});
      sale.zusatzgebuehren.push_back({text(a, "Szbezeichnung", boxoffice::HostSale::kFeeNameWidth),
                                      text(a, "Szwaehrung", kCurrencyWidth), amount(a, "Dbsumme"),
                                      amount(a, "Dbsteuersatz")});
    }
    image_.summary_.additionalFees = list.size();
  }

  std::unique_ptr<boxoffice::LowMemory> paymentType(const json* paymentTypeJson) {
    auto record = std::make_unique<boxoffice::LowMemory>(paymenttype::kSize);
    std::uint32_t zahlartId = 1;
    if (paymentTypeJson != nullptr)
      zahlartId = Fields(*paymentTypeJson, "paymentType", {"dwZahlartID"}).uint32("dwZahlartID", 1);
    put<std::uint32_t>(record->data(), paymenttype::kDwZahlartId, zahlartId);
    return record;
  }

  // An amount: the request carries two decimals, so more are noted.
  double amount(const Fields& f, const char* key) {
    const double value = f.number(key);
    const double cents = value * 100.0;
    if (std::abs(cents - std::round(cents)) > 1e-6 * std::max(1.0, std::abs(cents))) {
      warnings_ << "note: " << f.pathOf(key) << " " << f.at(key).dump()
                << " has more than two decimals; the request carries two\n";
    }
    return value;
  }

  // A host text for a field of `width` bytes: it fills the field with the NUL
  // behind it when it fits; a text as long as its field is stored without
  // one, as the host may do; a longer one is cut, with a note.
  std::string text(const Fields& f, const char* key, std::size_t width) {
    std::string text = utf8ToHostText(f.text(key));
    if (text.size() > width) {
      warnings_ << "note: " << f.pathOf(key) << " cut to its " << width << " bytes\n";
      text.resize(width);
    }
    return text;
  }

  HostRecordImage& image_;
  std::ostream& warnings_;
};

HostRecordImage::HostRecordImage() = default;
HostRecordImage::HostRecordImage(HostRecordImage&&) noexcept = default;
HostRecordImage::~HostRecordImage() = default;

const void* HostRecordImage::hostOrder() const { return sale_ ? sale_->record() : nullptr; }
const void* HostRecordImage::paymentType() const { return paymentType_ ? paymentType_->data() : nullptr; }
const void* HostRecordImage::refund() const { return refund_ ? refund_->data() : nullptr; }

HostRecordImage HostRecordImage::fromJson(const json& document, std::ostream& warnings) {
  Fields top(document, "order file", {"order", "paymentType", "refund", "comment"});
  if (top.has("order") == top.has("refund"))
    Fields::fail("order file", "needs exactly one of \"order\" and \"refund\"");
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
