// The console logger's polls and journal through the DS2480B driver, byte
// by byte against the adapter model, in virtual time: the same lines and
// the same journal files as the logger on the simulated bus itself.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <sstream>
#include <string>

#include "adapters/adapter_test_support.h"
#include "core/virtual_clock.h"
#include "drivers/driver_choice.h"
#include "logger/options.h"
#include "logger/run_command.h"
#include "onewire/ds2480b/ds2480b_master.h"
#include "onewire/sim/adapters/ds2480b_model.h"
#include "onewire/sim/adapters/model_stream.h"
#include "onewire/sim/sim_bus.h"
#include "onewire/tmex_over_master.h"

namespace orvel {
namespace {

namespace fs = std::filesystem;

// The DS2480B driver with the adapter model and the every-kind bus behind
// it, all on the logger's virtual clock.
class ModelledDs2480b final : public drivers::Driver {
 public:
  explicit ModelledDs2480b(core::Clock& clock) : bus_(clock) {
    testing_support::AddEveryKind(bus_);
  }
  onewire::Tmex& tmex() override { return tmex_; }
  std::uint64_t bytes() const { return master_->bytes_sent() + master_->bytes_received(); }

 private:
  sim::SimBus bus_;
  sim::Ds2480bModel model_{bus_};
  std::shared_ptr<onewire::Ds2480bMaster> master_ = std::make_shared<onewire::Ds2480bMaster>(
      [this](std::string*) { return std::make_unique<sim::ModelStream>(model_); }, "model");
  onewire::TmexOverMaster tmex_{
      [this](std::int16_t, std::int16_t, std::int32_t*) { return master_; },
      onewire::DefaultPort{1, 5}, "test"};
};

std::map<std::string, std::string> Files(const fs::path& dir) {
  std::map<std::string, std::string> files;
  for (const auto& entry : fs::directory_iterator(dir)) {
    std::ifstream in(entry.path(), std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    files[entry.path().filename().string()] = text.str();
  }
  return files;
}

class LoggerOverDs2480b : public testing::Test {
 protected:
  void SetUp() override {
    root_ = fs::temp_directory_path() /
            ("orvel-adapters-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
             "-" + std::to_string(reinterpret_cast<std::uintptr_t>(this)));
    fs::create_directories(root_ / "bus");
    fs::create_directories(root_ / "adapter");
    std::ofstream(root_ / "every.json") << testing_support::kEveryKindBus;
  }
  void TearDown() override { fs::remove_all(root_); }

  logger::Options Polls(const fs::path& journal) {
    logger::Options o;
    o.journal = journal.string();
    o.interval = 30;
    o.cycles = 3;
    o.virtual_time = true;
    return o;
  }

  fs::path root_;
};

TEST_F(LoggerOverDs2480b, SameLinesAndJournalAsTheSimulatedBus) {
  std::ostringstream bus_out, bus_err;
  {
    core::VirtualClock clock;
    logger::Options options = Polls(root_ / "bus");
    options.bus = (root_ / "every.json").string();
    auto driver = drivers::OpenDriver({options.bus, std::nullopt}, clock);
    ASSERT_EQ(logger::RunPolls(*driver, clock, &clock, options, bus_out, bus_err), 0);
  }
  std::ostringstream ad_out, ad_err;
  std::uint64_t bytes = 0;
  {
    core::VirtualClock clock;
    ModelledDs2480b driver(clock);
    ASSERT_EQ(logger::RunPolls(driver, clock, &clock, Polls(root_ / "adapter"), ad_out, ad_err), 0);
    bytes = driver.bytes();
  }
  EXPECT_EQ(ad_out.str(), bus_out.str());
  EXPECT_EQ(ad_err.str(), bus_err.str());
  const auto journal = Files(root_ / "adapter");
  EXPECT_EQ(journal, Files(root_ / "bus"));
  // Every kind of reading reached the journal, three polls each.
  ASSERT_EQ(journal.count("t_220000012A3B4C28.csv"), 1U);
  EXPECT_NE(journal.at("t_220000012A3B4C28.csv").find("23"), std::string::npos);
  EXPECT_EQ(journal.count("h_4D000000A1B2C326.csv"), 1U);
  EXPECT_EQ(journal.count("p_010000001D2E3F19.csv"), 1U);
  EXPECT_GE(journal.size(), 8U);
  EXPECT_GT(bytes, 3000U);  // it really went through the adapter
}

}  // namespace
}  // namespace orvel
