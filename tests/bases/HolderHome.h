#pragma once
// A user home with every kind of database file, as the holder and the tool find them:
//   Net/ring.net           the joseki ring net (offered)
//   Net/copy/ring.net      the same net again (a duplicate)
//   Net/hidden.net         a net not offered
//   Net/fuseki.net         a whole-board net
//   Net/broken.net         bytes that are no net
//   Vars Base/Vars.*       one variation that continues node 8 of the ring net
//   Sub Base/vars.sbs      a sub base over the variations base
//   Sub Base/other.sbs     a sub base made for another variations base
//   Sub Base/joseki.sns    the joseki sub-net, with its statistic joseki.stc (and a copy)
//   Sub Base/copy.sns      the joseki sub-net again (a duplicate)
//   Sub Base/orphan.sns    a sub-net whose net is missing
//   Sub Base/a-fuseki.sns  a sub-net of the fuseki net with a selection (listed first, so
//                          that the joseki sub-net is the last one over the variations)

#include <filesystem>
#include <string>

#include "bases/FakeSources.h"
#include "bases/HolderFixture.h"
#include "bases/VarsBase.h"
#include "support/ByteFixtures.h"

namespace kessaro::test {

struct THolderHome {
  std::string Home;
  std::uint32_t RingNetIdentity = 0;
  std::uint32_t VarsSubBaseIdentity = 0;
  std::uint32_t JosekiIdentity = 0;
  std::uint32_t FusekiIdentity = 0;
};

inline THolderHome BuildHolderHome(const std::string& name) {
  namespace fs = std::filesystem;
  THolderHome h;
  h.Home = TempPath(name);
  std::error_code ec;
  fs::remove_all(h.Home, ec);
  const std::string home = h.Home + "/";
  for (const char* dir : {"Net/copy", "Vars Base", "Sub Base", "Index", "User Game Base"})
    fs::create_directories(home + dir);

  TNetSpec ring = RingNet();
  ring.Items[8] = GameRef(9, {.GameId = kVarGameIdFirst + 1, .ContIndex = 2});
  h.RingNetIdentity = WriteNet(home + "Net/ring.net", ring);
  fs::copy_file(home + "Net/ring.net", home + "Net/copy/ring.net");
  TNetSpec hidden = RingNet();
  hidden.Flags = 0;
  hidden.Description = "hidden";
  WriteNet(home + "Net/hidden.net", hidden);
  TNetSpec fuseki;
  fuseki.Kind = rkWholeBoard;
  fuseki.Width = fuseki.Height = 19;
  fuseki.Description = "fuseki";
  fuseki.Items = {Node(1, 0, 2, 0, MakeMove(3, 3)), Node(2, 0, 3, 0, MakeMove(15, 3)),
                  Node(3, 0, 0, 0, MakeMove(16, 16))};
  WriteNet(home + "Net/fuseki.net", fuseki);
  WriteFileBytes(home + "Net/broken.net", TBytes(3000, 0xC3));

  {
    TVarsBase vars;
    vars.SetReadOnly(false);
    vars.Open(home + "Vars Base/Vars");
    vars.AppendVariation(TMatrix(361, 0), MakeRegion(rkWholeBoard, 19, 19),
                         {{MakeMove(3, 2), 0},
                          {MakeMove(2, 2, true), 0},
                          {MakeMove(4, 3), 4},
                          {MakeMove(15, 15, true), 0},
                          {MakeMove(5, 4, true), 0}});
  }
  TVarsBase vars;
  vars.Open(home + "Vars Base/Vars");
  {
    TSubBase sub;
    sub.SetReadOnly(false);
    sub.CreateNew(home + "Sub Base/vars.sbs");
    sub.Bind(nullptr, nullptr, &vars);
    sub.SetMenuName("Variations\\Joseki");
    sub.SetOrderKey(2);
    sub.Close();
    TFakeVarsSource otherVars(1, vars.Identity() + 1);
    TSubBase other;
    other.SetReadOnly(false);
    other.CreateNew(home + "Sub Base/other.sbs");
    other.Bind(nullptr, nullptr, &otherVars);
    other.Close();
  }
  TSubBase varsSub;
  varsSub.Open(home + "Sub Base/vars.sbs");
  h.VarsSubBaseIdentity = varsSub.Identity();

  TNetyFile ringNet, fusekiNet;
  ringNet.Open(home + "Net/ring.net");
  fusekiNet.Open(home + "Net/fuseki.net");
  TSubNetSpec joseki;
  joseki.MenuPath = "Joseki\\Corner joseki";
  h.JosekiIdentity = WriteSubNet(home + "Sub Base/joseki.sns", ringNet, varsSub, joseki);
  fs::copy_file(home + "Sub Base/joseki.sns", home + "Sub Base/copy.sns");
  WriteStats(home + "Sub Base/joseki.stc", h.JosekiIdentity,
             {{0, Stat(20)},
              {1, Stat(7)},
              {2, Stat(3)},
              {3, Stat(2, 1)},
              {4, Stat(3)},
              {6, Stat(5)},
              {7, Stat(1)},
              {8, Stat(4)}});
  fs::copy_file(home + "Sub Base/joseki.stc", home + "Net/joseki-copy.stc");
  TSubNetSpec fusekiSpec;
  fusekiSpec.UseSelection = true;
  fusekiSpec.Selected = {1, 3};
  fusekiSpec.MenuPath = "Fuseki\\Whole board";
  h.FusekiIdentity = WriteSubNet(home + "Sub Base/a-fuseki.sns", fusekiNet, varsSub, fusekiSpec);
  TNetSpec gone = RingNet();
  gone.Description = "gone";
  WriteNet(home + "gone.net", gone);
  TNetyFile goneNet;
  goneNet.Open(home + "gone.net");
  WriteSubNet(home + "Sub Base/orphan.sns", goneNet, varsSub, {});
  return h;
}

}  // namespace kessaro::test
