#include "workspace/BoardForm.h"

#include <algorithm>
#include <utility>

#include "board/SymmetryFunctions.h"
#include "records/BoardFormFunc.h"
#include "strings/StringsHolder.h"

namespace kessaro {

namespace {

// Tenuki state of a node: 0 none, 1 one tenuki, 2 two tenukis.
int TenukiState(const TSequence* node) {
  if (node->Flags & sfAlternate) return 1;
  if (node->Flags & sfDoubleTenuki) return 2;
  return 0;
}

std::uint32_t SwapColours(std::uint32_t value) {
  const std::uint32_t c = ColourCode(value);
  if (c == kColourBlack) return (value & ~kColourMask) | kColourWhite;
  if (c == kColourWhite) return (value & ~kColourMask) | kColourBlack;
  return value;
}

TBoardPoint PointOf(const TSequence* node) {
  return static_cast<TBoardPoint>(node->Point & kPointMask);
}

bool IsBranchPoint(const TSequence* node) {
  return node->FirstChild != nullptr && node->FirstChild->NextSibling != nullptr;
}

}  // namespace

std::string DefaultBoardText(TBoardText id) {
  switch (id) {
    case TBoardText::outDead:
      return "Dead";
    case TBoardText::outB:
      return "B";
    case TBoardText::outW:
      return "W";
    case TBoardText::outSpaceTenuki:
      return "Space - tenuki";
    case TBoardText::outEndOfVar:
      return "End of var.";
    case TBoardText::outNoTenuki:
      return "no tenuki";
    case TBoardText::actInvert:
      return "Invert";
    case TBoardText::actRotate:
      return "Rotate";
    case TBoardText::actSymmetry:
      return "Symmetry";
    case TBoardText::act90Degrees:
      return "90 degrees";
    case TBoardText::act180Degrees:
      return "180 degrees";
    case TBoardText::act270Degrees:
      return "270 degrees";
    case TBoardText::actHorizontal:
      return "Horizontal";
    case TBoardText::actVertical:
      return "Vertical";
    case TBoardText::actDiagonal1:
      return "Diagonal \\";
    case TBoardText::actDiagonal7:
      return "Diagonal /";
  }
  return {};
}

std::string InterfaceBoardText(TBoardText id) {
  const TStringsHolder& strings = Strings();
  switch (id) {
    case TBoardText::outDead:
      return strings.Output(outDead);
    case TBoardText::outB:
      return strings.Output(outB);
    case TBoardText::outW:
      return strings.Output(outW);
    case TBoardText::outSpaceTenuki:
      return strings.Output(outSpaceTenuki);
    case TBoardText::outEndOfVar:
      return strings.Output(outEndOfVar);
    case TBoardText::outNoTenuki:
      return strings.Output(outNoTenuki);
    default:
      break;
  }
  static constexpr TControlID kCaptions[] = {
      actInvert,     actRotate,     actSymmetry, act90Degrees, act180Degrees,
      act270Degrees, actHorizontal, actVertical, actDiagonal1, actDiagonal7};
  static_assert(std::size(kCaptions) == static_cast<std::size_t>(TBoardText::actDiagonal7) -
                                            static_cast<std::size_t>(TBoardText::actInvert) + 1);
  const auto index = static_cast<std::size_t>(id) - static_cast<std::size_t>(TBoardText::actInvert);
  const std::string& caption = strings.Caption(kCaptions[index]);
  return caption.empty() ? DefaultBoardText(id) : caption;
}

int MenuItemSymmetry(TBoardMenuItem item) {
  switch (item) {
    case mi90Degrees:
      return 3;
    case mi180Degrees:
      return 6;
    case mi270Degrees:
      return 5;
    case miHorizontal:
      return 4;
    case miVertical:
      return 2;
    case miDiagonal1:
      return 1;
    case miDiagonal7:
      return 7;
    default:
      return 0;
  }
}

TBoardText MenuItemText(TBoardMenuItem item) {
  static constexpr TBoardText kTexts[kBoardMenuItemCount] = {
      TBoardText::actInvert,     TBoardText::actRotate,     TBoardText::act90Degrees,
      TBoardText::act180Degrees, TBoardText::act270Degrees, TBoardText::actSymmetry,
      TBoardText::actHorizontal, TBoardText::actVertical,   TBoardText::actDiagonal1,
      TBoardText::actDiagonal7};
  return kTexts[item < kBoardMenuItemCount ? item : 0];
}

std::string AlphaCoordinate(int column, int row) {
  const char letter = static_cast<char>('A' + column + (column >= 8 ? 1 : 0));
  return std::string(1, letter) + std::to_string(row + 1);
}

// ---------------------------------------------------------------------------------------------
// Life

TBoardForm::TBoardForm(TBoardFormHost& host, TGraphics& graphics) : host_(host), board_(graphics) {
  root_.Point = kNoMove;
  root_.SymmetryDirty = 1;
  root_.MoveNumber = kNoMoveNumber;
  root_.Kind = skBoardRoot;
  board_.OnPointMove = [this](TCustomBoard&, TBoardPoint p) {
    ShowCoordinates(PointColumn(p), PointRow(p));
  };
  board_.OnPointClick = [this](TCustomBoard&, TBoardPoint p) { BoardClick(p); };
  board_.OnShadowChange = [this](TCustomBoard&) { ShadowChanged(); };
  board_.SetMouseHolder(true);
  board_.ShadowBoard = false;
  board_.PlayRules = false;
  board_.SetBoardSize(19);
  host_.SetPanelText(spCord, "1 : 1");
  host_.SetPanelText(spAlfaCord, "A1");
  for (int i = 0; i < kBoardMenuItemCount; ++i)
    host_.SetMenuItemState(static_cast<TBoardMenuItem>(i), true, false);
  SetInversionAllowed(true);
  FitWindow();
}

TBoardForm::~TBoardForm() {
  autoShowTimer_.reset();
  if (OnNodeChanged) OnNodeChanged(*this, nullptr);
  ClearRoot(&root_);
}

void TBoardForm::Initialize() {
  FitWindow();
  ShowMoveNumber(0);
  if (current_ != nullptr) {
    EnterNode(current_);
    ShowModifiers(true, true);
    Refresh();
  }
  UpdateStatus();
}

void TBoardForm::SetCaption(const std::string& caption) {
  caption_ = caption;
  host_.SetCaption(caption);
}

void TBoardForm::Activate() {
  if (OnActivateHook) OnActivateHook(*this);
  UpdateStatus();
}

// ---------------------------------------------------------------------------------------------
// Board values

std::uint32_t TBoardForm::BoardColour(bool black) const {
  return black != inverted_ ? kColourBlack : kColourWhite;
}

std::uint32_t TBoardForm::ShownValue(std::uint32_t value) const {
  return inverted_ ? SwapColours(value) : value;
}

void TBoardForm::PrepareLastMove(const TSequence* node) {
  // The ko test looks at the previous move and at what it captured.
  if (node != nullptr && PointOf(node) != kPassPoint && TenukiState(node) == 0) {
    board_.SetLastMove(PointOf(node));
    board_.SetCaptureFlags(node->CaptureFlags);
  } else {
    board_.SetCaptureFlags(0);
  }
  board_.TakeError();
}

bool TBoardForm::CanPlay(TBoardPoint point, bool black) {
  PrepareLastMove(current_);
  // Recorded moves are shown as they were played; a new one obeys the rules.
  const bool ko = std::exchange(board_.AllowKo, false);
  const bool suicide = std::exchange(board_.AllowSuicide, false);
  board_.PlayRules = true;
  const bool ok = board_.CanSetValueAt(point, BoardColour(black));
  const int error = board_.TakeError();
  board_.PlayRules = false;
  board_.AllowKo = ko;
  board_.AllowSuicide = suicide;
  if (!ok) lastError_ = error;
  return ok;
}

bool TBoardForm::PlaceStone(bool place) {
  TSequence* node = current_;
  if (node == nullptr || PointOf(node) == kPassPoint || (node->Flags & sfAlternate)) return true;
  if (inverted_)
    node->Flags |= sfInverted;
  else
    node->Flags &= static_cast<std::uint8_t>(~sfInverted);
  const TBoardPoint point = PointOf(node);
  if (place) {
    node->CaptureFlags = 0;
    PrepareLastMove(node->ParentNode);
    board_.PlayRules = true;
    board_.SetValueAt(point, BoardColour(NodeIsBlack(node)));
    const int error = board_.TakeError();
    board_.PlayRules = false;
    if (error != 0) {
      lastError_ = error;
      PrepareLastMove(node->ParentNode);
      return false;
    }
    node->CaptureFlags = board_.GetCaptureFlags();
    // The board counts its own colours; with inversion in force they are the other player's.
    const int black = inverted_ ? board_.CapturedWhite() : board_.CapturedBlack();
    const int white = inverted_ ? board_.CapturedBlack() : board_.CapturedWhite();
    const TSequence* parent = node->ParentNode;
    node->CapturedBlack = static_cast<std::uint16_t>((parent ? parent->CapturedBlack : 0) + black);
    node->CapturedWhite = static_cast<std::uint16_t>((parent ? parent->CapturedWhite : 0) + white);
  }
  board_.PlayRules = false;
  std::uint32_t value = board_.GetValueAt(point) ^ LastMoveMark;
  value = SetMoveNumber(value, moveNumber_);
  board_.SetValueAt(point, value);
  return true;
}

bool TBoardForm::ShowModifiers(bool show, bool all) {
  return ShowParts(current_, show, all ? mpAll : mpLabels);
}

bool TBoardForm::ShowParts(TSequence* node, bool show, int parts) {
  if (node == nullptr) return true;
  const bool alt = (node->Flags & sfAlternate) != 0;
  APositionModifier& setup = alt ? node->SetupAlt : node->Setup;
  APositionModifier& marks = alt ? node->MarksAlt : node->Marks;
  board_.PlayRules = false;
  bool ok = true;
  // Stones of a list that failed part way: only those shown are taken off again.
  std::size_t stoneLimit = setup.size();
  if (auto it = partialStones_.find(node); it != partialStones_.end()) {
    if (!show && (parts & mpStones)) {
      stoneLimit = it->second;
      partialStones_.erase(it);
    } else if (show && (parts & mpStones)) {
      partialStones_.erase(it);
    }
  }
  std::size_t stones = 0;
  bool stonesStopped = false;
  for (const TPositionModifierItem& item : setup) {
    const TBoardPoint point = static_cast<TBoardPoint>(item.Point & kPointMask);
    const std::uint32_t value = ShownValue(item.Value);
    if (item.Value & kModifierMarkBit) {
      if (parts & mpLabels) board_.SetValueAt(point, board_.GetValueAt(point) ^ value);
      continue;
    }
    if (!(parts & mpStones) || stonesStopped) continue;
    const std::uint32_t current = board_.GetValueAt(point);
    if (show) {
      if ((current & ~kShadedBit) != 0) {
        // A set-up stone never covers a stone; the labels are still shown.
        lastError_ = beOccupied;
        partialStones_[node] = stones;
        stonesStopped = true;
        ok = false;
        continue;
      }
      board_.SetValueAt(point, value | (current & kShadedBit));
    } else if (stones < stoneLimit && (current & ~kShadedBit) == value) {
      board_.SetValueAt(point, current & kShadedBit);
    }
    ++stones;
  }
  if (symmetricLetters_ && (parts & mpLabels)) {
    if (marks.empty() && show) {
      if (node->SymmetryDirty) {
        node->PositionSymmetry = SymmetryAt(node, board_.Region());
        node->SymmetryDirty = 0;
      }
      const int w = RegionWidth(board_.Region()), h = RegionHeight(board_.Region());
      const auto listed = [&](TBoardPoint p) {
        const auto same = [p](const TPositionModifierItem& i) {
          return (i.Point & kPointMask) == p;
        };
        return std::any_of(setup.begin(), setup.end(), same) ||
               std::any_of(marks.begin(), marks.end(), same);
      };
      for (int code = 1; code < 8; ++code) {
        if (!((node->PositionSymmetry >> code) & 1)) continue;
        for (std::size_t i = 0; i < setup.size(); ++i) {
          const TPositionModifierItem item = setup[i];
          if (!(item.Value & kModifierMarkBit) || LabelText(item.Value).empty()) continue;
          const auto mapped = static_cast<TBoardPoint>(
              TransformMove(static_cast<TMoveWord>(item.Point & kPointMask),
                            static_cast<TSymmetry>(code), w, h) &
              kPointMask);
          if ((board_.GetValueAt(mapped) & ~kShadedBit) == 0 && !listed(mapped))
            marks.push_back({mapped, item.Value});
        }
      }
    }
    for (const TPositionModifierItem& item : marks) {
      const TBoardPoint point = static_cast<TBoardPoint>(item.Point & kPointMask);
      board_.SetValueAt(point, board_.GetValueAt(point) ^ ShownValue(item.Value));
    }
  }
  board_.TakeError();
  board_.RedrawChanged();
  return ok;
}

// ---------------------------------------------------------------------------------------------
// Navigation

TSequence* TBoardForm::FindChild(TSequence* node, TBoardPoint point, bool black) const {
  for (TSequence* c = node->FirstChild; c != nullptr; c = c->NextSibling)
    if (PointOf(c) == (point & kPointMask) && NodeIsBlack(c) == black) return c;
  return nullptr;
}

TSequence* TBoardForm::ChooseForwardChild(TSequence* node) const {
  for (TSequence* c = node->FirstChild; c != nullptr; c = c->NextSibling)
    if (c->FirstChild != nullptr) return c;
  const bool black = BlackToPlay(node);
  for (TSequence* c = node->FirstChild; c != nullptr; c = c->NextSibling)
    if (NodeIsBlack(c) == black) return c;
  return node->FirstChild;
}

bool TBoardForm::StepInto(TSequence* child) {
  TSequence* old = current_;
  if (OnBeforeStep) OnBeforeStep(*this, child);
  current_ = child;
  EnterNode(child);
  ShowMoveNumber(moveNumber_ + 1);
  if (PlaceStone(true)) return true;
  current_ = old;
  ShowMoveNumber(moveNumber_ - 1);
  return false;
}

void TBoardForm::SetTenukiState(TSequence* node, int state) {
  node->Flags &= static_cast<std::uint8_t>(~(sfAlternate | sfDoubleTenuki));
  if (state == 1) node->Flags |= sfAlternate;
  if (state == 2) node->Flags |= sfDoubleTenuki;
}

void TBoardForm::ChangeTenuki(int newState, int parts) {
  // The mark and the lists follow the state: one tenuki shows the other lists and no mark.
  ToggleMark();
  ShowParts(current_, false, parts);
  SetTenukiState(current_, newState);
  ShowParts(current_, true, parts);
  ToggleMark();
}

void TBoardForm::TenukiToggle(int parts) {
  EditMode = 0;
  const int state = TenukiState(current_);
  const int next = state == 1 ? 2 : 1;
  ShowMoveNumber(moveNumber_ + (state == 2 ? -1 : 1));
  ChangeTenuki(next, parts);
}

int TBoardForm::PlayMove(TBoardPoint point) {
  if (current_ == nullptr || current_->FirstChild == nullptr) return -1;
  CommitNode();
  point &= kPointMask;
  const bool black = BlackToPlay(current_);
  TSequence* child = FindChild(current_, point, black);
  if (point == kPassPoint && tenukiAllowed_ && child == nullptr) {
    TenukiToggle(mpAll);
    UpdateStatus();
    return 0;
  }
  if (child == nullptr) {
    if (current_->SymmetryDirty) {
      current_->PositionSymmetry = SymmetryAt(current_, board_.Region());
      current_->SymmetryDirty = 0;
    }
    const int w = RegionWidth(board_.Region()), h = RegionHeight(board_.Region());
    for (int code = 1; code < 8 && child == nullptr; ++code) {
      if (!((current_->PositionSymmetry >> code) & 1)) continue;
      const auto inverse = InverseSymmetry(static_cast<TSymmetry>(code));
      const auto mapped =
          static_cast<TBoardPoint>(TransformMove(point, inverse, w, h) & kPointMask);
      child = FindChild(current_, mapped, black);
      if (child == nullptr) continue;
      // Turn the board so that the candidate shows where it was clicked.
      const auto s = static_cast<TSymmetry>(board_.Symmetry());
      ApplySymmetryCode(
          ComposeSymmetry(ComposeSymmetry(InverseSymmetry(s), static_cast<TSymmetry>(code)), s));
    }
    if (child == nullptr) return -1;
  }
  EditMode = 0;
  ShowParts(current_, false, mpLabels);
  ToggleMark();
  if (!StepInto(child)) {
    ToggleMark();
    ShowParts(current_, true, mpLabels);
    UpdateStatus();
    return -1;
  }
  const bool ok = ShowParts(current_, true, mpAll);
  UpdateStatus();
  return ok ? 1 : 0;
}

void TBoardForm::Forward(int count) {
  ForwardSteps(count, false);
}

void TBoardForm::NextNode() {
  ForwardSteps(0, true);
}

void TBoardForm::ForwardSteps(int count, bool toBranch) {
  if (current_ == nullptr || current_->FirstChild == nullptr) return;
  EditMode = 0;
  CommitNode();
  ShowParts(current_, false, mpLabels);
  // Set-up stones of every node passed are shown, so the position stays whole; the labels
  // only of the node reached.
  int steps = 0;
  while (current_->FirstChild != nullptr && (count == 0 || steps < count)) {
    if (count == 0 && AutoShowFinished(current_)) break;
    TSequence* child = ChooseForwardChild(current_);
    if (NodeIsBlack(child) != BlackToPlay(current_)) {
      TenukiToggle(mpStones);
      ++steps;
      continue;
    }
    ToggleMark();
    if (!StepInto(child)) {
      ToggleMark();
      break;
    }
    ShowParts(current_, true, mpStones);
    ++steps;
    if (count == 0 && (current_->Flags & sfRepeat)) break;
    if (toBranch && IsBranchPoint(current_)) break;
  }
  ShowParts(current_, true, mpLabels);
  UpdateStatus();
}

void TBoardForm::StepBackOnce() {
  TSequence* node = current_;
  ToggleMark();
  ShowParts(node, false, mpStones);
  const TBoardPoint point = PointOf(node);
  if (point != kPassPoint) {
    board_.PlayRules = false;
    board_.SetLastMove(point);
    board_.SetCaptureFlags(node->CaptureFlags);
    board_.RestoreCaptured();
    board_.SetValueAt(point, board_.GetValueAt(point) & kShadedBit);
    board_.TakeError();
  }
  current_ = node->ParentNode;
  ToggleMark();
}

void TBoardForm::Back(int count) {
  BackSteps(count, false);
}

void TBoardForm::PriorNode() {
  BackSteps(0, true);
}

void TBoardForm::BackSteps(int count, bool toBranch) {
  if (current_ == nullptr) return;
  const auto canStep = [&] {
    return current_->ParentNode != nullptr || (!toBranch && TenukiState(current_) != 0);
  };
  if (!canStep()) return;
  EditMode = 0;
  CommitNode();
  ShowParts(current_, false, mpLabels);
  int steps = 0;
  while (canStep() && (count == 0 || steps < count)) {
    ShowMoveNumber(moveNumber_ - 1);
    ++steps;
    const int state = TenukiState(current_);
    if (state != 0) {
      ChangeTenuki(state == 2 ? 1 : 0, mpStones);
      continue;
    }
    StepBackOnce();
    if (toBranch && IsBranchPoint(current_)) break;
  }
  ShowParts(current_, true, mpLabels);
  UpdateStatus();
}

void TBoardForm::RefreshAfterKey(int oldNumber) {
  Refresh();
  if (moveNumber_ > oldNumber) host_.PlayClick();
}

void TBoardForm::KeyNavigate(int key) {
  const int old = moveNumber_;
  switch (key) {
    case vkPageUp:
      PriorNode();
      break;
    case vkPageDown:
      NextNode();
      break;
    case vkEnd:
      Forward(0);
      break;
    case vkHome:
      Back(0);
      break;
    case vkLeft:
      Back(10);
      break;
    case vkUp:
      Back(1);
      break;
    case vkRight:
      Forward(10);
      break;
    case vkDown:
      Forward(1);
      break;
    default:
      return;
  }
  RefreshAfterKey(old);
}

void TBoardForm::KeyLetter(char key) {
  if (key == ' ') {
    BoardClick(kPassPoint);
    return;
  }
  if (current_ == nullptr) return;
  const APositionModifier& setup =
      (current_->Flags & sfAlternate) ? current_->SetupAlt : current_->Setup;
  const std::string text(1, key);
  for (const TPositionModifierItem& item : setup) {
    if (!(item.Value & kModifierMarkBit) || LabelText(item.Value) != text) continue;
    const int old = moveNumber_;
    PlayMove(static_cast<TBoardPoint>(item.Point & kPointMask));
    RefreshAfterKey(old);
    return;
  }
}

void TBoardForm::BoardClick(TBoardPoint point) {
  CommitNode();
  const int old = moveNumber_;
  if (Editable && OnEditClick && EditMode == 1) {
    OnEditClick(*this, point);
    Refresh();
    return;
  }
  const int result = PlayMove(point);
  if (result == 0 || result == 1) {
    RefreshAfterKey(old);
    return;
  }
  bool handled = false;
  if (OnUnknownClick) OnUnknownClick(*this, point, handled);
  if (handled) return;
  if (current_ != nullptr && (point & kPointMask) == PointOf(current_) && point != kPassPoint) {
    Back(1);
    Refresh();
    return;
  }
  if (Editable && OnEditClick) {
    OnEditClick(*this, point);
    Refresh();
  }
}

void TBoardForm::WheelScroll(int delta) {
  wheelRest_ += delta;
  const int steps = wheelRest_ / 120;
  wheelRest_ -= steps * 120;
  if (steps == 0) return;
  const int old = moveNumber_;
  if (steps > 0)
    Back(steps);
  else
    Forward(-steps);
  RefreshAfterKey(old);
}

// ---------------------------------------------------------------------------------------------
// Display

void TBoardForm::ApplySymmetryCode(int code) {
  if (code != 0) board_.ApplySymmetry(code);
  if (RegionKind(board_.Region()) != rkWholeBoard) {
    FitWindow();
    board_.RebuildBackground();
  }
  board_.RedrawAll();
  host_.Repaint();
}

void TBoardForm::InvertColours() {
  if (!inversionAllowed_) return;
  // The panes keep their unsaved edits before they are told that everything changed.
  CommitNode();
  inverted_ = !inverted_;
  board_.PlayRules = false;
  const int w = RegionWidth(board_.Region()), h = RegionHeight(board_.Region());
  for (int x = 0; x < w; ++x)
    for (int y = 0; y < h; ++y) {
      const std::uint32_t value = board_.GetValue(x, y);
      if (IsStoneValue(value)) board_.SetValue(x, y, SwapColours(value));
    }
  board_.TakeError();
  if (current_ != nullptr) {
    if (inverted_)
      current_->Flags |= sfInverted;
    else
      current_->Flags &= static_cast<std::uint8_t>(~sfInverted);
  }
  host_.SetMenuItemState(miInverted, true, inverted_);
  Refresh();
  if (OnNodeChanged) OnNodeChanged(*this, nullptr);
  UpdateStatus();
}

void TBoardForm::SetSymmetricLetters(bool on) {
  ShowModifiers(false, false);
  symmetricLetters_ = on;
  ShowModifiers(true, false);
  Refresh();
}

void TBoardForm::SetInversionAllowed(bool on) {
  inversionAllowed_ = on;
  host_.SetMenuItemState(miInverted, on, inverted_);
}

void TBoardForm::ShowMoveNumber(int n) {
  moveNumber_ = n;
  host_.SetPanelText(spNumber, std::to_string(n));
}

void TBoardForm::Refresh() {
  board_.RedrawChanged();
  host_.Repaint();
}

void TBoardForm::ClientResized(TClientSize size) {
  const int w = std::max(size.Width - ExtraWidth, 0);
  const int h = std::max(size.Height - ExtraHeight, 0);
  if (w == board_.Width() && h == board_.Height()) return;
  board_.SetSize(w, h);
  board_.RebuildBackground();
  board_.RedrawAll();
}

void TBoardForm::FitWindow() {
  const TClientSize client = host_.ClientSize();
  int side = std::max(client.Width - ExtraWidth, client.Height - ExtraHeight);
  int w = side, h = side;
  board_.FitSize(w, h);
  const TClientSize fitted{w + ExtraWidth, h + ExtraHeight};
  host_.SetClientSize(fitted);
  ClientResized(fitted);
}

void TBoardForm::SizeBoard(int pointSize, int margin) {
  const TClientSize size{RegionWidth(board_.Region()) * pointSize + 2 * margin + ExtraWidth,
                         RegionHeight(board_.Region()) * pointSize + 2 * margin + ExtraHeight};
  host_.SetClientSize(size);
  ClientResized(size);
}

TClientSize TBoardForm::CanResize(TClientSize requested) const {
  int w = requested.Width - ExtraWidth, h = requested.Height - ExtraHeight;
  if (board_.FitSize(w, h)) return requested;
  return {w + ExtraWidth, h + ExtraHeight};
}

void TBoardForm::ShowCoordinates(int x, int y) {
  host_.SetPanelText(spCord, std::to_string(x + 1) + " : " + std::to_string(y + 1));
  host_.SetPanelText(spAlfaCord, AlphaCoordinate(x, y));
}

void TBoardForm::MenuClick(TBoardMenuItem item) {
  if (item == miInverted) {
    InvertColours();
    return;
  }
  if (const int code = MenuItemSymmetry(item); code != 0) ApplySymmetryCode(code);
}

// ---------------------------------------------------------------------------------------------
// State

void TBoardForm::UpdatePassPanel() {
  tenukiAllowed_ = false;
  if (current_ == nullptr) return;
  for (const TSequence* c = current_->FirstChild; c != nullptr && !tenukiAllowed_;
       c = c->NextSibling)
    tenukiAllowed_ = PointOf(c) == kPassPoint || NodeIsBlack(c) == NodeIsBlack(current_);
  const TBoardText text = tenukiAllowed_                    ? TBoardText::outSpaceTenuki
                          : current_->FirstChild != nullptr ? TBoardText::outNoTenuki
                                                            : TBoardText::outEndOfVar;
  host_.SetPanelText(spPass, Text(text));
}

void TBoardForm::UpdateStatus() {
  UpdatePassPanel();
  const int black = current_ != nullptr ? current_->CapturedBlack : 0;
  const int white = current_ != nullptr ? current_->CapturedWhite : 0;
  host_.SetPanelText(spCaptured, Text(TBoardText::outDead) + " " + Text(TBoardText::outB) + ":" +
                                     std::to_string(black) + ", " + Text(TBoardText::outW) + ":" +
                                     std::to_string(white));
  if (OnNodeChanged) OnNodeChanged(*this, current_);
}

void TBoardForm::LeaveWindow() {
  CommitNode();
}

void TBoardForm::CommitNode() {
  if (current_ == nullptr) return;
  TSequence* modified = (current_->Flags & sfModified) ? current_ : nullptr;
  if (modified == nullptr && current_->ParentNode != nullptr) {
    for (TSequence* s = current_->ParentNode->FirstChild; s != nullptr && !modified;
         s = s->NextSibling)
      if (s != current_ && s->Kind == skUserMove && (s->Flags & sfModified) &&
          PointOf(s) == PointOf(current_) && NodeIsBlack(s) == NodeIsBlack(current_))
        modified = s;
  }
  if (modified == nullptr) return;
  if (OnCommentChanged) OnCommentChanged(*this, modified);
  SaveNode(current_);
}

void TBoardForm::ClearModifiers() {
  if (current_ == nullptr) return;
  ShowModifiers(false, true);
  current_->Setup.clear();
  current_->Marks.clear();
  partialStones_.erase(current_);
  ShowModifiers(true, true);
  Refresh();
}

void TBoardForm::ForgetNode(const TSequence* node) {
  partialStones_.erase(node);
  // Entries of the freed subtree could match nodes allocated later; the auto show only
  // forgets which lines it has shown.
  autoShowDone_.clear();
}

// ---------------------------------------------------------------------------------------------
// Auto show

void TBoardForm::SetAutoShow(bool on) {
  autoShowPhase_ = 0;
  autoShowDone_.clear();
  autoShowTimer_.reset();
  if (on) autoShowTimer_ = host_.StartTimer(autoShowInterval_, [this] { AutoShowTick(); });
}

void TBoardForm::SetAutoShowInterval(unsigned ms) {
  autoShowInterval_ = ms;
  if (autoShowTimer_ != nullptr) {
    autoShowTimer_.reset();
    autoShowTimer_ = host_.StartTimer(autoShowInterval_, [this] { AutoShowTick(); });
  }
}

bool TBoardForm::AutoShowFinished(const TSequence* node) const {
  return !autoShowDone_.empty() && autoShowDone_.count(node) != 0;
}

void TBoardForm::ReleaseForAutoShow(TSequence* node) {
  if (node->FirstChild == nullptr) return;
  if (AutoShowMayRelease()) {
    ReleaseTree(node->FirstChild);
    node->FirstChild = nullptr;
  } else {
    autoShowDone_.insert(node);
  }
}

void TBoardForm::AutoShowTick() {
  if (AutoShowPaused || current_ == nullptr) return;
  if (current_->FirstChild != nullptr && !(current_->Flags & sfRepeat) &&
      !AutoShowFinished(current_)) {
    if (autoShowPhase_ == 2) {
      autoShowPhase_ = 0;
      return;
    }
    const int before = moveNumber_;
    Forward(1);
    if (moveNumber_ == before)
      ReleaseForAutoShow(current_);  // not followed again
    else
      Refresh();
    return;
  }
  if (autoShowPhase_ == 0) {
    autoShowPhase_ = 1;
    return;
  }
  AutoShowNextLine();
}

void TBoardForm::AutoShowNextLine() {
  bool found = false;
  TBoardPoint target = kPassPoint;
  while (!found) {
    const bool alternate = (current_->Flags & sfAlternate) != 0;
    if (!alternate && current_->ParentNode == nullptr && TenukiState(current_) == 0) break;
    if (alternate) {
      Back(1);  // undoes the tenuki
    } else if (tenukiAllowed_) {
      for (TSequence* c = current_->FirstChild; c != nullptr; c = c->NextSibling)
        ReleaseForAutoShow(c);
      target = kPassPoint;
      found = true;
      break;
    }
    TSequence* node = current_;
    if (node->ParentNode == nullptr) break;
    // The next sibling of the same colour whose point no earlier sibling of that colour has.
    TSequence* next = nullptr;
    for (TSequence* s = node->NextSibling; s != nullptr && next == nullptr; s = s->NextSibling) {
      if (NodeIsBlack(s) != NodeIsBlack(node)) continue;
      bool repeated = false;
      for (TSequence* e = node->ParentNode->FirstChild; e != s && !repeated; e = e->NextSibling)
        repeated = NodeIsBlack(e) == NodeIsBlack(s) && PointOf(e) == PointOf(s);
      if (!repeated) next = s;
    }
    Back(1);
    if (next != nullptr) {
      target = PointOf(next);
      found = true;
    }
  }
  if (!found) {
    // Back at the root: start again from its first line, or stop when there is none.
    if (root_.FirstChild == nullptr || current_ != &root_) {
      SetAutoShow(false);
      return;
    }
    target = PointOf(root_.FirstChild);
  }
  PlayMove(target);
  Refresh();
  autoShowPhase_ = 2;
}

}  // namespace kessaro
