// Random things planted at random names of a data folder (links out of it,
// FIFOs, folders, /dev/zero, endless files), then one writing command: it
// ends (libFuzzer's time-out tells one that hangs), nothing outside the
// folder changes, and no lock is left behind.
//
// Input: the command's number, then pairs of bytes: a name of the folder
// and what is planted there.
#include <cstdint>
#include <filesystem>
#include <string>

#include "fuzz_support.h"
#include "support/plant_commands.h"

using namespace egresso;
using egresso::fuzz::require;

namespace {

const char* const kNames[] = {
    "CFGMAIN.DAF", "CFGANN.DAF",     "LOCATE.DAF",     "LOCATE.DAI",     "MESSAGE.DAF",  "MESSAGE.DAI",
    "MESSARC.DAF", "MESSARC.DAI",    "BULLETIN/0.DA0", "BULLETIN/1.DA0", "BULLETIN/2.DA1", "BULLETIN/3.DA1",
    "BULLETIN/0.DA2", "BULLETIN/ANN.DAN", "TIMER.BOB",  "TIMER.ANN",      "INOUTBOB.DAF", "INOUTCLA.DAF",
    "LOCATELK.LOK", "MEMOLK.LOK",    "EGLOG.LOK",      "EGMEMO.LOK",     "MCFG.LOK",     "BAK.LOK",
    "CFGMAIN.LOK",  "EMPANN",        "PLACE.DAF",      "RETURNTM.DAF",   "1USRDATE.DAF", "CFGMAIN.BAK",
    "TEST",         "BULLETIN",      "MEMO.TXT",       "TIMER.CLA"};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 1) return 0;
  const auto& commands = test::commands();
  const test::PlantCommand& command = commands[data[0] % commands.size()];
  test::TempDir outsideDir;
  test::MakeOutside(outsideDir.path());
  const std::string before = test::LookOutside(outsideDir.path());

  test::FormWorld w;
  test::prepare(w);
  constexpr std::size_t kNameCount = sizeof kNames / sizeof kNames[0];
  constexpr std::size_t kPlantCount = sizeof test::kPlants / sizeof test::kPlants[0];
  for (std::size_t i = 1; i + 1 < size && i < 17; i += 2)
    test::PlantAt(w.dir / kNames[data[i] % kNameCount], test::kPlants[data[i + 1] % kPlantCount], outsideDir.path());

  command.run(w);
  require(test::LookOutside(outsideDir.path()) == before, "something outside the folder changed");
  for (const auto& e : std::filesystem::directory_iterator(w.dir.path()))
    require(e.path().extension() != ".LOK", "a lock was left behind");
  return 0;
}
