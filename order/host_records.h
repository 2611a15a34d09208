// Read-only views of the host's byte-packed sale and refund records. Every
// field is read at its explicit offset with an alignment-safe copy; nothing
// here relies on the compiler's structure layout.
#pragma once

#include <cstdint>
#include <cstring>
#include <string_view>

namespace qel {

namespace hostbytes {

template <typename T>
inline T read(const std::uint8_t* base, std::size_t offset) {
  T value;
  std::memcpy(&value, base + offset, sizeof value);
  return value;
}

// A host pointer field is a 32-bit address. On the 32-bit DLL it is a pointer
// as it stands; on 64-bit POSIX it is widened (test hosts place their arrays
// below 4 GiB).
inline const std::uint8_t* readPointer(const std::uint8_t* base, std::size_t offset) {
  return reinterpret_cast<const std::uint8_t*>(static_cast<std::uintptr_t>(read<std::uint32_t>(base, offset)));
}

// A narrow text field ends at its first NUL byte or at the end of its field.
inline std::string_view readText(const std::uint8_t* base, std::size_t offset, std::size_t width) {
  const char* text = reinterpret_cast<const char*>(base + offset);
  const void* nul = std::memchr(text, 0, width);
  return {text, nul ? static_cast<std::size_t>(static_cast<const char*>(nul) - text) : width};
}

// The address of element `index` of a host array of records `size` bytes long.
inline const std::uint8_t* element(const std::uint8_t* first, std::size_t size, std::size_t index) {
  return first + size * index;
}

}  // namespace hostbytes

// One fixed fee (32 bytes), embedded four times in the sale record.
class HostFeeRecord {
 public:
  static constexpr std::size_t kSize = 32;
  static constexpr std::size_t kSzwaehrung = 0x04;
  static constexpr std::size_t kSzwaehrungWidth = 4;
  static constexpr std::size_t kDbsumme = 0x08;
  static constexpr std::size_t kDbsteuersatz = 0x10;

  explicit HostFeeRecord(const std::uint8_t* bytes) : bytes_(bytes) {}

  std::string_view szwaehrung() const { return hostbytes::readText(bytes_, kSzwaehrung, kSzwaehrungWidth); }
  double dbsumme() const { return hostbytes::read<double>(bytes_, kDbsumme); }
  double dbsteuersatz() const { return hostbytes::read<double>(bytes_, kDbsteuersatz); }

 private:
  const std::uint8_t* bytes_;
};

// One additional fee (45 bytes), an element of the array at Pzusatzgebuehren.
class HostAdditionalFeeRecord {
 public:
  static constexpr std::size_t kSize = 45;
  static constexpr std::size_t kSzbezeichnung = 0x04;
  static constexpr std::size_t kSzbezeichnungWidth = 13;
  static constexpr std::size_t kSzwaehrung = 0x11;
  static constexpr std::size_t kSzwaehrungWidth = 4;
  static constexpr std::size_t kDbsumme = 0x15;
  static constexpr std::size_t kDbsteuersatz = 0x1D;

  explicit HostAdditionalFeeRecord(const std::uint8_t* bytes) : bytes_(bytes) {}

  std::string_view szbezeichnung() const { return hostbytes::readText(bytes_, kSzbezeichnung, kSzbezeichnungWidth); }
  std::string_view szwaehrung() const { return hostbytes::readText(bytes_, kSzwaehrung, kSzwaehrungWidth); }
  double dbsumme() const { return hostbytes::read<double>(bytes_, kDbsumme); }
  double dbsteuersatz() const { return hostbytes::read<double>(bytes_, kDbsteuersatz); }

 private:
  const std::uint8_t* bytes_;
};

// One ticket (573 bytes), an element of the array at a position's Pticketinfos.
class HostTicketRecord {
 public:
  static constexpr std::size_t kSize = 573;
  static constexpr std::size_t kDwticketid = 0x04;
  static constexpr std::size_t kDbvvk = 0x08;
  static constexpr std::size_t kDwvvkref = 0x10;  // a double in spite of its name
  static constexpr std::size_t kDbticketgesamtpreis = 0x18;

  explicit HostTicketRecord(const std::uint8_t* bytes) : bytes_(bytes) {}

  std::int32_t dwticketid() const { return hostbytes::read<std::int32_t>(bytes_, kDwticketid); }
  double dbvvk() const { return hostbytes::read<double>(bytes_, kDbvvk); }
  double dwvvkref() const { return hostbytes::read<double>(bytes_, kDwvvkref); }
  double dbticketgesamtpreis() const { return hostbytes::read<double>(bytes_, kDbticketgesamtpreis); }

