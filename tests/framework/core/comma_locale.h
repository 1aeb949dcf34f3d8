// Switches the process to a locale whose decimal separator is a comma, as some hosts do, and
// back again: the C locale (setlocale, which printf and strtod follow) and the C++ global
// locale (with a comma numpunct facet, which streams follow).
#pragma once

#include <clocale>
#include <cstdio>
#include <cstring>
#include <locale>
#include <string>

namespace plugkit::testing {

class CommaLocale {
 public:
  CommaLocale() {
    const char* saved = std::setlocale(LC_ALL, nullptr);
    savedC_ = saved != nullptr ? saved : "C";
    savedCpp_ = std::locale();
    // glibc names, then Windows CRT names (the Windows build runs under Wine).
    for (const char* name : {"de_DE.UTF-8", "de_DE.utf8", "de_DE", "fr_FR.UTF-8", "fr_FR.utf8", "nl_NL.UTF-8",
                             "German_Germany.1252", "German", "de-DE", "French_France.1252", "fr-FR"}) {
      if (std::setlocale(LC_ALL, name) != nullptr && PrintfUsesComma()) {
        name_ = name;
        break;
      }
      std::setlocale(LC_ALL, savedC_.c_str());
    }
    std::locale::global(std::locale(std::locale::classic(), new CommaPunct));
  }
  ~CommaLocale() {
    std::locale::global(savedCpp_);
    std::setlocale(LC_ALL, savedC_.c_str());
  }
  CommaLocale(const CommaLocale&) = delete;
  CommaLocale& operator=(const CommaLocale&) = delete;

  // True when printf itself now writes "1,5": a comma C locale was available.
  bool Active() const { return !name_.empty(); }
  const std::string& Name() const { return name_; }

 private:
  struct CommaPunct : std::numpunct<char> {
    char do_decimal_point() const override { return ','; }
    char do_thousands_sep() const override { return '.'; }
    std::string do_grouping() const override { return "\3"; }
  };

  static bool PrintfUsesComma() {
    char text[16];
    std::snprintf(text, sizeof text, "%.1f", 1.5);
    return std::strcmp(text, "1,5") == 0;
  }

  std::string savedC_;
  std::locale savedCpp_;
  std::string name_;
};

}  // namespace plugkit::testing
