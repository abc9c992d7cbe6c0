#include "cli/viewer_options.h"

namespace orvel::cli {
namespace {

void AddOptions(CommandLine& line, ViewerOptions& options) {
  AddCommonOptions(line, options);
  line.Describe("--journal", "keep a journal in DIR without asking");
  line.Describe("--interval", "journal and poll interval in seconds, without asking");
  line.Flag("--no-journal", options.no_journal, "keep no journal, without asking");
  line.Text("--screenshot-dir", options.screenshot_dir, "DIR", "");
  line.Text("--screenshot-journal", options.screenshot_journal, "DIR", "");
  line.Exclude("--journal", "--no-journal");
  AddClosingOptions(line, options);
}

}  // namespace

ParsedViewerOptions ParseViewerOptions(const std::vector<std::string>& args) {
  ViewerOptions options;
  CommandLine line;
  AddOptions(line, options);
  if (const auto problem = line.Parse(args)) {
    return {std::nullopt, Describe(*problem, Wording::kViewer)};
  }
  if (options.no_journal && options.interval) {
    return {std::nullopt, "--interval is the journal interval: no use with --no-journal"};
  }
  if (std::string error = CheckCommonOptions(options); !error.empty()) return {std::nullopt, error};
  return {options, {}};
}

measure::StartupAnswers StartupAnswersOf(const ViewerOptions& options) {
  measure::StartupAnswers answers;
  if (options.journal) {
    answers.journal = true;
    answers.folder = *options.journal;
  } else if (options.no_journal) {
    answers.journal = false;
  }
  answers.interval = options.interval;
  return answers;
}

std::string ViewerUsage() {
  ViewerOptions options;
  CommandLine line;
  AddOptions(line, options);
  return "usage: orvel-viewer [--bus FILE | --adapter SPEC] [--journal DIR | --no-journal]\n"
         "                    [--interval SECONDS] [--fast [--rescan-every N]]\n"
         "                    [--metrics [ADDR:]PORT] [--http [ADDR:]PORT] [--names FILE]\n"
         "                    [--mqtt URL [--station NAME] [--mqtt-ca FILE]\n"
         "                     [--mqtt-credentials FILE] [--mqtt-queue N]] [--config FILE]\n" +
         line.OptionList();
}

}  // namespace orvel::cli
