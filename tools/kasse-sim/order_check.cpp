// The sales request check of kasse-sim: namespaces of the envelope and the
// operation, the ImAuftrag element sequence, the forms of the values and
// the counts that must match the lists.
#include "tools/kasse-sim/order_check.h"

#include <tinyxml2.h>

#include <cstdlib>
#include <initializer_list>
#include <regex>
#include <vector>

namespace qel::sim {

namespace {

using tinyxml2::XMLElement;

const char kSoap12Namespace[] = "http://www.w3.org/2003/05/soap-envelope";
const char kServiceNamespace[] = "urn:sap-com:document:sap:soap:functions:mc-style";
const char kSchemaInstanceNamespace[] = "http://www.w3.org/2001/XMLSchema-instance";
const char kOperation[] = "_-qel_-kasVubWsQuendalSales";

std::string localName(const XMLElement* element) {
  const std::string name = element->Name();
  const std::size_t colon = name.find(':');
  return colon == std::string::npos ? name : name.substr(colon + 1);
}

std::string prefixOf(const std::string& qualifiedName) {
  const std::size_t colon = qualifiedName.find(':');
  return colon == std::string::npos ? std::string() : qualifiedName.substr(0, colon);
}

// The namespace URI bound to `prefix` (empty: the default namespace) where
// `element` stands; empty when it is not declared.
std::string resolvePrefix(const XMLElement* element, const std::string& prefix) {
  const std::string attribute = prefix.empty() ? "xmlns" : "xmlns:" + prefix;
  for (const tinyxml2::XMLNode* node = element; node != nullptr; node = node->Parent()) {
    if (const XMLElement* e = node->ToElement()) {
      if (const char* uri = e->Attribute(attribute.c_str())) return uri;
    }
  }
  return {};
}

std::string namespaceOf(const XMLElement* element) { return resolvePrefix(element, prefixOf(element->Name())); }

void expectQualified(const XMLElement* element, const char* local, const std::string& uri, const std::string& where) {
  if (element == nullptr) throw RequestError(where + ": element '" + local + "' is missing");
  if (localName(element) != local || namespaceOf(element) != uri) {
    throw RequestError(where + ": expected '" + local + "' in namespace '" + uri + "', found '" + element->Name() +
                       "' in namespace '" + namespaceOf(element) + "'");
  }
}

std::vector<const XMLElement*> children(const XMLElement* parent) {
  std::vector<const XMLElement*> result;
  for (const XMLElement* e = parent->FirstChildElement(); e != nullptr; e = e->NextSiblingElement()) {
    result.push_back(e);
  }
  return result;
}

// The children of `parent` must be exactly `names`, in this order and
// without a prefix; returns them.
std::vector<const XMLElement*> expectSequence(const XMLElement* parent, std::initializer_list<const char*> names,
                                              const std::string& path) {
  const std::vector<const XMLElement*> found = children(parent);
  std::size_t i = 0;
  for (const char* name : names) {
    if (i >= found.size()) throw RequestError(path + ": element '" + name + "' is missing");
    if (std::string(found[i]->Name()) != name) {
      throw RequestError(path + ": expected element '" + name + "', found '" + found[i]->Name() + "'");
    }
    ++i;
  }
  if (i < found.size()) throw RequestError(path + ": unexpected element '" + found[i]->Name() + "'");
  return found;
}

std::string text(const XMLElement* element) {
  const char* raw = element->GetText();
  return raw != nullptr ? raw : "";
}

void expectForm(const XMLElement* element, const std::regex& form, const char* what, const std::string& path) {
  const std::string value = text(element);
  if (!std::regex_match(value, form)) {
    throw RequestError(path + "/" + element->Name() + ": '" + value + "' is not " + what);
  }
}

const std::regex kInteger("-?[0-9]+");
const std::regex kAmount("-?[0-9]+\\.[0-9]{2}");
const std::regex kFlag("true|false");
const std::regex kVanummer("-?[0-9]+\\|-?[0-9]+");
const std::regex kSubPool("-?[0-9]+\\|.*");

void expectInteger(const XMLElement* e, const std::string& path) { expectForm(e, kInteger, "an integer", path); }
void expectAmount(const XMLElement* e, const std::string& path) {
  expectForm(e, kAmount, "an amount with two decimals", path);
}

std::vector<const XMLElement*> items(const XMLElement* list, const std::string& path) {
  std::vector<const XMLElement*> found = children(list);
  for (const XMLElement* item : found) {
    if (std::string(item->Name()) != "item") {
      throw RequestError(path + ": expected element 'item', found '" + item->Name() + "'");
    }
  }
  return found;
}

void expectCount(const XMLElement* count, std::size_t actual, const std::string& path) {
  if (std::strtol(text(count).c_str(), nullptr, 10) != static_cast<long>(actual)) {
    throw RequestError(path + "/" + count->Name() + " is " + text(count) + " but the list holds " +
                       std::to_string(actual) + " items");
  }
}

void checkFee(const XMLElement* item, const std::string& path) {
  const auto e = expectSequence(item, {"Szbezeichnung", "Dbsumme", "Dbsteuersatz", "Dbsteuersumme"}, path);
  for (std::size_t i = 1; i < e.size(); ++i) expectAmount(e[i], path);
}

// A fixed fee: the flag says whether its element holds exactly one fee item.
void checkFixedFee(const XMLElement* flag, const XMLElement* fee, const std::string& path) {
  expectForm(flag, kFlag, "true or false", path);
  const auto feeItems = items(fee, path + "/" + fee->Name());
  const std::size_t expected = text(flag) == "true" ? 1 : 0;
  if (feeItems.size() != expected) {
    throw RequestError(path + "/" + fee->Name() + " holds " + std::to_string(feeItems.size()) + " items but " +
                       flag->Name() + " is " + text(flag));
  }
  for (const XMLElement* item : feeItems) checkFee(item, path + "/" + fee->Name() + "/item");
}

void checkPosition(const XMLElement* item, const std::string& path) {
  const auto e = expectSequence(item,
                                {"Dwposid", "Faboauftrag", "Citicketspos", "Dbticketgesamtpreis", "Dbmwstbetrag",
                                 "Dbvvksum", "Dbvvkrefsum", "Vavainfo", "Pticketinfos"},
                                path);
  expectInteger(e[0], path);
  expectForm(e[1], kFlag, "true or false", path);
  expectInteger(e[2], path);
  for (std::size_t i = 3; i <= 6; ++i) expectAmount(e[i], path);
  for (const XMLElement* event : items(e[7], path + "/Vavainfo")) {
    const std::string eventPath = path + "/Vavainfo/item";
    const auto v = expectSequence(event, {"Dwvaid", "Dwvanummer", "Tvadatum", "Tvabis", "Szname"}, eventPath);
    expectInteger(v[0], eventPath);
    expectForm(v[1], kVanummer, "a number pair like 123|5", eventPath);
    expectInteger(v[2], eventPath);
    expectInteger(v[3], eventPath);
  }
  const auto tickets = items(e[8], path + "/Pticketinfos");
  for (const XMLElement* ticket : tickets) {
    const std::string ticketPath = path + "/Pticketinfos/item";
    const auto t = expectSequence(ticket, {"Dwticketid", "Dbvvk", "Dwvvkref", "Dbticketgesamtpreis"}, ticketPath);
    expectInteger(t[0], ticketPath);
    for (std::size_t i = 1; i < t.size(); ++i) expectAmount(t[i], ticketPath);
  }
  expectCount(e[2], tickets.size(), path);
}

void checkAdditionalFees(const XMLElement* count, const XMLElement* list, const std::string& path) {
  const std::string listPath = path + "/Pzusatzgebuehren";
  const auto fees = items(list, listPath);
  if (const char* nil = list->Attribute("xsi:nil")) {
    if (resolvePrefix(list, "xsi") != kSchemaInstanceNamespace) {
      throw RequestError(listPath + ": prefix 'xsi' is not bound to " + kSchemaInstanceNamespace);
    }
    if (std::string(nil) == "true" && !fees.empty()) throw RequestError(listPath + " is nil but holds items");
  }
  expectCount(count, fees.size(), path);
  for (const XMLElement* fee : fees) checkFee(fee, listPath + "/item");
}

OrderSummary checkOrder(const XMLElement* order) {
  const std::string path = "ImAuftrag";
  const auto e = expectSequence(
      order,
      {"Dwaufragid", "Dwbelegnr", "Szwaehrung", "Dblbruttogesamtpreis", "Citicketsges", "Cdwauftragpos", "Pauftragpos",
       "Fversandkosten", "Gebversandkosten", "Fauftragsgebuehr", "Gebauftragsgebuehr", "Fvvkgebuehr", "Gebvvkgebuehr",
       "Cdwzusatzgebuehren", "Pzusatzgebuehren", "Fticketvers", "Gebticketvers", "Dwpoolid", "Dwsubpoolid"},
      path);
  expectInteger(e[0], path);
  expectInteger(e[1], path);
  expectAmount(e[3], path);
  expectInteger(e[4], path);
  expectInteger(e[5], path);
  const auto positions = items(e[6], path + "/Pauftragpos");
  expectCount(e[5], positions.size(), path);
  for (const XMLElement* position : positions) checkPosition(position, path + "/Pauftragpos/item");
  checkFixedFee(e[7], e[8], path);
  checkFixedFee(e[9], e[10], path);
  checkFixedFee(e[11], e[12], path);
  expectInteger(e[13], path);
  checkAdditionalFees(e[13], e[14], path);
  checkFixedFee(e[15], e[16], path);
  expectInteger(e[17], path);
  expectForm(e[18], kSubPool, "a sub-pool id, a bar and a terminal id", path);
  const std::string subPool = text(e[18]);
  return OrderSummary{text(e[0]), text(e[1]), text(e[3]), subPool.substr(subPool.find('|') + 1), positions.size()};
}

}  // namespace

OrderSummary checkSalesRequest(const std::string& body) {
  tinyxml2::XMLDocument document;
  if (document.Parse(body.data(), body.size()) != tinyxml2::XML_SUCCESS) {
    throw RequestError(std::string("request is not well-formed XML: ") + document.ErrorStr());
  }
  const XMLElement* envelope = document.RootElement();
  expectQualified(envelope, "Envelope", kSoap12Namespace, "document");
  const XMLElement* body12 = nullptr;
  for (const XMLElement* child : children(envelope)) {
    if (localName(child) == "Body") {
      body12 = child;
      break;
    }
  }
  expectQualified(body12, "Body", kSoap12Namespace, "Envelope");
  const XMLElement* operation = body12->FirstChildElement();
  expectQualified(operation, kOperation, kServiceNamespace, "Body");
  const XMLElement* order = operation->FirstChildElement();
  if (order == nullptr || std::string(order->Name()) != "ImAuftrag" || !namespaceOf(order).empty()) {
    throw RequestError(std::string(kOperation) + ": expected the unqualified element 'ImAuftrag'");
  }
  if (order->NextSiblingElement() != nullptr) {
    throw RequestError(std::string(kOperation) + ": unexpected element '" + order->NextSiblingElement()->Name() + "'");
  }
  return checkOrder(order);
}

}  // namespace qel::sim
