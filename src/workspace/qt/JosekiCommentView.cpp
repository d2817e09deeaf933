#include "workspace/qt/JosekiCommentView.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QResizeEvent>

#include "lists/qt/LangListBox.h"
#include "strings/qt/EditCommentDialog.h"

namespace kessaro {

namespace {

QRect Rect(const TRect& r) {
  return {r.Left, r.Top, r.Width, r.Height};
}

template <std::size_t N>
QComboBox* Choices(const char* name, const std::array<const char*, N>& items, QWidget* parent) {
  auto* combo = new QComboBox(parent);
  combo->setObjectName(QString::fromLatin1(name));
  for (const char* item : items) combo->addItem(QString::fromLatin1(item));
  return combo;
}

}  // namespace

TAnnotationView::TAnnotationView(TAnnotation& logic, QWidget* parent)
    : QWidget(parent), logic_(logic) {
  setObjectName("Annotation");
  lbPosition_ = new QLabel("Annotation \nfor position :", this);
  lbPosition_->setObjectName("lbAnnotationPosition");
  lbMove_ = new QLabel("Annotation \nfor move:", this);
  lbMove_->setObjectName("lbAnnotationMove");
  cmbPosition_ = Choices("cmbAnnotationPosition", PositionAnnotationNames(), this);
  cmbMove_ = Choices("cmbAnnotationMove", MoveAnnotationNames(), this);
  cbShicho_ = new QCheckBox("Move depends on shicho", this);
  cbShicho_->setObjectName("cbShichoDepends");
  cbTenuki_ = new QCheckBox("Possible tenuki", this);
  cbTenuki_->setObjectName("cbPossibleTenuki");
  connect(cmbPosition_, &QComboBox::currentIndexChanged, this, &TAnnotationView::Changed);
  connect(cmbMove_, &QComboBox::currentIndexChanged, this, &TAnnotationView::Changed);
  connect(cbShicho_, &QCheckBox::toggled, this, &TAnnotationView::Changed);
  connect(cbTenuki_, &QCheckBox::toggled, this, &TAnnotationView::Changed);
  Refresh();
}

void TAnnotationView::Refresh() {
  refreshing_ = true;
  cbShicho_->setChecked(logic_.Controls.ShichoDepends);
  cbTenuki_->setChecked(logic_.Controls.PossibleTenuki);
  cmbMove_->setCurrentIndex(logic_.Controls.MoveIndex);
  cmbPosition_->setCurrentIndex(logic_.Controls.PositionIndex);
  refreshing_ = false;
}

void TAnnotationView::Changed() {
  if (refreshing_) return;
  TAnnotationControls now{cbShicho_->isChecked(), cbTenuki_->isChecked(), cmbMove_->currentIndex(),
                          cmbPosition_->currentIndex()};
  if (!logic_.ControlsChanged(now)) Refresh();  // read-only: put the controls back
}

TAnnotationMetrics TAnnotationView::Metrics() const {
  TAnnotationMetrics m;
  m.PositionLabelWidth = lbPosition_->sizeHint().width();
  m.MoveLabelWidth = lbMove_->sizeHint().width();
  m.LabelHeight = std::max(lbPosition_->sizeHint().height(), lbMove_->sizeHint().height());
  m.ListWidth = std::max(cmbPosition_->sizeHint().width(), cmbMove_->sizeHint().width());
  m.ListHeight = cmbMove_->sizeHint().height();
  m.ShichoWidth = cbShicho_->sizeHint().width();
  m.TenukiWidth = cbTenuki_->sizeHint().width();
  m.CheckHeight = cbShicho_->sizeHint().height();
  return m;
}

int TAnnotationView::HeightFor(int width) const {
  return LayoutAnnotation(width, Metrics()).Height;
}

void TAnnotationView::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  TAnnotationLayout l = LayoutAnnotation(width(), Metrics());
  lbPosition_->setGeometry(Rect(l.PositionLabel));
  cmbPosition_->setGeometry(Rect(l.PositionList));
  lbMove_->setGeometry(Rect(l.MoveLabel));
  cmbMove_->setGeometry(Rect(l.MoveList));
  cbShicho_->setGeometry(Rect(l.Shicho));
  cbTenuki_->setGeometry(Rect(l.Tenuki));
}

TJosekiCommentView::TJosekiCommentView(QWidget* parent) : QWidget(parent), logic_(this) {
  setObjectName("JosekiComment");
  annotation_ = new TAnnotationView(logic_.Annotation, this);
  list_ = new TLangListBox(this);
  list_->setObjectName("vlbComment");
  list_->setContextMenuPolicy(Qt::CustomContextMenu);
  menu_ = new QMenu(this);
  menu_->setObjectName("pmnComment");
  connect(list_, &QWidget::customContextMenuRequested, this, &TJosekiCommentView::Popup);
  connect(list_, &QListWidget::itemDoubleClicked, this,
          [this] { logic_.EditComment(list_->currentRow()); });
}

TJosekiCommentView::~TJosekiCommentView() {
  logic_.SetHost(nullptr);
}

void TJosekiCommentView::Popup(const QPoint& at) {
  menu_->clear();
  int line = list_->currentRow();
  QAction* edit = menu_->addAction("Edit Comment", [this, line] { logic_.EditComment(line); });
  edit->setObjectName("pmniEditComment");
  edit->setEnabled(logic_.EditEnabled(line));
  menu_->setDefaultAction(edit);
  menu_->addSeparator();
  QAction* add = menu_->addAction("Add Comment", [this] { logic_.AddComment(); });
  add->setObjectName("pmniAddComment");
  add->setEnabled(logic_.AddEnabled());
  QAction* del = menu_->addAction("Delete Comment", [this, line] { logic_.DeleteComment(line); });
  del->setObjectName("pmniDeleteComment");
  del->setEnabled(logic_.DeleteEnabled(line));
  menu_->popup(list_->mapToGlobal(at));
}

bool TJosekiCommentView::ConfirmDelete(const std::string& question) {
  return QMessageBox::question(this, windowTitle(), QString::fromStdString(question),
                               QMessageBox::Ok | QMessageBox::Cancel) == QMessageBox::Ok;
}

bool TJosekiCommentView::RunCommentEditor(TEditComment& editor) {
  TEditCommentDialog dialog(editor, this);
  return dialog.exec() == QDialog::Accepted;
}

void TJosekiCommentView::ShowMessage(const std::string& text) {
  QMessageBox::information(this, windowTitle(), QString::fromStdString(text));
}

void TJosekiCommentView::Changed() {
  annotation_->Refresh();
  list_->ClearLines();
  for (const TCommentLineParts& line : logic_.LineParts) {
    list_->AddLine(DataText(line.TextLanguage, line.Text) + "\r\n" +
                       DataText(line.SourceLanguage, line.SourceLine),
                   line.TextLanguage, 0);
  }
}

void TJosekiCommentView::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  int frame = annotation_->HeightFor(width());
  annotation_->setGeometry(0, 0, width(), frame);
  list_->setGeometry(0, frame + 2, width(), std::max(0, height() - frame - 2 - 4));
}

}  // namespace kessaro
