#include "cli/progress.h"

#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>

#include "cli/utf8.h"

namespace kivrel {
namespace {

// The terminal's width, 80 when it cannot be told.
std::size_t TerminalColumns(std::FILE* stream) {
  winsize size{};
  if (::ioctl(::fileno(stream), TIOCGWINSZ, &size) == 0 && size.ws_col > 0) return size.ws_col;
  return 80;
}

}  // namespace

std::string ProgressLine(std::size_t done, std::size_t total, std::string_view name,
                         std::size_t columns, std::size_t bar_width) {
  done = std::min(done, total);
  const std::size_t filled = total == 0 ? bar_width : done * bar_width / total;
  std::string bar(filled, '=');
  if (filled < bar_width) {
    bar += '>';
    bar.append(bar_width - filled - 1, ' ');
  }
  std::string line = std::to_string(done) + "/" + std::to_string(total) + " [" + bar + "]";
  if (line.size() >= columns) return line.substr(0, columns);
  // The end of a long name tells the files apart better than its folders do.
  const std::size_t room = columns - line.size() - 1;
  std::u32string text = DecodeUtf8(name);
  if (text.size() > room) {
    text = room == 0 ? U"" : U"\u2026" + text.substr(text.size() - (room - 1));
  }
  return line + " " + EncodeUtf8(text);
}

ProgressBar::ProgressBar() : ProgressBar(stderr, ::isatty(::fileno(stderr)) != 0) {}

ProgressBar::ProgressBar(std::FILE* stream, bool enabled) : stream_(stream), enabled_(enabled) {}

ProgressBar::~ProgressBar() {
  Clear();
}

void ProgressBar::Update(std::size_t done, std::size_t total, std::string_view name) {
  if (!enabled_) return;
  // One column short of the width: a line that fills the last column wraps on some terminals.
  const std::size_t columns = std::max<std::size_t>(TerminalColumns(stream_), 2) - 1;
  const std::string line = ProgressLine(done, total, name, columns);
  // Carriage return, the line, then erase to the end of the line (what a longer line left).
  std::fprintf(stream_, "\r%s\x1b[K", line.c_str());
  std::fflush(stream_);
  shown_ = true;
}

void ProgressBar::Clear() {
  if (!shown_) return;
  std::fputs("\r\x1b[K", stream_);
  std::fflush(stream_);
  shown_ = false;
}

}  // namespace kivrel
