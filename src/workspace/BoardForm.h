#pragma once
// The board window's logic: one Go board (the board control) walking one move tree. It keeps
// the control's point values in step with the current node (the stones of the moves from the
// root, the last-move mark, captured stones and the node's modifiers: set-up stones, candidate
// letters and marks), navigates, handles clicks, keys and the wheel, runs the auto show and
// fills the status panels. It talks to the screen only through TBoardFormHost, so it runs
// hidden (with the null canvas and TNullBoardFormHost) for the joseki import, printing and the
// tool. The net and game windows derive from it.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <unordered_map>
#include <unordered_set>

#include "display/Board.h"
#include "records/BoardFormTypes.h"

namespace kessaro {

// The interface texts a board window shows, named like their interface string identifiers.
enum class TBoardText : std::uint8_t {
  outDead,
  outB,
  outW,
  outSpaceTenuki,
  outEndOfVar,
  outNoTenuki,
  actInvert,
  actRotate,
  actSymmetry,
  act90Degrees,
  act180Degrees,
  act270Degrees,
  actHorizontal,
  actVertical,
  actDiagonal1,
  actDiagonal7,
};
// The built-in (English) text of each.
std::string DefaultBoardText(TBoardText id);
// The text of each in the interface language in force; an action caption that no window has
// registered yet is the built-in text.
std::string InterfaceBoardText(TBoardText id);
using TBoardTextSource = std::function<std::string(TBoardText)>;

// Status bar panels, left to right.
enum TStatusPanel : std::uint8_t {
  spCord,      // "x : y" of the pointer
  spAlfaCord,  // "A1" of the pointer
  spNumber,    // move number
  spCaptured,  // "Dead B:n, W:n"
  spPass,      // tenuki state
  spRest,
  kStatusPanelCount,
};
// Widths of the panels; the last takes the rest.
constexpr int kStatusPanelWidths[kStatusPanelCount - 1] = {45, 30, 35, 110, 100};
constexpr int kStatusBarHeight = 19;

// Context menu items.
enum TBoardMenuItem : std::uint8_t {
  miInverted,
  miRotate,
  mi90Degrees,
  mi180Degrees,
  mi270Degrees,
  miSymmetry,
  miHorizontal,
  miVertical,
  miDiagonal1,
  miDiagonal7,
  kBoardMenuItemCount,
};
// The symmetry code each item applies (0 for the others), and the caption identifier.
int MenuItemSymmetry(TBoardMenuItem item);
TBoardText MenuItemText(TBoardMenuItem item);

struct TClientSize {
  int Width = 0;
  int Height = 0;
  friend bool operator==(const TClientSize&, const TClientSize&) = default;
};

// Virtual key codes the window navigates with.
enum TNavigationKey : int {
  vkPageUp = 33,
  vkPageDown = 34,
  vkEnd = 35,
  vkHome = 36,
  vkLeft = 37,
  vkUp = 38,
  vkRight = 39,
  vkDown = 40,
};

// What the board window needs of its view.
class TBoardFormHost {
 public:
  virtual ~TBoardFormHost() = default;
  virtual void SetCaption(const std::string& caption) = 0;
  virtual void SetPanelText(TStatusPanel panel, const std::string& text) = 0;
  // The board's front image changed: show it again.
  virtual void Repaint() = 0;
  // Calls `tick` every `intervalMs` on the UI thread until the returned timer is destroyed.
  virtual std::unique_ptr<TTimer> StartTimer(unsigned intervalMs, std::function<void()> tick) = 0;
  // The client area: the board and the status bar.
  virtual TClientSize ClientSize() const = 0;
  virtual void SetClientSize(TClientSize size) = 0;
  virtual void RequestClose() = 0;
  virtual void SetMenuItemState(TBoardMenuItem item, bool enabled, bool checked) = 0;
  // The stone click of the board appearance.
  virtual void PlayClick() = 0;
};

// The host of a window that is never shown: it keeps the client size and ignores the rest.
class TNullBoardFormHost : public TBoardFormHost {
 public:
  void SetCaption(const std::string&) override {}
  void SetPanelText(TStatusPanel, const std::string&) override {}
  void Repaint() override {}
  std::unique_ptr<TTimer> StartTimer(unsigned, std::function<void()>) override { return nullptr; }
  TClientSize ClientSize() const override { return size_; }
  void SetClientSize(TClientSize size) override { size_ = size; }
  void RequestClose() override {}
  void SetMenuItemState(TBoardMenuItem, bool, bool) override {}
  void PlayClick() override {}

