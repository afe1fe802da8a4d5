// A one-line progress bar on standard error for the commands that go through many files:
// "12/200 [=====>    ] name", redrawn in place, and only when standard error is a terminal
// (a redirected stderr gets nothing, so logs and pipes stay clean).
#pragma once

#include <cstddef>
#include <cstdio>
#include <string>
#include <string_view>

namespace kivrel {

// The text of the line, at most `columns` code points wide: the count, a bar of `bar_width`
// cells between brackets ("=" for the part done, then ">" and blanks while unfinished), then the
// name, cut at its start ("…" and its end) when it does not fit.
std::string ProgressLine(std::size_t done, std::size_t total, std::string_view name,
                         std::size_t columns, std::size_t bar_width = 24);

class ProgressBar {
 public:
  // Draws on `stream` when `enabled`; the default is standard error when it is a terminal.
  ProgressBar();
  ProgressBar(std::FILE* stream, bool enabled);
  ~ProgressBar();
  ProgressBar(const ProgressBar&) = delete;
  ProgressBar& operator=(const ProgressBar&) = delete;

  bool enabled() const { return enabled_; }

  // Redraws the line.
  void Update(std::size_t done, std::size_t total, std::string_view name);
  // Erases the line (also done by the destructor), so that what is printed next starts clean.
  void Clear();

 private:
  std::FILE* stream_;
  bool enabled_;
  bool shown_ = false;
};

}  // namespace kivrel
