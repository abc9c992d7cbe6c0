#pragma once

#include <optional>
#include <string>
#include <vector>

#include "cli/common_options.h"
#include "measure/startup_dialogue.h"

namespace orvel::cli {

// The viewer's command line (and configuration file): the common options
// answer the journal questions up front; --no-journal answers no.
struct ViewerOptions : CommonOptions {
  bool no_journal = false;
  std::optional<std::string> screenshot_dir;      // not in --help: the screenshot script's way in
  std::optional<std::string> screenshot_journal;  // the journal its history picture shows
};

struct ParsedViewerOptions {
  std::optional<ViewerOptions> options;
  std::string error;  // one line when options is empty
};

ParsedViewerOptions ParseViewerOptions(const std::vector<std::string>& args);

std::string ViewerUsage();

// The start-up questions the options answer: --journal DIR or --no-journal,
// and --interval; the others are asked.
measure::StartupAnswers StartupAnswersOf(const ViewerOptions& options);

}  // namespace orvel::cli
