#pragma once
// The joseki comment pane: the annotations and the multilingual comments (with their sources
// and pages) of the net node shown, one list line per comment with a text. Edits go into the
// pane's own list and reach the node only through Flush, which runs before the node is saved
// and before the pane shows another node, so that no edit is lost.

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "lists/FontList.h"
#include "records/BoardFormTypes.h"
#include "records/CommentParsing.h"
#include "strings/EditComment.h"
#include "workspace/Annotation.h"

namespace kessaro {

class TPositionBase;

// The two parts of a list line, each in its own language: a source name may be in another
// language (and code page) than the comment's text, so a view converts the parts separately.
struct TCommentLineParts {
  TLanguage TextLanguage = kNoLanguage;
  std::string Text;
  TLanguage SourceLanguage = kNoLanguage;
  std::string SourceLine;
};

class TJosekiCommentHost {
 public:
  virtual ~TJosekiCommentHost() = default;
  // "Delete comment?" with OK and Cancel; true for OK.
  virtual bool ConfirmDelete(const std::string& question) = 0;
  // Runs the comment editor modally; true for OK.
  virtual bool RunCommentEditor(TEditComment& editor) = 0;
  // Shows a message (a refused edit).
  virtual void ShowMessage(const std::string& text) = 0;
  // The list lines or the annotation controls changed.
  virtual void Changed() {}
};

// Highest source number loaded; the letter base's identifiers come from a file.
constexpr std::uint32_t kMaxCommentSources = 0xFFFF;

class TJosekiComment {
 public:
  explicit TJosekiComment(TJosekiCommentHost* host = nullptr);
  ~TJosekiComment();
  TJosekiComment(const TJosekiComment&) = delete;
  TJosekiComment& operator=(const TJosekiComment&) = delete;

  void SetHost(TJosekiCommentHost* host) { host_ = host; }
  // Flushes pending edits first, so that switching to read-only loses nothing.
  void SetEditable(bool on);
  bool Editable() const { return editable_; }
  // Flushes the node shown before it shows another one (or none).
  void SetNode(TSequence* node);
  TSequence* Node() const { return node_; }
  // Writes the annotations and comments into the node when it is marked modified; an empty
  // comment set is freed. False (node untouched) when the comments do not fit the node's set.
  bool Flush();

  // Sources 1 and up from the position base's letter base, by identifier: a missing or empty
  // one stays as an empty item so that every comment keeps naming its own source.
  void LoadSources(TPositionBase* base);
  void SaveSources(TPositionBase* base);

  // Menu states for the selected line (-1: none).
  bool EditEnabled(int line) const { return line >= 0 && line < LineCount(); }
  bool AddEnabled() const { return editable_; }
  bool DeleteEnabled(int line) const { return editable_ && EditEnabled(line); }
  void EditComment(int line);
  void AddComment();
  void DeleteComment(int line);

  int LineCount() const { return static_cast<int>(Lines.size()); }

  TAnnotation Annotation;
  TSComments Comments;
  std::vector<std::int32_t> ListMap;
  std::vector<TLangListBoxItem> Lines;
  std::vector<TCommentLineParts> LineParts;  // one per line
  AStringSet Sources;

 private:
  void MarkModified();
  void RebuildLines();
  // The source line and the language of the name in it.
  std::pair<std::string, TLanguage> SourceLine(const TSComment& comment, TLanguage language) const;
  TEditComment MakeEditor(const TSComment* comment, TLanguage language);
  // Takes the editor's result back into the comment; false when it was refused.
  bool TakeBack(TEditComment& editor, TSComment& comment);
  void NotifyChanged();

  TJosekiCommentHost* host_;
  bool editable_ = false;
  TSequence* node_ = nullptr;
};

}  // namespace kessaro
