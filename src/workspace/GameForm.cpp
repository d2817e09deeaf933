#include "workspace/GameForm.h"

#include <utility>

#include "records/BoardFormFunc.h"
#include "records/LoadSequence.h"
#include "records/SaveSequence.h"

namespace kessaro {

void TGameForm::Initialize() {
  TSequence& root = Root();
  if (root.Data == nullptr) {
    root.Data = new TGameRootData();
  } else if (root.Kind != skGameRoot && KindOwnsData(root.Kind)) {
    // Another kind's data cannot serve as a game record.
    delete root.Data;
    root.Data = new TGameRootData();
  }
  root.Kind = skGameRoot;
  OnEditClick = [this](TBoardForm&, TBoardPoint point) { GameEditClick(point); };
  OnBeforeStep = [this](TBoardForm&, TSequence* node) { PruneTestMoves(node); };
  TestBoard = true;
  Editable = true;
  TBoardForm::Initialize();
}

bool TGameForm::LoadFile(const std::string& fileName) {
  const bool read = LoadGamesFromFile(&Root(), fileName, 0);
  if (!TakeFirstGame() || !read) return false;
  SetFileName(fileName);
  return true;
}

bool TGameForm::LoadText(const std::string& sgf) {
  const bool read = LoadGamesFromBytes(&Root(), reinterpret_cast<const std::uint8_t*>(sgf.data()),
                                       sgf.size(), 0, {});
  return TakeFirstGame() && read;
}

bool TGameForm::TakeFirstGame() {
  TSequence& root = Root();
  // One game per window: further games of the file are dropped.
  if (TSequence* rest = std::exchange(root.NextSibling, nullptr)) ReleaseTree(rest);
  if (root.Data == nullptr) return false;
  if (const TGame* game = root.Data->Game(); game != nullptr && game->BoardSize >= 2)
    Board().SetBoardSize(game->BoardSize);
  return true;
}

bool TGameForm::SaveToFile(const std::string& fileName) {
  if (!SaveSequenceToFile(Current(), fileName, SgfFormatFor(fileName, 0),
                          WriteGameInfo | WriteComments))
    return false;
  SetFileName(fileName);
  return true;
}

void TGameForm::GameEditClick(TBoardPoint point) {
  TSequence* current = Current();
  if (current == nullptr || !Editable) return;
  point &= kPointMask;
  if (point == kPassPoint) return;  // a space where no tenuki is allowed adds no pass
  // The colour to play, which a tenuki turns over.
  const bool black = BlackToPlay(current);
  if (!CanPlay(point, black)) return;
  TSequence* last = current->FirstChild;
  while (last != nullptr && last->NextSibling != nullptr) last = last->NextSibling;
  TNodeData* data = Root().Data;
  TSequence* node = last != nullptr ? AddNodeAfter(last, point, std::string(), skPathNode, data, {})
                                    : AddNode(current, point, std::string(), skPathNode, data, {});
  if (TestBoard) node->Flags |= sfTestMove;
  if (black) node->Flags |= sfBlack;
  if (PlayMove(point) >= 0) {
    Refresh();
    return;
  }
  // The board refused the move after all: no orphan stays in the tree.
  ForgetNode(node);
  ReleaseChild(node);
}

void TGameForm::PruneTestMoves(TSequence* node) {
  if (node == nullptr || node->ParentNode == nullptr) return;
  for (TSequence* c = node->ParentNode->FirstChild; c != nullptr;) {
    TSequence* next = c->NextSibling;
    if (c != node && (c->Flags & sfTestMove)) {
      ForgetNode(c);
      ReleaseChild(c);
    }
    c = next;
  }
}

}  // namespace kessaro
