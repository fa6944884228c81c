// The stored form of the personal password.
#pragma once

#include <string>
#include <string_view>

namespace egresso {

// The stored form of a password: eight bytes of a slow, salted hash
// (libsodium's crypto_pwhash, the salt made from the initials), which no
// one reading the personal file can turn back into the password; empty for
// no password. Its first byte is never what the old form below could hold
// there, so the two are told apart.
std::string HashPassword(std::string_view initials, std::string_view plain);
// Whether typed is the password stored for initials. legacy is set when
// stored is still in the old form, which the caller then replaces by the
// hash.
bool PasswordMatches(std::string_view initials, std::string_view stored, std::string_view typed, bool& legacy);
// The old stored form, each character shifted by a fixed amount: still
// recognised once, never written again.
std::string EncodePassword(std::string_view plain);
std::string DecodePassword(std::string_view stored);

}  // namespace egresso