 private:
  const std::uint8_t* bytes_;
};

// The event of a position (113 bytes), embedded in the position record.
class HostEventRecord {
 public:
  static constexpr std::size_t kSize = 113;
  static constexpr std::size_t kDwvaid = 0x04;
  static constexpr std::size_t kDwvanummer = 0x08;
  static constexpr std::size_t kDwvanummerzusatz = 0x0C;
  static constexpr std::size_t kTvadatum = 0x10;
  static constexpr std::size_t kTvabis = 0x18;
  static constexpr std::size_t kSzname = 0x20;
  static constexpr std::size_t kSznameWidth = 81;

  explicit HostEventRecord(const std::uint8_t* bytes) : bytes_(bytes) {}

  std::int32_t dwvaid() const { return hostbytes::read<std::int32_t>(bytes_, kDwvaid); }
  std::int32_t dwvanummer() const { return hostbytes::read<std::int32_t>(bytes_, kDwvanummer); }
  std::int32_t dwvanummerzusatz() const { return hostbytes::read<std::int32_t>(bytes_, kDwvanummerzusatz); }
  std::int32_t tvadatum() const { return hostbytes::read<std::int32_t>(bytes_, kTvadatum); }
  std::int32_t tvabis() const { return hostbytes::read<std::int32_t>(bytes_, kTvabis); }
  std::string_view szname() const { return hostbytes::readText(bytes_, kSzname, kSznameWidth); }

 private:
  const std::uint8_t* bytes_;
};

// One order position (170 bytes), an element of the array at Pauftragpos.
class HostPositionRecord {
 public:
  static constexpr std::size_t kSize = 170;
  static constexpr std::size_t kDwposid = 0x04;
  static constexpr std::size_t kFaboauftrag = 0x08;
  static constexpr std::size_t kCiticketspos = 0x0D;
  static constexpr std::size_t kDbticketgesamtpreis = 0x15;
  static constexpr std::size_t kDbmwstbetrag = 0x1D;
  static constexpr std::size_t kDbvvksum = 0x25;
  static constexpr std::size_t kDbvvkrefsum = 0x2D;
  static constexpr std::size_t kVavainfo = 0x35;
  static constexpr std::size_t kPticketinfos = 0xA6;

  explicit HostPositionRecord(const std::uint8_t* bytes) : bytes_(bytes) {}

  std::int32_t dwposid() const { return hostbytes::read<std::int32_t>(bytes_, kDwposid); }
  std::uint8_t faboauftrag() const { return hostbytes::read<std::uint8_t>(bytes_, kFaboauftrag); }
  std::int32_t citicketspos() const { return hostbytes::read<std::int32_t>(bytes_, kCiticketspos); }
  double dbticketgesamtpreis() const { return hostbytes::read<double>(bytes_, kDbticketgesamtpreis); }
  double dbmwstbetrag() const { return hostbytes::read<double>(bytes_, kDbmwstbetrag); }
  double dbvvksum() const { return hostbytes::read<double>(bytes_, kDbvvksum); }
  double dbvvkrefsum() const { return hostbytes::read<double>(bytes_, kDbvvkrefsum); }
  HostEventRecord vavainfo() const { return HostEventRecord(bytes_ + kVavainfo); }
  const std::uint8_t* pticketinfos() const { return hostbytes::readPointer(bytes_, kPticketinfos); }
  // Ticket `index` of the array at Pticketinfos; the pointer must not be null.
  HostTicketRecord ticket(std::size_t index) const {
    return HostTicketRecord(hostbytes::element(pticketinfos(), HostTicketRecord::kSize, index));
  }

 private:
  const std::uint8_t* bytes_;
};

// The host's sale record (at least 1296 bytes; nothing beyond is read).
class HostOrderRecord {
 public:
  static constexpr std::size_t kSize = 0x510;
  static constexpr std::size_t kDwaufragid = 0x008;
  static constexpr std::size_t kDwbelegnr = 0x00C;
  static constexpr std::size_t kDblbruttogesamtpreis = 0x01C;
  static constexpr std::size_t kCdwauftragpos = 0x46C;
  static constexpr std::size_t kPauftragpos = 0x470;
  static constexpr std::size_t kFversandkosten = 0x474;
  static constexpr std::size_t kGebversandkosten = 0x475;
  static constexpr std::size_t kFauftragsgebuehr = 0x495;
  static constexpr std::size_t kGebauftragsgebuehr = 0x496;
  static constexpr std::size_t kFticketvers = 0x4B6;
  static constexpr std::size_t kGebticketvers = 0x4B7;
  static constexpr std::size_t kFvvkgebuehr = 0x4D7;
  static constexpr std::size_t kGebvvkgebuehr = 0x4D8;
  static constexpr std::size_t kCdwzusatzgebuehren = 0x4F8;
  static constexpr std::size_t kPzusatzgebuehren = 0x4FC;
  static constexpr std::size_t kDwpoolid = 0x50C;

