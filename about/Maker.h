#pragma once

#include <string_view>

// The maker's values the About window shows and links to. One web host serves
// the details box, the web link and the donation link.
namespace tavrelo::about::maker {

inline constexpr std::string_view kAuthorLine = "L'équipe Tavrelo - Décembre 2026";
inline constexpr std::string_view kAuthorMail = "contact@tavrelo.example";
// The mail link writes to its own address, not the one shown.
inline constexpr std::string_view kLinkMail = "support@tavrelo.example";
inline constexpr std::string_view kWebHost = "tavrelo.example";

}  // namespace tavrelo::about::maker
