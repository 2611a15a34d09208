// Validating a sales request against docs/kasse.xsd with libxml2: the SOAP
// frame is kasse-sim's own check; the schema judges the Body's child.
#include "tools/kasse-sim/request_schema.h"

#include <libxml/parser.h>
#include <libxml/tree.h>

#include <stdexcept>

#include "tools/kasse-sim/order_check.h"

namespace qel::sim {

namespace {

const char kSoap12Namespace[] = "http://www.w3.org/2003/05/soap-envelope";

struct DocFree {
  void operator()(xmlDocPtr doc) const { xmlFreeDoc(doc); }
};
struct ParserContextFree {
  void operator()(xmlSchemaParserCtxtPtr context) const { xmlSchemaFreeParserCtxt(context); }
};
struct ValidContextFree {
  void operator()(xmlSchemaValidCtxtPtr context) const { xmlSchemaFreeValidCtxt(context); }
};

// Keeps the first message that libxml2 reports, without its line end; the
// rest follow from it and would only lengthen the fault.
void keepFirstError(void* firstError, xmlErrorPtr error) {
  std::string& first = *static_cast<std::string*>(firstError);
  if (!first.empty() || error == nullptr || error->message == nullptr) return;
  first = error->message;
  while (!first.empty() && (first.back() == '\n' || first.back() == ' ')) first.pop_back();
}

bool isElement(const xmlNode* node, const char* localName, const char* uri) {
  return node->type == XML_ELEMENT_NODE && xmlStrEqual(node->name, BAD_CAST localName) && node->ns != nullptr &&
         xmlStrEqual(node->ns->href, BAD_CAST uri);
}

xmlNodePtr firstElementChild(xmlNodePtr parent) {
  for (xmlNodePtr child = parent->children; child != nullptr; child = child->next) {
    if (child->type == XML_ELEMENT_NODE) return child;
  }
  return nullptr;
}

xmlNodePtr operationOf(xmlDocPtr doc) {
  xmlNodePtr envelope = xmlDocGetRootElement(doc);
  if (envelope == nullptr || !isElement(envelope, "Envelope", kSoap12Namespace)) return nullptr;
  for (xmlNodePtr child = envelope->children; child != nullptr; child = child->next) {
    if (isElement(child, "Body", kSoap12Namespace)) return firstElementChild(child);
  }
  return nullptr;
}

}  // namespace

RequestSchema::RequestSchema(std::string_view xsd) {
  // libxml2 sets up its globals here, on the main thread, before any server
  // thread validates.
  xmlInitParser();
  std::unique_ptr<xmlSchemaParserCtxt, ParserContextFree> parser(
      xmlSchemaNewMemParserCtxt(xsd.data(), static_cast<int>(xsd.size())));
  if (!parser) throw std::runtime_error("cannot read the request schema");
  std::string firstError;
  xmlSchemaSetParserStructuredErrors(parser.get(), &keepFirstError, &firstError);
  schema_.reset(xmlSchemaParse(parser.get()));
  if (!schema_) throw std::runtime_error("the request schema does not parse: " + firstError);
}

void RequestSchema::check(const std::string& body) const {
  std::unique_ptr<xmlDoc, DocFree> doc(xmlReadMemory(body.data(), static_cast<int>(body.size()), "request.xml", nullptr,
                                                     XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING));
  if (!doc) throw RequestError("kasse.xsd: the request is not well-formed XML");
  xmlNodePtr operation = operationOf(doc.get());
  if (operation == nullptr) throw RequestError("kasse.xsd: the request has no SOAP 1.2 Body with an element in it");

  std::unique_ptr<xmlSchemaValidCtxt, ValidContextFree> validator(xmlSchemaNewValidCtxt(schema_.get()));
  if (!validator) throw std::runtime_error("cannot make a schema validation context");
  std::string firstError;
  xmlSchemaSetValidStructuredErrors(validator.get(), &keepFirstError, &firstError);
  const int result = xmlSchemaValidateOneElement(validator.get(), operation);
  if (result != 0) {
    throw RequestError("kasse.xsd: " +
                       (firstError.empty() ? "validation failed (" + std::to_string(result) + ")" : firstError));
  }
}

}  // namespace qel::sim
