#include "onewire/bus_scanner.h"

#include <algorithm>
#include <array>
#include <string>
#include <utility>

namespace orvel::onewire {
namespace {

constexpr const char* kNoDefaultPortNotice =
    "Порт 1-wire \"по умолчанию\" не найден. Произведите настройку вручную.";
constexpr const char* kStatusNoPort = "Не выбран порт для подключения!!!";
constexpr const char* kStatusDriverError = "Ошибка настройки драйвера порта!!!";
constexpr const char* kStatusCheckAdapter = " Проверьте подключение адаптера 1Wire!!!";
constexpr const char* kStatusAdapterFound = "Адаптер найден";

// Search passes after the first that a code with a bad CRC gets.
constexpr int kSearchRetries = 3;
constexpr std::size_t kMaxReportedBad = 256;
// Far more devices than a 1-Wire line can carry.
constexpr int kMaxSearchSteps = 10 * kSlotCount;

std::string BadCodeNotice(const RomCode& rom) {
  return "Устройство с неверной контрольной суммой ROM-кода пропущено: " + RomText(rom);
}

std::string LeftOutNotice(int found, int leftOut) {
  return "Найдено устройств: " + std::to_string(found) + ", в таблицу вошли первые " +
         std::to_string(kSlotCount) + "; не показано устройств: " + std::to_string(leftOut) + ".";
}

RomCode CodeOf(const std::array<std::int16_t, 9>& rom) {
  RomCode code{};
  for (std::size_t i = 0; i < code.size(); ++i) code[i] = static_cast<std::uint8_t>(rom[i]);
  return code;
}

// Item index + 1 is the port type handed to the driver.
constexpr std::array<const char*, 6> kAdapterTypes{"DS9097E",  "Parallel", "--------",
                                                   "--------", "DS90907U", "USB"};
constexpr int kPortCount = 12;
// Where the scan points the settings tab when the driver has no default port.
constexpr std::int16_t kFallbackPortNum = 1;
constexpr std::int16_t kFallbackPortType = 6;

}  // namespace

BusScanner::BusScanner(BusSession& bus, DeviceCatalog& catalog, ScanControls controls,
                       core::Dialogs& dialogs, core::MessagePump& pump, core::Clock& clock,
                       const core::StartupSettings& settings, core::DateTime& lastTimeConvert)
    : bus_(bus),
      catalog_(catalog),
      controls_(controls),
      dialogs_(dialogs),
      pump_(pump),
      clock_(clock),
      settings_(settings),
      lastTimeConvert_(lastTimeConvert) {}

void BusScanner::SetRefreshMeasurements(std::function<void(bool rebuild)> refresh) {
  refresh_ = std::move(refresh);
}

void BusScanner::FillPortAndAdapterLists() {
  controls_.cbbPort.Clear();
  controls_.cbAdapter.Clear();
  for (const char* type : kAdapterTypes) controls_.cbAdapter.Append(type);
  for (int port = 1; port <= kPortCount; ++port) controls_.cbbPort.Append(std::to_string(port));
  controls_.cbbPort.Select(-1);
  controls_.cbAdapter.Select(-1);
}

void BusScanner::cbbPortChange() {
  defaultPort = static_cast<std::int16_t>(controls_.cbbPort.Selected() + 1);
}

void BusScanner::cbAdapterChange() {
  defaultAdapter = static_cast<std::int16_t>(controls_.cbAdapter.Selected() + 1);
}

std::int16_t BusScanner::ScanBus() {
  flgRedravAll = false;
  flgBusSilent = false;
  std::int16_t result = 1;
  // Nothing raised inside the scan may escape it: a failure shows in stat1
  // and the result, and the poll retries on its next tick.
  try {
    if (ChoosePort() == PortChoice::kNone) {
      result = 0;
      controls_.stat1.SetText(kStatusNoPort);
      OldFoundDev = 0;
      FoundDev = 0;
      flgRedravAll = true;
      if (refresh_) refresh_(true);
      return result;
    }
    OpenAndEnumerate(result);
  } catch (...) {
  }
  return result;
}

BusScanner::PortChoice BusScanner::ChoosePort() {
  if (!portConfigDefault) {
    PortNum = defaultPort;
    PortType = defaultAdapter;
    return PortChoice::kFound;
  }
  if (bus_.tmex.TMReadDefaultPort(&PortNum, &PortType) >= 1) return PortChoice::kFound;

  // Asked once: from now on the settings tab chooses the port.
  portConfigDefault = false;
  dialogs_.ShowNotice(kNoDefaultPortNotice);
  PortNum = kFallbackPortNum;
  PortType = kFallbackPortType;
  controls_.cbbPort.Select(PortNum - 1);
  controls_.cbAdapter.Select(PortType - 1);
  // The lists now show a choice; take it as the user's, so the next scan
  // uses the port the settings tab shows.
  cbbPortChange();
  cbAdapterChange();
  return PortChoice::kNone;
}

void BusScanner::EndOpenSession() {
  if (bus_.SHandle > 0) bus_.tmex.TMEndSession(bus_.SHandle);
  bus_.SHandle = 0;
}

void BusScanner::Fail(const char* status, bool redraw) {
  controls_.stat1.SetText(status);
  OldFoundDev = 0;
  FoundDev = 0;
  if (redraw) flgRedravAll = true;
}

void BusScanner::OpenAndEnumerate(std::int16_t& result) {
  Tmex& tmex = bus_.tmex;
  std::array<char, kVersionBufSize> version{};
  std::array<char, kVersionBufSize> type_version{};
  tmex.Get_Version(version.data());
  tmex.TMGetTypeVersion(PortType, type_version.data());

  // One session at a time: the one the last cycle used ends here.
  EndOpenSession();
  bus_.SHandle = tmex.TMExtendedStartSession(PortNum, PortType, nullptr);
  if (bus_.SHandle < 0) {
    result = 0;
    Fail(kStatusDriverError, false);
    return;
  }
  // A session start that gives no handle leaves nothing to scan: it fails
  // as an adapter that does not answer.
  const std::int16_t setup = bus_.SHandle > 0 ? tmex.TMSetup(bus_.SHandle) : 0;
  if (setup != 1 && setup != 2) {
    EndOpenSession();
    result = 0;
    Fail(kStatusCheckAdapter, true);
    return;
  }
  controls_.stat1.SetText(kStatusAdapterFound);

  const Pass first = Search(true);
  if (first.end) {
    // The slots stay as they were, but this poll is a new cycle all the
    // same: without a refill their journal gates must open again, or a
    // reading taken now would find its gate still shut from the last cycle.
    ReopenJournalGates();
    flgBusSilent = true;
    return;
  }
  Tally tally;
  Keep(first, tally);
  // The table has kSlotCount slots: a longer bus gives its first devices in
  // search order, and the rest are only counted.
  if (first.romRead > 0) {
    // Bounded all the same: a driver or a line that never ends its search
    // must not hold the poll for ever.
    for (int passes = 1; passes < kMaxSearchSteps; ++passes) {
      pump_.ProcessMessages();
      const Pass next = Search(false);
      if (next.end) break;
      Keep(next, tally);
    }
  }
  FinishEnumeration(tally);
}

void BusScanner::ReopenJournalGates() {
  for (int i = 0; i < FoundDev && i < kSlotCount; ++i) {
    catalog_.Asens[static_cast<std::size_t>(i)].lastWrLogDateTime = 0.0;
  }
}

BusScanner::Pass BusScanner::Search(bool first) {
  Tmex& tmex = bus_.tmex;
  auto* state = bus_.StateBuf.data();
  // TMFirst starts over by itself; TMNext goes on from the state, which a
  // damaged pass has already moved.
  if (!first) savedState_ = bus_.StateBuf;
  Pass pass;
  for (int attempt = 0;; ++attempt) {
    const std::int16_t r =
        first ? tmex.TMFirst(bus_.SHandle, state) : tmex.TMNext(bus_.SHandle, state);
    if (first ? r != 1 : r <= 0) return Pass{true, false, 0};
    bus_.ROM[0] = 0;
    pass.romRead = tmex.TMRom(bus_.SHandle, state, bus_.ROM.data());
    pass.crcGood = RomCrcValid(CodeOf(bus_.ROM));
    if (pass.crcGood || attempt == kSearchRetries) return pass;
    if (!first) bus_.StateBuf = savedState_;
  }
}

void BusScanner::Keep(const Pass& pass, Tally& tally) {
  if (!pass.crcGood) {
    // A code that stays damaged is no device of this bus: skipped, and the
    // search goes on past it.
    const RomCode code = CodeOf(bus_.ROM);
    if (reportedBad_.size() >= kMaxReportedBad) reportedBad_.clear();
    if (reportedBad_.insert(code).second) dialogs_.ShowNotice(BadCodeNotice(code));
    return;
  }
  // A pass misled by noise can end on a device found already: it is one
  // device, not two.
  const RomCode code = CodeOf(bus_.ROM);
  const auto begin = catalog_.Asens.begin();
  if (std::any_of(begin, begin + tally.registered,
                  [&code](const CurrentSens& sens) { return sens.Rom() == code; })) {
    return;
  }
  if (tally.registered < kSlotCount) {
    catalog_.RegisterDevice(bus_.ROM.data(), tally.registered);
    ++tally.registered;
  } else {
    ++tally.leftOut;
  }
}

void BusScanner::FinishEnumeration(const Tally& tally) {
  const std::int16_t count = tally.registered;
  FoundDev = count;
  if (tally.leftOut != leftOutReported_ && tally.leftOut > 0) {
    dialogs_.ShowNotice(LeftOutNotice(count + tally.leftOut, tally.leftOut));
  }
  leftOutReported_ = tally.leftOut;
  if (count != OldFoundDev) {
    // The lists are rebuilt; the deadline the poll set stays.
    OldFoundDev = count;
    flgRedravAll = true;
  } else {
    flgRedravAll = false;
    lastTimeConvert_ = core::AddSeconds(clock_.Now(), settings_.LogInterval);
  }
}

}  // namespace orvel::onewire
