// The folder-wide commands: `survey` (one row per image file) and `thumbs` (one PNG per image
// file, or a contact sheet). Each file runs through a fresh dialog as `info` runs it, one file
// per worker on `jobs` threads; output keeps the files' order, a progress bar shows on
// standard error when it is a terminal, and a file that fails gets its row (survey) or its
// crossed cell and a line on standard error (thumbs) while the run goes on.
//
// Outputs are never written over a file the run reads. Exit statuses: 0 every file was read
// (and its thumbnail written); 2 some file failed; 1 the table or the sheet could not be
// written; 64 a bad command line (a setting naming no table, a keyword that cannot be one).
#pragma once

#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

#include "cli/one_file.h"

namespace kivrel::cli {

enum class SurveyFormat { kTable, kCsv, kJsonLines };

struct SurveyRequest {
  std::vector<std::string> paths;
  bool recursive = false;
  std::vector<std::string> keys;  // header keywords, as given
  SurveyFormat format = SurveyFormat::kTable;
  int jobs = 0;                   // 0: one per core
  DialogSetup setup;
};

struct ThumbsRequest {
  std::vector<std::string> paths;
  bool recursive = false;
  std::string output_dir;  // one PNG per image; "" for none
  std::string sheet;       // the contact sheet's file; "" for none
  int32_t size = 256;      // pixels: thumbnails fit size x size
  int32_t columns = 6;     // of the sheet
  int jobs = 0;
  DialogSetup setup;
};

// Keywords as the header has them: upper case, 1 to 8 of A-Z, 0-9, "-", "_". Throws UsageError
// for any other.
std::vector<std::string> HeaderKeywords(const std::vector<std::string>& given);

int RunSurvey(const SurveyRequest& request, std::ostream& out, std::ostream& err);
int RunThumbs(const ThumbsRequest& request, std::ostream& err);

}  // namespace kivrel::cli
