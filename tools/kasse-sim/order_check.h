// Checking a sales request the way the SAP service would: a SOAP 1.2
// envelope around ImAuftrag with every element in its place and form.
#pragma once

#include <cstddef>
#include <stdexcept>
#include <string>

namespace qel::sim {

// What the log line shows of an accepted request.
struct OrderSummary {
  std::string dwaufragid;
  std::string dwbelegnr;
  std::string total;
  std::string terminal;  // of Dwsubpoolid, after the bar
  std::size_t positions = 0;
};

// Thrown with a reason that names the offending element.
class RequestError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

OrderSummary checkSalesRequest(const std::string& body);

}  // namespace qel::sim
