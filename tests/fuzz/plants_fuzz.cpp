// Random things planted at random names of a data folder (links out of it,
// FIFOs, folders, /dev/zero, endless files), then one writing command: it
// ends (libFuzzer's time-out tells one that hangs), nothing outside the
// folder changes and no lock is left behind. Input: the command's number,
// then pairs of bytes: a name of the folder and the thing planted there.
#include "fuzz_support.h"
#include "support/hostile_plants.h"

using namespace egresso;

namespace {
const char* const kNames[] = {
    "CFGMAIN.DAF",  "CFGANN.DAF",     "LOCATE.DAF",     "LOCATE.DAI",     "MESSAGE.DAF",      "MESSAGE.DAI",
    "MESSARC.DAF",  "MESSARC.DAI",    "BULLETIN/0.DA0", "BULLETIN/1.DA0", "BULLETIN/2.DA1",   "BULLETIN/0.DA2",
    "TIMER.BOB",    "TIMER.ANN",      "INOUTBOB.DAF",   "INOUTCLA.DAF",   "LOCATELK.LOK",     "MEMOLK.LOK",
    "EGLOG.LOK",    "EGMEMO.LOK",     "MCFG.LOK",       "BAK.LOK",        "CFGMAIN.LOK",      "EMPANN",
    "PLACE.DAF",    "RETURNTM.DAF",   "1USRDATE.DAF",   "CFGMAIN.BAK",    "BULLETIN/ANN.DAN"};
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 1) return 0;
  test::TempDir outside;
  test::MakeOutside(outside.path());
  const std::string before = test::LookOutside(outside.path());
  test::FormWorld w;
  test::prepare(w);
  std::set<std::string> planted;  // a plant at a lock the command does not take stays
  for (std::size_t i = 1; i + 1 < size && i < 17; i += 2) {
    planted.insert(kNames[data[i] % std::size(kNames)]);
    test::PlantAt(w.dir / kNames[data[i] % std::size(kNames)], data[i + 1] % std::size(test::kPlants), outside.path());
  }
  test::kPlantCommands[data[0] % test::kPlantCommands.size()].second(w);
  fuzz::require(test::LookOutside(outside.path()) == before, "something outside the folder changed");
  for (const auto& e : std::filesystem::directory_iterator(w.dir.path()))
    fuzz::require(e.path().extension() != ".LOK" || planted.count(e.path().filename()), "a lock was left behind");
  return 0;
}
