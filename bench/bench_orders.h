// The sales that the benchmarks send and render, laid out in the host's own
// bytes so that decoding is part of what is measured.
#pragma once

#include <string>

#include "boxoffice/host_sale.h"

namespace qel::bench {

struct SaleShape {
  int positions = 1;
  int ticketsPerPosition = 2;
  bool fixedFees = false;  // all four fixed fees present
  int additionalFees = 0;
};

// A sale of the given shape with ordinary values: prices with cents, an
// event name with an ampersand and umlaut that need escaping and encoding.
inline boxoffice::SaleBytes makeSale(const SaleShape& shape) {
  boxoffice::SaleBytes sale;
  sale.id = 4711;
  sale.belegnummer = 815;
  sale.poolId = 7;
  double total = 0.0;
  for (int i = 0; i < shape.positions; ++i) {
    boxoffice::PositionBytes position;
    position.id = 1000 + i;
    position.gesamtpreis = 35.9 * shape.ticketsPerPosition;
    position.mwstbetrag = 5.73 * shape.ticketsPerPosition;
    position.vvksum = 1.5 * shape.ticketsPerPosition;
    position.event = {900 + i,        12345,          i % 7,
                      1700000000 + i, 1700007200 + i, "Konzert & Lesung \xC4gypten, Saal " + std::to_string(i % 12)};
    for (int k = 0; k < shape.ticketsPerPosition; ++k) {
      position.tickets.push_back({200000 + i * 100 + k, 1.5, 0.25, 35.9});
    }
    total += position.gesamtpreis;
    sale.positions.push_back(std::move(position));
  }
  if (shape.fixedFees) {
    sale.versandkosten = {1, "EUR", 5.95, 19.0};
    sale.auftragsgebuehr = {1, "EUR", 2.0, 19.0};
    sale.ticketversicherung = {1, "EUR", 3.0, 19.0};
    sale.vorverkaufsgebuehr = {1, "EUR", 119.0, 19.0};
  }
  for (int j = 0; j < shape.additionalFees; ++j) {
    sale.zusatzgebuehren.push_back({"Gebuehr " + std::to_string(j), "EUR", 1.0 + 0.05 * j, 7.0});
  }
  sale.bruttogesamtpreis = total;
  return sale;
}

}  // namespace qel::bench
