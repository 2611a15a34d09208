// The second check of every sales request: its operation element must be
// valid against the published service contract, docs/kasse.xsd (libxml2).
#pragma once

#include <libxml/xmlschemas.h>

#include <memory>
#include <string>
#include <string_view>

namespace qel::sim {

// docs/kasse.xsd as it was when kasse-sim was built.
std::string_view embeddedKasseSchema();

class RequestSchema {
 public:
  // Parses the schema text; throws std::runtime_error when it is no schema.
  explicit RequestSchema(std::string_view xsd);

  // Throws RequestError with the validator's first complaint when the
  // request's Body child does not validate. Safe to call from several
  // threads at once: each call has a validation context of its own.
  void check(const std::string& body) const;

 private:
  struct SchemaFree {
    void operator()(xmlSchemaPtr schema) const { xmlSchemaFree(schema); }
  };
  std::unique_ptr<xmlSchema, SchemaFree> schema_;
};

}  // namespace qel::sim
