#pragma once
// The joseki comment pane on screen: the annotation frame above the comment list, its context
// menu, and the host that asks the questions and runs the comment editor.

#include <QWidget>

#include "workspace/JosekiComment.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QMenu;

namespace kessaro {

class TLangListBox;

class TAnnotationView : public QWidget {
  Q_OBJECT
 public:
  TAnnotationView(TAnnotation& logic, QWidget* parent = nullptr);
  // Shows the logic's controls state.
  void Refresh();
  int HeightFor(int width) const;

 protected:
  void resizeEvent(QResizeEvent* event) override;

 private:
  void Changed();
  TAnnotationMetrics Metrics() const;

  TAnnotation& logic_;
  QLabel *lbPosition_, *lbMove_;
  QComboBox *cmbPosition_, *cmbMove_;
  QCheckBox *cbShicho_, *cbTenuki_;
  bool refreshing_ = false;
};

class TJosekiCommentView : public QWidget, public TJosekiCommentHost {
  Q_OBJECT
 public:
  explicit TJosekiCommentView(QWidget* parent = nullptr);
  ~TJosekiCommentView() override;

  TJosekiComment& Logic() { return logic_; }
  TLangListBox* List() { return list_; }
  TAnnotationView* AnnotationFrame() { return annotation_; }

  bool ConfirmDelete(const std::string& question) override;
  bool RunCommentEditor(TEditComment& editor) override;
  void ShowMessage(const std::string& text) override;
  void Changed() override;

 protected:
  void resizeEvent(QResizeEvent* event) override;

 private:
  void Popup(const QPoint& at);

  TJosekiComment logic_;
  TAnnotationView* annotation_;
  TLangListBox* list_;
  QMenu* menu_;
};

}  // namespace kessaro
