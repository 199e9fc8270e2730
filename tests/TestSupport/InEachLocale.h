// A test fixture whose tests run once in the C locale and once in de_DE.UTF-8, where printf and
// strtod use decimal commas: stored and compared number text must come out the same in both.
#pragma once

#include <gtest/gtest.h>

#include <cctype>
#include <optional>
#include <string>

#include "TestSupport/LocaleGuard.h"

class InEachLocale : public ::testing::TestWithParam<const char*> {
 protected:
  void SetUp() override { locale_.emplace(GetParam()); }
  void TearDown() override { locale_.reset(); }

 private:
  std::optional<LocaleGuard> locale_;
};

inline auto eachLocale() { return ::testing::Values("C", "de_DE.UTF-8"); }

inline std::string localeName(const ::testing::TestParamInfo<const char*>& info) {
  std::string name = info.param;
  for (char& c : name)
    if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
  return name;
}

// Instantiates a fixture derived from InEachLocale for both locales.
#define INSTANTIATE_IN_EACH_LOCALE(Fixture) \
  INSTANTIATE_TEST_SUITE_P(Locale, Fixture, eachLocale(), localeName)
