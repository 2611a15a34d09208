// The golden order documents as they go on the wire (line breaks and tabs
// removed, UTF-8), with the host records they are rendered from. The
// rendering tests check them against renderOrder; the Wine tests send the
// same records through the DLL and expect the same bytes on the wire.
#pragma once

#include <array>
#include <cstdint>
#include <cstring>

#include "boxoffice/host_sale.h"

namespace qel::test {

// A sale with several positions, tickets and events, fixed fees present and
// absent, additional fees, text that needs escaping or looks like a
// placeholder, and amounts on both sides of a rounding tie.
inline boxoffice::SaleBytes richSale() {
  boxoffice::SaleBytes sale;
  sale.id = 4711;
  sale.belegnummer = 815;
  sale.bruttogesamtpreis = 161.5;
  sale.poolId = 7;
  sale.filler = 0xA5;

  boxoffice::PositionBytes first;
  first.id = 1;
  first.gesamtpreis = 2.355;
  first.mwstbetrag = 0.375;
  first.vvksum = 1.5;
  first.vvkrefsum = 0.125;
  first.event = {900,
                 123,
                 5,
                 1700000000,
                 -1,
                 "Rock & Roll <Live> \"Br\xFC"
                 "der\" 'M\xFCller' {id}"};
  first.tickets = {{101, 1.5, 0.125, 30.0}, {102, 2.0, 1.0, 40.5}};

  boxoffice::PositionBytes second;
  second.id = 2;
  second.aboauftrag = 1;
  second.gesamtpreis = 129.145;
  second.mwstbetrag = 20.62;
  second.event = {901, 0, 0, 0, 0, "{zusatzgebuehren}"};

  sale.positions = {first, second};
  sale.versandkosten = {1, "EUR", 5.95, 19.0};
  sale.auftragsgebuehr = {2, "EUR", 9.99, 19.0};
  sale.vorverkaufsgebuehr = {1, "EUR", 119.0, 19.0};
  sale.ticketversicherung = {1, "EUR", 3.0, 19.0};
  sale.zusatzgebuehren = {{"{summe}", "EUR", 2.355, 19.0}, {"Geb\xFChr & Co", "EUR", 1.005, 7.0}};
  return sale;
}

// The rich sale is rendered with this sub-pool number and terminal number;
// the terminal number shows that it cannot close its element.
constexpr std::int32_t kRichSaleSubPoolId = 3;
constexpr char kRichSaleTerminalId[] = "12</Dwsubpoolid>";

constexpr char kRichSaleDocument[] =
    "<ImAuftrag>"
    "<Dwaufragid>4711</Dwaufragid>"
    "<Dwbelegnr>815</Dwbelegnr>"
    "<Szwaehrung>EUR</Szwaehrung>"
    "<Dblbruttogesamtpreis>161.50</Dblbruttogesamtpreis>"
    "<Citicketsges>2</Citicketsges>"
    "<Cdwauftragpos>2</Cdwauftragpos>"
    "<Pauftragpos>"
    "<item>"
    "<Dwposid>1</Dwposid><Faboauftrag>false</Faboauftrag><Citicketspos>2</Citicketspos>"
    "<Dbticketgesamtpreis>2.35</Dbticketgesamtpreis><Dbmwstbetrag>0.38</Dbmwstbetrag>"
    "<Dbvvksum>1.50</Dbvvksum><Dbvvkrefsum>0.12</Dbvvkrefsum>"
    "<Vavainfo><item>"
    "<Dwvaid>900</Dwvaid><Dwvanummer>123|5</Dwvanummer><Tvadatum>1700000000</Tvadatum><Tvabis>-1</Tvabis>"
    "<Szname>Rock &amp; Roll &lt;Live&gt; &quot;Br\xC3\xBC"
    "der&quot; &apos;M\xC3\xBCller&apos; {id}</Szname>"
    "</item></Vavainfo>"
    "<Pticketinfos>"
    "<item><Dwticketid>101</Dwticketid><Dbvvk>1.50</Dbvvk><Dwvvkref>0.12</Dwvvkref>"
    "<Dbticketgesamtpreis>30.00</Dbticketgesamtpreis></item>"
    "<item><Dwticketid>102</Dwticketid><Dbvvk>2.00</Dbvvk><Dwvvkref>1.00</Dwvvkref>"
    "<Dbticketgesamtpreis>40.50</Dbticketgesamtpreis></item>"
    "</Pticketinfos>"
    "</item>"
    "<item>"
    "<Dwposid>2</Dwposid><Faboauftrag>true</Faboauftrag><Citicketspos>0</Citicketspos>"
    "<Dbticketgesamtpreis>129.15</Dbticketgesamtpreis><Dbmwstbetrag>20.62</Dbmwstbetrag>"
    "<Dbvvksum>0.00</Dbvvksum><Dbvvkrefsum>0.00</Dbvvkrefsum>"
    "<Vavainfo><item>"
    "<Dwvaid>901</Dwvaid><Dwvanummer>0|0</Dwvanummer><Tvadatum>0</Tvadatum><Tvabis>0</Tvabis>"
    "<Szname>{zusatzgebuehren}</Szname>"
    "</item></Vavainfo>"
    "<Pticketinfos></Pticketinfos>"
    "</item>"
    "</Pauftragpos>"
    "<Fversandkosten>true</Fversandkosten>"
    "<Gebversandkosten><item><Szbezeichnung>EUR</Szbezeichnung><Dbsumme>5.95</Dbsumme>"
    "<Dbsteuersatz>19.00</Dbsteuersatz><Dbsteuersumme>5.90</Dbsteuersumme></item></Gebversandkosten>"
    "<Fauftragsgebuehr>false</Fauftragsgebuehr>"
    "<Gebauftragsgebuehr></Gebauftragsgebuehr>"
    "<Fvvkgebuehr>true</Fvvkgebuehr>"
    "<Gebvvkgebuehr><item><Szbezeichnung>EUR</Szbezeichnung><Dbsumme>119.00</Dbsumme>"
    "<Dbsteuersatz>19.00</Dbsteuersatz><Dbsteuersumme>118.00</Dbsteuersumme></item></Gebvvkgebuehr>"
    "<Cdwzusatzgebuehren>2</Cdwzusatzgebuehren>"
    "<Pzusatzgebuehren>"
    "<item><Szbezeichnung>{summe}</Szbezeichnung><Dbsumme>2.36</Dbsumme>"
    "<Dbsteuersatz>19.00</Dbsteuersatz><Dbsteuersumme>2.34</Dbsteuersumme></item>"
    "<item><Szbezeichnung>Geb\xC3\xBChr &amp; Co</Szbezeichnung><Dbsumme>1.00</Dbsumme>"
    "<Dbsteuersatz>7.00</Dbsteuersatz><Dbsteuersumme>1.00</Dbsteuersumme></item>"
    "</Pzusatzgebuehren>"
    "<Fticketvers>true</Fticketvers>"
    "<Gebticketvers><item><Szbezeichnung>EUR</Szbezeichnung><Dbsumme>3.00</Dbsumme>"
    "<Dbsteuersatz>19.00</Dbsteuersatz><Dbsteuersumme>2.97</Dbsteuersumme></item></Gebticketvers>"
    "<Dwpoolid>7</Dwpoolid>"
    "<Dwsubpoolid>3|12&lt;/Dwsubpoolid&gt;</Dwsubpoolid>"
    "</ImAuftrag>";

// The host's 24-byte refund record of the refund example: receipt 815,
// -25.00 EUR, order 471.
inline boxoffice::RefundRecord refundExample() { return boxoffice::hostRefund({815, -25.0, "EUR", 471}); }

constexpr char kRefundDocument[] =
    "<ImAuftrag><Dwaufragid>471</Dwaufragid><Dwbelegnr>815</Dwbelegnr><Szwaehrung>EUR</Szwaehrung>"
    "<Dblbruttogesamtpreis>-25.00</Dblbruttogesamtpreis><Citicketsges>0</Citicketsges>"
    "<Cdwauftragpos>0</Cdwauftragpos><Pauftragpos></Pauftragpos><Fversandkosten>false</Fversandkosten>"
    "<Gebversandkosten></Gebversandkosten><Fauftragsgebuehr>false</Fauftragsgebuehr>"
    "<Gebauftragsgebuehr></Gebauftragsgebuehr><Fvvkgebuehr>false</Fvvkgebuehr>"
    "<Gebvvkgebuehr></Gebvvkgebuehr><Cdwzusatzgebuehren>0</Cdwzusatzgebuehren>"
    "<Pzusatzgebuehren xsi:nil=\"true\"/><Fticketvers>false</Fticketvers><Gebticketvers></Gebticketvers>"
    "<Dwpoolid>0</Dwpoolid><Dwsubpoolid>0|</Dwsubpoolid></ImAuftrag>";

}  // namespace qel::test
