#include "strings/EditComment.h"

namespace kessaro {

std::string CleanMemoText(std::string_view memo) {
  auto isTrimmed = [](char c) { return static_cast<unsigned char>(c) <= ' '; };
  std::size_t begin = 0, end = memo.size();
  while (begin < end && isTrimmed(memo[begin])) ++begin;
  while (end > begin && isTrimmed(memo[end - 1])) --end;
  std::string out;
  out.reserve(end - begin);
  for (std::size_t i = begin; i < end; ++i) {
    if (memo[i] == ' ' && !out.empty() && out.back() == ' ') continue;
    out.push_back(memo[i]);
  }
  // Trimming already took the line breaks at both ends; nothing else can put one there.
  return out;
}

bool CommitMemo(std::string_view memo, TLanguage language, TStringSet& set) {
  return set.SetText(language, CleanMemoText(memo));
}

TStringSetLangEdit::TStringSetLangEdit() = default;

void TStringSetLangEdit::SetStringSet(const TStringSet* set) {
  set_.Assign(set);
  language_ = kEnglish;
  memo_ = set_.GetText(language_);
}

bool TStringSetLangEdit::GetStringSet(TStringSet& set) {
  if (!ReadOnly && !CommitMemo(memo_, language_, set_)) return false;
  set = set_;
  return true;
}

std::vector<std::string> TStringSetLangEdit::LanguageNames() {
  std::vector<std::string> names;
  for (int i = 1; i < kLanguageTableSize; ++i) names.emplace_back(LanguageTable()[i].Name);
  return names;
}

bool TStringSetLangEdit::NodeClicked(std::string_view name) {
  for (const TLangInfo& info : LanguageTable()) {
    if (name == info.Name) {
      ShowLanguage(info.LangID);
      return true;
    }
  }
  return false;
}

void TStringSetLangEdit::ShowLanguage(TLanguage language) {
  // A text too long to store stays in the memo rather than being lost.
  if (!ReadOnly && !CommitMemo(memo_, language_, set_)) return;
  language_ = language;
  memo_ = set_.GetText(language_);
}

std::string TStringSetLangEdit::MemoHint() const {
  for (const TLangInfo& info : LanguageTable()) {
    if (info.LangID == language_) return info.Name;
  }
  return {};
}

void TEditComment::SetSources(AStringSet* sources) {
  sources_ = sources;
  items_.clear();
  if (sources_ == nullptr) return;
  for (const TStringSet& s : *sources_) {
    TLangText best = s.BestText();
    items_.push_back({best.Text, best.Language});
  }
}

void TEditComment::SetComment(const TEditCommentRecord& record) {
  set_ = record.Texts;
  source_ = record.Source;
  page_ = record.Page;
  if (language_ != kLanguageMinus1) memo_ = set_.GetText(language_);
}

bool TEditComment::Commit() {
  if (language_ == kLanguageMinus1 || !editable_) return true;
  return CommitMemo(memo_, language_, set_);
}

bool TEditComment::GetComment(TEditCommentRecord& record) {
  if (!Commit()) return false;
  record.Texts = set_;
  record.Source = source_;
  record.Page = page_;
  return true;
}

bool TEditComment::SetLanguage(TLanguage language) {
  if (!Commit()) return false;
  language_ = language;
  memo_ = set_.GetText(language_);
  return true;
}

bool TEditComment::LanguageChosen(int position) {
  if (position < 0 || position + 1 >= kLanguageTableSize) return false;
  return SetLanguage(LanguageTable()[static_cast<std::size_t>(position) + 1].LangID);
}

std::vector<std::string> TEditComment::LanguageListNames() {
  std::vector<std::string> names;
  const TLanguageOrder& order = LanguageOrder();
  for (int i = 0; i < order.Count(); ++i) {
    for (const TLangInfo& info : LanguageTable()) {
      if (info.LangID == order.Get(i)) {
        names.emplace_back(info.Name);
        break;
      }
    }
  }
  return names;
}

int TEditComment::LanguagePosition() const {
  for (int i = 1; i < kLanguageTableSize; ++i) {
    if (LanguageTable()[static_cast<std::size_t>(i)].LangID == language_) return i - 1;
  }
  return -1;
}

void TEditComment::AddSource() {
  if (!RunEditor) return;
  TStringSetLangEdit editor;
  editor.SetCaptionName("Source");
  editor.ReadOnly = !editable_;
  editor.SetStringSet(nullptr);
  if (!RunEditor(editor) || !editable_ || sources_ == nullptr) return;
  TStringSet added;
  if (!editor.GetStringSet(added) || added.Count() == 0) return;
  sources_->push_back(added);
  TLangText best = added.BestText();
  items_.push_back({best.Text, best.Language});
  source_ = static_cast<std::int32_t>(sources_->size()) - 1;
}

void TEditComment::EditSource() {
  if (!RunEditor || !EditSourceEnabled()) return;
  if (static_cast<std::size_t>(source_) >= sources_->size()) return;
  auto index = static_cast<std::size_t>(source_);
  TStringSetLangEdit editor;
  editor.SetCaptionName("Source");
  editor.ReadOnly = !editable_;
  editor.SetStringSet(&(*sources_)[index]);
  if (!RunEditor(editor) || !editable_) return;
  TStringSet edited;
  if (!editor.GetStringSet(edited)) return;
  (*sources_)[index] = edited;
  TLangText best = edited.BestText();
  if (index < items_.size()) items_[index] = {best.Text, best.Language};
}

}  // namespace kessaro
