#include "config/password_hash.h"

#include <sodium.h>

#include <algorithm>
#include <array>
#include <cstdint>

#include "text/fixed_width.h"

namespace egresso {

namespace {

// Every workstation of every site must decode what another one stored, so
// the shift never changes.
constexpr std::uint8_t kPasswordShift = 37;

std::string shifted(std::string_view text, int by) {
  std::string out(text);
  for (char& c : out) c = static_cast<char>(static_cast<std::uint8_t>(static_cast<std::uint8_t>(c) + by));
  return out;
}

constexpr std::size_t kStoredBytes = 8;  // what the record's string[8] holds

// A byte the old form stores for a character typed in the dialog (printable
// ASCII, shifted).
bool oldFormByte(std::uint8_t b) { return b >= 0x20 + kPasswordShift && b <= 0x7E + kPasswordShift; }

// The old form: fewer than eight bytes, or eight that all decode to
// printable characters (a hash's first byte never does).
bool oldForm(std::string_view stored) {
  if (stored.size() < kStoredBytes) return true;
  return std::all_of(stored.begin(), stored.end(), [](char c) { return oldFormByte(static_cast<std::uint8_t>(c)); });
}

}  // namespace

std::string HashPassword(std::string_view initials, std::string_view plain) {
  if (plain.empty()) return {};
  if (sodium_init() < 0) return {};
  // The salt: the initials, under a context of this program's own. The data
  // folder's path cannot take part: each workstation mounts it where it
  // likes, and every one of them must check the same password.
  std::array<unsigned char, crypto_pwhash_SALTBYTES> salt{};
  const std::string context = "Egresso personal password\n" + std::string(initials);
  crypto_generichash(salt.data(), salt.size(), reinterpret_cast<const unsigned char*>(context.data()), context.size(),
                     nullptr, 0);
  std::array<unsigned char, crypto_pwhash_BYTES_MIN> out{};
  if (crypto_pwhash(out.data(), out.size(), plain.data(), plain.size(), salt.data(), crypto_pwhash_OPSLIMIT_INTERACTIVE,
                    crypto_pwhash_MEMLIMIT_INTERACTIVE, crypto_pwhash_ALG_ARGON2ID13) != 0)
    return {};
  std::string stored(reinterpret_cast<const char*>(out.data()), kStoredBytes);
  // Moved out of the old form's range, keeping all its other bits.
  if (oldFormByte(static_cast<std::uint8_t>(stored[0]))) stored[0] = static_cast<char>(stored[0] ^ 0x80);
  return stored;
}

bool PasswordMatches(std::string_view initials, std::string_view stored, std::string_view typed, bool& legacy) {
  legacy = oldForm(stored);
  if (legacy) return typed == UpperText(DecodePassword(stored));
  const std::string hash = HashPassword(initials, typed);
  return hash.size() == stored.size() && sodium_memcmp(hash.data(), stored.data(), hash.size()) == 0;
}

std::string EncodePassword(std::string_view plain) { return shifted(plain, kPasswordShift); }
std::string DecodePassword(std::string_view stored) { return shifted(stored, -kPasswordShift); }

}  // namespace egresso
