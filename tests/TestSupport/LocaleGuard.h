// Sets the process locale for the life of a test scope, then restores it. Tests use it to show
// that stored and compared number text never follows the locale.
#pragma once

#include <gtest/gtest.h>

#include <clocale>
#include <string>

class LocaleGuard {
 public:
  explicit LocaleGuard(const char* name) {
    previous_ = std::setlocale(LC_ALL, nullptr);
    if (!std::setlocale(LC_ALL, name)) ADD_FAILURE() << "locale " << name << " is not installed";
  }
  ~LocaleGuard() { std::setlocale(LC_ALL, previous_.c_str()); }
  LocaleGuard(const LocaleGuard&) = delete;
  LocaleGuard& operator=(const LocaleGuard&) = delete;

 private:
  std::string previous_;
};
