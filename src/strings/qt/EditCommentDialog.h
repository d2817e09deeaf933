#pragma once
// The comment editor and the string-set language editor over their logic: the views copy the
// memo, language and source choices to the logic and show what it holds.

#include <QDialog>

#include "strings/EditComment.h"

class QComboBox;
class QLabel;
class QPlainTextEdit;
class QPushButton;
class QSpinBox;
class QTreeWidget;

namespace kessaro {

// The font of a data language: a family that has the glyphs of the language's character set.
QFont DataFont(TLanguage language);

class TStringSetLangEditDialog : public QDialog {
  Q_OBJECT
 public:
  TStringSetLangEditDialog(TStringSetLangEdit& logic, QWidget* parent = nullptr);
  void done(int result) override;

 private:
  void ShowLanguage();

  TStringSetLangEdit& logic_;
  QTreeWidget* tree_;
  QPlainTextEdit* memo_;
};

class TEditCommentDialog : public QDialog {
  Q_OBJECT
 public:
  TEditCommentDialog(TEditComment& logic, QWidget* parent = nullptr);
  // Shows what the logic holds now (after SetComment, SetLanguage, SetSources).
  void Refresh();

 private:
  void TakeMemo();

  TEditComment& logic_;
  QPlainTextEdit* memo_;
  QComboBox* language_;
  QComboBox* source_;
  QPushButton* add_;
  QPushButton* edit_;
  QSpinBox* page_;
  bool refreshing_ = false;
};

}  // namespace kessaro
