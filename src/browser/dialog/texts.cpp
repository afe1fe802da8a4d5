#include "browser/dialog/texts.h"

namespace kivrel {

std::string FailureText(const ReadFailure& failure, const MessageTexts& texts) {
  const std::string quoted = " \"" + failure.detail + "\"";
  switch (failure.form) {
    case ReadFailure::Form::kKeyword:
      return texts.keyword + quoted;
    case ReadFailure::Form::kKeywordMissing:
      return texts.keyword + quoted + " " + texts.missing;
    case ReadFailure::Form::kKeywordQuestioned:
      return texts.keyword + quoted + " ?";
    case ReadFailure::Form::kTooLarge:
      return failure.detail.empty() ? texts.too_large : texts.too_large + " (" + failure.detail + ")";
    case ReadFailure::Form::kOutOfMemory:
      return texts.out_of_memory;
    case ReadFailure::Form::kText:
      break;
  }
  return failure.detail;
}

}  // namespace kivrel
