#include "workspace/JosekiComment.h"

#include "bases/PositionBase.h"
#include "strings/StringsHolder.h"

namespace kessaro {

namespace {

// Not among the interface strings yet: the refusal of a text one language entry cannot hold.
constexpr const char* kCommentTooLongMessage =
    "The comment is too long: a text may hold at most 65535 bytes. Nothing was changed.";

TStringSet UnknownSource() {
  TStringSet set;
  set.SetText(kEnglish, "Unknown");
  return set;
}

}  // namespace

TJosekiComment::TJosekiComment(TJosekiCommentHost* host) : host_(host) {
  Annotation.OnChange = [this] { MarkModified(); };
  Sources.push_back(UnknownSource());
}

TJosekiComment::~TJosekiComment() {
  FreeComments(Comments);
}

void TJosekiComment::SetEditable(bool on) {
  Flush();
  editable_ = on;
  Annotation.SetEditable(on);
}

void TJosekiComment::MarkModified() {
  if (editable_ && node_ != nullptr) node_->Flags |= sfModified;
}

void TJosekiComment::NotifyChanged() {
  if (host_ != nullptr) host_->Changed();
}

void TJosekiComment::SetNode(TSequence* node) {
  if (node == nullptr) {
    Flush();
    node_ = nullptr;
    Annotation.SetValue(0);
    FreeComments(Comments);
    Lines.clear();
    LineParts.clear();
    ListMap.clear();
    NotifyChanged();
    return;
  }
  // The user's own move at the same point, when there is one, carries the comments.
  TSequence* shown = node;
  for (TSequence* s = node; s != nullptr; s = s->NextSibling) {
    if (s->Kind == skUserMove && s->Point == node->Point &&
        (s->Flags & sfBlack) == (node->Flags & sfBlack)) {
      shown = s;
      break;
    }
  }
  if (shown == node_) return;
  Flush();
  node_ = shown;
  FreeComments(Comments);
  Annotation.SetValue(AnnotationWord(shown->Annotations));
  ParseComments(shown->CommentSet.get(), Comments);
  RebuildLines();
  NotifyChanged();
}

std::pair<std::string, TLanguage> TJosekiComment::SourceLine(const TSComment& comment,
                                                             TLanguage language) const {
  std::size_t index = 0;
  if (comment.Source > 0 && static_cast<std::size_t>(comment.Source) < Sources.size()) {
    index = static_cast<std::size_t>(comment.Source);
  }
  const TStringSet& source = Sources[index];
  TLangText name{language, source.GetText(language)};
  if (name.Text.empty()) name = source.BestText();
  // A gap in the source numbers has no name: it reads as the unknown source.
  if (name.Text.empty()) name = Sources[0].BestText();
  std::string line = Strings().Output(outSource) + ": " + name.Text;
  if (comment.Page != 0) line += ", " + std::to_string(comment.Page);
  return {line, name.Language};
}

void TJosekiComment::RebuildLines() {
  Lines.clear();
  LineParts.clear();
  ListMap.clear();
  for (std::size_t i = 0; i < Comments.size(); ++i) {
    const TSComment& c = Comments[i];
    if (!c.Texts) continue;
    TLangText text = c.Texts->BestText();
    if (text.Text.empty()) continue;
    auto [source, sourceLanguage] = SourceLine(c, text.Language);
    Lines.push_back({text.Language, 0, text.Text + "\r\n" + source});
    LineParts.push_back({text.Language, text.Text, sourceLanguage, source});
    ListMap.push_back(static_cast<std::int32_t>(i));
  }
}

bool TJosekiComment::Flush() {
  if (node_ == nullptr || (node_->Flags & sfModified) == 0) return true;
  PStringSet built;
  if (node_->CommentSet) built = std::make_unique<TStringSet>(*node_->CommentSet);
  if (!BuildComments(Comments, built)) return false;
  node_->Annotations = AnnotationBytes(Annotation.GetValue());
  if (built && built->Empty()) built.reset();
  node_->CommentSet = std::move(built);
  return true;
}

void TJosekiComment::LoadSources(TPositionBase* base) {
  Sources.resize(1);
  if (base == nullptr || !base->LetterBase().Active()) return;
  std::uint32_t maxID = std::min<std::uint32_t>(base->LetterBase().MaxID(), kMaxCommentSources);
  // Trailing empty identifiers add nothing; inner ones keep the numbering.
  std::uint32_t last = 0;
  std::vector<TStringSet> loaded(maxID);
  for (std::uint32_t id = 1; id <= maxID; ++id) {
    base->LetterBase().Read(id, loaded[id - 1]);
    if (!loaded[id - 1].Empty()) last = id;
  }
  for (std::uint32_t id = 1; id <= last; ++id) Sources.push_back(std::move(loaded[id - 1]));
}

void TJosekiComment::SaveSources(TPositionBase* base) {
  if (base == nullptr || !base->LetterBase().Active()) return;
  for (std::size_t i = 1; i < Sources.size(); ++i) {
    // A gap stays a gap: nothing was stored under that number.
    if (Sources[i].Empty()) continue;
    base->LetterBase().Write(static_cast<std::uint32_t>(i), &Sources[i]);
  }
}

TEditComment TJosekiComment::MakeEditor(const TSComment* comment, TLanguage language) {
  TEditComment editor;
  editor.SetEditable(editable_);
  editor.SetSources(&Sources);
  TEditCommentRecord record;
  if (comment != nullptr) {
    if (comment->Texts) record.Texts = *comment->Texts;
    record.Source = comment->Source;
    record.Page = comment->Page;
  }
  editor.SetComment(record);
  editor.SetLanguage(language);
  return editor;
}

bool TJosekiComment::TakeBack(TEditComment& editor, TSComment& comment) {
  TEditCommentRecord record;
  if (!editor.GetComment(record)) {
    if (host_ != nullptr) host_->ShowMessage(kCommentTooLongMessage);
    return false;
  }
  comment.Texts = record.Texts.Count() > 0 ? std::make_unique<TStringSet>(record.Texts) : nullptr;
  comment.Source = record.Source;
  comment.Page = record.Page;
  return true;
}

void TJosekiComment::EditComment(int line) {
  if (!EditEnabled(line) || host_ == nullptr) return;
  auto index = static_cast<std::size_t>(ListMap[static_cast<std::size_t>(line)]);
  TEditComment editor =
      MakeEditor(&Comments[index], Lines[static_cast<std::size_t>(line)].Language);
  if (!host_->RunCommentEditor(editor) || !editable_) return;
  TSComment edited;
  if (!TakeBack(editor, edited)) return;
  if (edited.Texts || edited.Source != 0) {
    Comments[index] = std::move(edited);
  } else {
    Comments.erase(Comments.begin() + static_cast<std::ptrdiff_t>(index));
  }
  RebuildLines();
  MarkModified();
  NotifyChanged();
}

void TJosekiComment::AddComment() {
  if (!editable_ || host_ == nullptr) return;
  TEditComment editor = MakeEditor(nullptr, LanguageOrder().Get(0));
  if (!host_->RunCommentEditor(editor) || !editable_) return;
  TSComment added;
  if (!TakeBack(editor, added)) return;
  if (!added.Texts && added.Source == 0) return;
  Comments.push_back(std::move(added));
  RebuildLines();
  MarkModified();
  NotifyChanged();
}

void TJosekiComment::DeleteComment(int line) {
  if (!DeleteEnabled(line) || host_ == nullptr) return;
  if (!host_->ConfirmDelete("Delete comment?")) return;
  auto index = static_cast<std::size_t>(ListMap[static_cast<std::size_t>(line)]);
  Comments.erase(Comments.begin() + static_cast<std::ptrdiff_t>(index));
  RebuildLines();
  MarkModified();
  NotifyChanged();
}

}  // namespace kessaro