  explicit HostOrderRecord(const void* bytes) : bytes_(static_cast<const std::uint8_t*>(bytes)) {}
  const std::uint8_t* bytes() const { return bytes_; }

  std::int32_t dwaufragid() const { return hostbytes::read<std::int32_t>(bytes_, kDwaufragid); }
  std::int32_t dwbelegnr() const { return hostbytes::read<std::int32_t>(bytes_, kDwbelegnr); }
  double dblbruttogesamtpreis() const { return hostbytes::read<double>(bytes_, kDblbruttogesamtpreis); }
  std::int32_t cdwauftragpos() const { return hostbytes::read<std::int32_t>(bytes_, kCdwauftragpos); }
  const std::uint8_t* pauftragpos() const { return hostbytes::readPointer(bytes_, kPauftragpos); }
  // Position `index` of the array at Pauftragpos; the pointer must not be null.
  HostPositionRecord position(std::size_t index) const {
    return HostPositionRecord(hostbytes::element(pauftragpos(), HostPositionRecord::kSize, index));
  }

  std::uint8_t fversandkosten() const { return hostbytes::read<std::uint8_t>(bytes_, kFversandkosten); }
  HostFeeRecord gebversandkosten() const { return HostFeeRecord(bytes_ + kGebversandkosten); }
  std::uint8_t fauftragsgebuehr() const { return hostbytes::read<std::uint8_t>(bytes_, kFauftragsgebuehr); }
  HostFeeRecord gebauftragsgebuehr() const { return HostFeeRecord(bytes_ + kGebauftragsgebuehr); }
  std::uint8_t fticketvers() const { return hostbytes::read<std::uint8_t>(bytes_, kFticketvers); }
  HostFeeRecord gebticketvers() const { return HostFeeRecord(bytes_ + kGebticketvers); }
  std::uint8_t fvvkgebuehr() const { return hostbytes::read<std::uint8_t>(bytes_, kFvvkgebuehr); }
  HostFeeRecord gebvvkgebuehr() const { return HostFeeRecord(bytes_ + kGebvvkgebuehr); }

  std::uint32_t cdwzusatzgebuehren() const { return hostbytes::read<std::uint32_t>(bytes_, kCdwzusatzgebuehren); }
  const std::uint8_t* pzusatzgebuehren() const { return hostbytes::readPointer(bytes_, kPzusatzgebuehren); }
  // Additional fee `index` of the array at Pzusatzgebuehren; the pointer must
  // not be null.
  HostAdditionalFeeRecord zusatzgebuehr(std::size_t index) const {
    return HostAdditionalFeeRecord(hostbytes::element(pzusatzgebuehren(), HostAdditionalFeeRecord::kSize, index));
  }

  std::int32_t dwpoolid() const { return hostbytes::read<std::int32_t>(bytes_, kDwpoolid); }

 private:
  const std::uint8_t* bytes_;
};

// The host's refund record (24 bytes are read). Its receipt number comes
// first and its order id last, unlike the sale record.
class HostRefundRecord {
 public:
  static constexpr std::size_t kSize = 0x18;
  static constexpr std::size_t kDwbelegnr = 0x04;
  static constexpr std::size_t kDblbruttogesamtpreis = 0x08;
  static constexpr std::size_t kSzwaehrung = 0x10;
  static constexpr std::size_t kSzwaehrungWidth = 4;
  static constexpr std::size_t kDwaufragid = 0x14;

  explicit HostRefundRecord(const void* bytes) : bytes_(static_cast<const std::uint8_t*>(bytes)) {}
  const std::uint8_t* bytes() const { return bytes_; }

  std::int32_t dwbelegnr() const { return hostbytes::read<std::int32_t>(bytes_, kDwbelegnr); }
  double dblbruttogesamtpreis() const { return hostbytes::read<double>(bytes_, kDblbruttogesamtpreis); }
  std::string_view szwaehrung() const { return hostbytes::readText(bytes_, kSzwaehrung, kSzwaehrungWidth); }
  std::int32_t dwaufragid() const { return hostbytes::read<std::int32_t>(bytes_, kDwaufragid); }

 private:
  const std::uint8_t* bytes_;
};

}  // namespace qel