 private:
  TClientSize size_{400, 400 + kStatusBarHeight};
};

// The colour of a node's move and the colour to play after it.
inline bool NodeIsBlack(const TSequence* node) {
  return (node->Flags & sfBlack) != 0;
}
inline bool BlackToPlay(const TSequence* node) {
  return NodeIsBlack(node) == ((node->Flags & sfAlternate) != 0);
}

// "A" + column, skipping "I", then the row: "A1", "J19".
std::string AlphaCoordinate(int column, int row);

class TBoardForm {
 public:
  using TNodeHook = std::function<void(TBoardForm& sender, TSequence* node)>;
  using TPointHook = std::function<void(TBoardForm& sender, TBoardPoint point)>;
  // Sets handled when it took care of the click.
  using TUnknownClickHook =
      std::function<void(TBoardForm& sender, TBoardPoint point, bool& handled)>;
  using TNotifyHook = std::function<void(TBoardForm& sender)>;

  // The host must outlive the window; graphics too (the board's images come from it).
  TBoardForm(TBoardFormHost& host, TGraphics& graphics);
  virtual ~TBoardForm();
  TBoardForm(const TBoardForm&) = delete;
  TBoardForm& operator=(const TBoardForm&) = delete;

  // Navigation; each ends with UpdateStatus.
  void Forward(int count);
  void Back(int count);
  void NextNode();
  void PriorNode();
  // 1 the child at point became current, 0 tenuki toggled (or the move was made but its
  // modifiers were refused), -1 failed.
  int PlayMove(TBoardPoint point);
  void KeyNavigate(int key);
  void KeyLetter(char key);
  void BoardClick(TBoardPoint point);
  void WheelScroll(int delta);

  // Display.
  void ApplySymmetryCode(int code);
  void InvertColours();
  void SetSymmetricLetters(bool on);
  void SetInversionAllowed(bool on);
  void ShowMoveNumber(int n);
  void Refresh();
  void FitWindow();
  void SizeBoard(int pointSize, int margin);
  // The size the window takes for a requested client size: whole points plus the status bar.
  TClientSize CanResize(TClientSize requested) const;
  // The view reports the client area's new size; the board gets the part above the status bar.
  void ClientResized(TClientSize size);
  // Pointer over a point: (x, y) from the top-left visible point.
  void ShowCoordinates(int x, int y);
  void MenuClick(TBoardMenuItem item);
  void Activate();
  void SetCaption(const std::string& caption);

  // Editing and state.
  void LeaveWindow();
  void CommitNode();
  void SetAutoShow(bool on);
  void SetAutoShowInterval(unsigned ms);
  bool AutoShowActive() const { return autoShowTimer_ != nullptr; }
  unsigned AutoShowInterval() const { return autoShowInterval_; }
  // One tick of the auto show timer (the timer calls it; tests call it directly).
  void AutoShowTick();
  void UpdateStatus();
  bool ShowModifiers(bool show, bool all);

  // Virtual operations.
  virtual void ShadowChanged() {}
  virtual void Initialize();
  virtual void ClearModifiers();
  virtual bool SaveToFile(const std::string&) { return false; }
  virtual void EnterNode(TSequence*) {}
  virtual void SaveNode(TSequence*) {}

