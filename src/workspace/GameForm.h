#pragma once
// The game window: a board window over one game or a free test position. In an editable game
// window a click on an empty point plays a new move, a new variation of the tree; on a test
// board such moves are test moves, dropped when the user steps into another child of the same
// parent.
#include <string>

#include "workspace/BoardForm.h"

namespace kessaro {

class TGameForm : public TBoardForm {
 public:
  using TBoardForm::TBoardForm;

  // The root becomes a game root (with an empty game record when it has none), the window
  // installs its own edit click and pruning, and is an editable test board until its creator
  // says otherwise.
  void Initialize() override;
  // The line from the root to the current node as SGF with the game information and comments.
  bool SaveToFile(const std::string& fileName) override;

  // Reads the first game of an SGF file into the root (before Initialize); false when the file
  // holds no readable game.
  bool LoadFile(const std::string& fileName);
  // The same from SGF text in memory.
  bool LoadText(const std::string& sgf);

  void GameEditClick(TBoardPoint point);
  void PruneTestMoves(TSequence* node);

  bool TestBoard = false;

 private:
  bool TakeFirstGame();
};

}  // namespace kessaro
