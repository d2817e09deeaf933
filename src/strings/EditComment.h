#pragma once
// The logic of the two editors of multilingual texts: the string-set language editor (one text
// per language, chosen in a tree of language names) and the comment editor (a comment's texts,
// its source and page). Views show the memo and lists; every rule lives here.

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "strings/StringSet.h"

namespace kessaro {

using AStringSet = std::vector<TStringSet>;

// The memo text as it is stored: blanks and control characters trimmed at both ends, every run
// of blanks inside collapsed to one, line breaks at both ends removed.
std::string CleanMemoText(std::string_view memo);
// Stores the cleaned memo as the language's text (an empty result removes the language). False,
// leaving the set unchanged, when the text is longer than a set entry holds.
bool CommitMemo(std::string_view memo, TLanguage language, TStringSet& set);

class TStringSetLangEdit {
 public:
  TStringSetLangEdit();

  void SetCaptionName(const std::string& name) { caption_ = "Edit " + name; }
  const std::string& Caption() const { return caption_; }
  // Copies the set (an absent one clears) and shows English.
  void SetStringSet(const TStringSet* set);
  // Commits the memo and copies the working set into set.
  bool GetStringSet(TStringSet& set);

  // The tree's node texts: the names of language table entries 1 to 6.
  static std::vector<std::string> LanguageNames();
  // A click on a tree node: commits the memo and shows the first table language of that name.
  bool NodeClicked(std::string_view name);
  void ShowLanguage(TLanguage language);

  TLanguage Language() const { return language_; }
  const std::string& MemoText() const { return memo_; }
  void SetMemoText(std::string text) { memo_ = std::move(text); }
  // The memo's hint: the language's name.
  std::string MemoHint() const;
  const TStringSet& WorkingSet() const { return set_; }

  bool ReadOnly = false;

 private:
  std::string caption_ = "Edit";
  TStringSet set_;
  TLanguage language_ = kEnglish;
  std::string memo_;
};

// What the comment editor exchanges with its caller.
struct TEditCommentRecord {
  TStringSet Texts;
  std::int32_t Source = 0;  // position in the source list; 0: no source
  std::int32_t Page = 0;
};

class TEditComment {
 public:
  // Runs the source editor modally; true for OK.
  using TRunEditor = std::function<bool(TStringSetLangEdit& editor)>;
  struct SourceItem {
    std::string Text;
    TLanguage Language = kNoLanguage;
  };

  // The caller's list, which "+" and "E" change; it must outlive the editor (or be reset).
  void SetSources(AStringSet* sources);
  void SetComment(const TEditCommentRecord& record);
  // Commits the memo; false (record untouched) when the text is too long to store.
  bool GetComment(TEditCommentRecord& record);
  void SetEditable(bool on) { editable_ = on; }
  // Commits the shown language's memo, then shows the new one.
  bool SetLanguage(TLanguage language);
  // Position i of the language list shows language table entry i + 1.
  bool LanguageChosen(int position);
  static std::vector<std::string> LanguageListNames();

  void SourceChosen(int index) { source_ = index; }
  void AddSource();
  void EditSource();

  bool Editable() const { return editable_; }
  bool MemoReadOnly() const { return !editable_; }
  bool AddSourceEnabled() const { return editable_; }
  bool EditSourceEnabled() const { return sources_ != nullptr && source_ > 0; }
  TLanguage Language() const { return language_; }
  // The list position of the shown language, -1 when none.
  int LanguagePosition() const;
  const std::string& MemoText() const { return memo_; }
  void SetMemoText(std::string text) { memo_ = std::move(text); }
  const std::vector<SourceItem>& SourceItems() const { return items_; }
  std::int32_t SourceIndex() const { return source_; }
  std::int32_t Page() const { return page_; }
  void SetPage(std::int32_t page) { page_ = page; }

  TRunEditor RunEditor;

 private:
  bool Commit();

  TStringSet set_;
  TLanguage language_ = kLanguageMinus1;  // none shown yet
  bool editable_ = false;
  AStringSet* sources_ = nullptr;
  std::vector<SourceItem> items_;
  std::int32_t source_ = 0;
  std::int32_t page_ = 0;
  std::string memo_;
};

}  // namespace kessaro
