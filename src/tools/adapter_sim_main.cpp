// orvel-adapter-sim: serves a simulated bus behind a model of a serial
// 1-Wire adapter on a pseudo-terminal, so that the real serial drivers can
// be run against it:  orvel-logger --adapter ds2480b:$(path printed here)
#include <signal.h>
#include <unistd.h>

#include <cstring>
#include <iostream>
#include <memory>
#include <string>

#include "core/real_clock.h"
#include "onewire/sim/adapters/ds2480b_model.h"
#include "onewire/sim/adapters/pty_server.h"
#include "onewire/sim/bus_file.h"
#include "onewire/sim/json_reader.h"
#include "onewire/sim/sim_bus.h"

namespace {

volatile sig_atomic_t g_stop = 0;

void OnSignal(int) { g_stop = 1; }

const char* kUsage =
    "usage: orvel-adapter-sim [--adapter ds2480b] [--link PATH] BUSFILE\n"
    "Serves BUSFILE behind a DS2480B model on a pseudo-terminal, prints its\n"
    "path and runs until interrupted. --link also makes PATH a symbolic link\n"
    "to it.\n";

}  // namespace

int main(int argc, char** argv) {
  using namespace orvel;
  std::string adapter = "ds2480b";
  std::string link;
  std::string bus_file;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if ((arg == "--adapter" || arg == "--link") && i + 1 < argc) {
      (arg == "--adapter" ? adapter : link) = argv[++i];
    } else if (arg == "--help") {
      std::cout << kUsage;
      return 0;
    } else if (!arg.empty() && arg[0] != '-' && bus_file.empty()) {
      bus_file = arg;
    } else {
      std::cerr << kUsage;
      return 2;
    }
  }
  if (bus_file.empty() || adapter != "ds2480b") {
    std::cerr << kUsage;
    return 2;
  }

  core::RealClock clock;
  sim::SimBus bus(clock);
  try {
    auto spec = sim::LoadBusFile(bus_file);
    for (auto& d : spec.devices) bus.Add(std::move(d));
  } catch (const sim::BusFileError& e) {
    std::cerr << "orvel-adapter-sim: " << e.what() << "\n";
    return 2;
  }
  sim::Ds2480bModel model(bus);
  std::string error;
  auto server = sim::PtyServer::Create(model, &error);
  if (!server) {
    std::cerr << "orvel-adapter-sim: " << error << "\n";
    return 1;
  }
  if (!link.empty()) {
    ::unlink(link.c_str());
    if (::symlink(server->path().c_str(), link.c_str()) != 0) {
      std::cerr << "orvel-adapter-sim: " << link << ": " << std::strerror(errno) << "\n";
      return 1;
    }
  }
  std::cout << server->path() << std::endl;

  struct sigaction action {};
  action.sa_handler = OnSignal;
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGTERM, &action, nullptr);
  while (g_stop == 0) {
    if (!server->ServeOnce(100)) break;
  }
  if (!link.empty()) ::unlink(link.c_str());
  return 0;
}