  TBoard& Board() { return board_; }
  TSequence& Root() { return root_; }
  TSequence* Current() const { return current_; }
  int MoveNumber() const { return moveNumber_; }
  int LastError() const { return lastError_; }
  bool Inverted() const { return inverted_; }
  bool InversionAllowed() const { return inversionAllowed_; }
  bool SymmetricLetters() const { return symmetricLetters_; }
  bool TenukiAllowed() const { return tenukiAllowed_; }
  int AutoShowPhase() const { return autoShowPhase_; }
  const std::string& Caption() const { return caption_; }
  const std::string& FileName() const { return fileName_; }

  int ExtraWidth = 0;
  int ExtraHeight = kStatusBarHeight;
  bool CommentsEditable = false;
  bool Editable = false;
  std::uint8_t EditMode = 0;
  bool AutoShowPaused = false;
  bool Locked = false;
  bool ShadowAllowed = false;
  std::uint32_t LastMoveMark = 68;

  TNotifyHook OnActivateHook;
  TPointHook OnEditClick;
  TNodeHook OnNodeChanged;
  TNodeHook OnCommentChanged;
  TNodeHook OnBeforeStep;
  TUnknownClickHook OnUnknownClick;
  // The interface texts: those of the interface language in force unless a test gives others.
  TBoardTextSource Texts = InterfaceBoardText;

 protected:
  TBoardFormHost& Host() { return host_; }
  // Whether the auto show may free nodes it has shown (net windows grow their tree lazily
  // again); game and test boards hold the user's variations and never lose them.
  virtual bool AutoShowMayRelease() const { return false; }
  std::string Text(TBoardText id) const { return Texts ? Texts(id) : InterfaceBoardText(id); }
  void SetFileName(const std::string& name) { fileName_ = name; }
  // The board value of a stone of that colour (exchanged while inverted).
  std::uint32_t BoardColour(bool black) const;
  // Whether a stone of that colour could be played at point after the current node; when not,
  // LastError holds the board's reason.
  bool CanPlay(TBoardPoint point, bool black);
  // Called before a node is freed by a derived window.
  void ForgetNode(const TSequence* node);

 private:
  enum TModifierPart : std::uint8_t { mpLabels = 1, mpStones = 2, mpAll = 3 };
  bool ShowParts(TSequence* node, bool show, int parts);
  bool PlaceStone(bool place);
  // Toggles the last-move mark of the current node (none while it shows one tenuki).
  void ToggleMark() { PlaceStone(false); }
  void PrepareLastMove(const TSequence* node);
  bool StepInto(TSequence* child);
  void StepBackOnce();
  void ForwardSteps(int count, bool toBranch);
  void BackSteps(int count, bool toBranch);
  void TenukiToggle(int parts);
  void ChangeTenuki(int newState, int parts);
  static void SetTenukiState(TSequence* node, int state);
  TSequence* FindChild(TSequence* node, TBoardPoint point, bool black) const;
  TSequence* ChooseForwardChild(TSequence* node) const;
  void UpdatePassPanel();
  void RefreshAfterKey(int oldNumber);
  std::uint32_t ShownValue(std::uint32_t value) const;
  bool AutoShowFinished(const TSequence* node) const;
  void AutoShowNextLine();
  void ReleaseForAutoShow(TSequence* node);

  TBoardFormHost& host_;
  TBoard board_;
  TSequence root_;
  TSequence* current_ = &root_;
  int moveNumber_ = 0;
  int lastError_ = 0;
  bool inversionAllowed_ = true;
  bool inverted_ = false;
  bool symmetricLetters_ = false;
  bool tenukiAllowed_ = false;
  int wheelRest_ = 0;
  std::string caption_;
  std::string fileName_;
  std::unique_ptr<TTimer> autoShowTimer_;
  unsigned autoShowInterval_ = 500;
  int autoShowPhase_ = 0;
  // Nodes whose children the auto show treats as gone on windows that keep their nodes.
  std::unordered_set<const TSequence*> autoShowDone_;
  // Set-up stones shown of a node whose list failed part way: only those are hidden again.
  std::unordered_map<const TSequence*, std::size_t> partialStones_;
};

}  // namespace kessaro
