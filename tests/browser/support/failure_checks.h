// A reader's failure compared by its form and its detail, with readable test output.
#pragma once

#include <gtest/gtest.h>

#include <ostream>
#include <string>

#include "browser/readers/read_result.h"

namespace kivrel {

inline const char* FormName(ReadFailure::Form form) {
  switch (form) {
    case ReadFailure::Form::kText:
      return "kText";
    case ReadFailure::Form::kKeyword:
      return "kKeyword";
    case ReadFailure::Form::kKeywordMissing:
      return "kKeywordMissing";
    case ReadFailure::Form::kKeywordQuestioned:
      return "kKeywordQuestioned";
    case ReadFailure::Form::kTooLarge:
      return "kTooLarge";
    case ReadFailure::Form::kOutOfMemory:
      return "kOutOfMemory";
  }
  return "?";
}

inline void PrintTo(ReadFailure::Form form, std::ostream* os) {
  *os << FormName(form);
}

inline void PrintTo(const ReadFailure& failure, std::ostream* os) {
  *os << "{" << FormName(failure.form) << ", \"" << failure.detail << "\"}";
}

namespace test {

// The failure has exactly this form and detail.
inline ::testing::AssertionResult FailureIs(const ReadFailure& failure, ReadFailure::Form form,
                                            const std::string& detail) {
  if (failure.form == form && failure.detail == detail) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure()
         << "failure is " << ::testing::PrintToString(failure) << ", expected {" << FormName(form)
         << ", \"" << detail << "\"}";
}

// No reason: the plain form with an empty detail.
inline ::testing::AssertionResult NoFailure(const ReadFailure& failure) {
  return FailureIs(failure, ReadFailure::Form::kText, "");
}

}  // namespace test
}  // namespace kivrel
