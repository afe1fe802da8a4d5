// TLoadAstroForm, the browser dialog: every control of the dialog's layout at its place, each
// event forwarded to the engine's BrowserLogic, then the engine's state mirrored into the
// widgets (signals blocked; a widget is written only where the engine's value differs from
// what it shows, so text being typed is never overwritten).
//
// Errors: a RunTimeError from a handler is shown in a critical message box with its exact text;
// the dialog stays usable. Creating the dialog throws RunTimeError when the engine cannot be
// created (an unreadable colour table).
#pragma once

#include <QDialog>
#include <QPoint>
#include <QString>
#include <functional>
#include <memory>

#include "browser/dialog/browser_logic.h"

class QComboBox;
class QFrame;
class QLabel;
class QLineEdit;
class QPushButton;
class QScrollBar;
class QTimer;
class QToolButton;

namespace kivrel::ui {

class FileListBox;
class FolderTree;
class PictureView;
class RadioGroup;
class TBigImaForm;
class UpDown;

// The file list's masks: the full one (the list's first mask and Edit3's first text) and the
// entries of the file type list, description then masks.
extern const char* const kFullMask;
struct FileTypeEntry {
  const char* description;
  const char* masks;
};
extern const FileTypeEntry kFileTypes[10];

class TLoadAstroForm : public QDialog {
  Q_OBJECT
 public:
  // Client area of the dialog (its outer size is 663 x 482 with the usual frame).
  static constexpr int kClientWidth = 655;
  static constexpr int kClientHeight = 455;

  // The dialog's creation: the engine (texts, language file, palette lists, empty display),
  // then the widgets showing its state.
  explicit TLoadAstroForm(const BrowserOptions& options, QWidget* parent = nullptr);
  ~TLoadAstroForm() override;

  BrowserLogic& Logic() { return *logic_; }
  const BrowserLogic& Logic() const { return *logic_; }

  // The real-size window that "Taille réelle" and the header view open.
  void SetBigImaForm(TBigImaForm* form) { big_ima_ = form; }

  // The folder tree's selection as a full path; writing it expands the tree down to the folder
  // and shows that folder in the file list.
  QString TreeSelection() const;
  void SetTreeSelection(const QString& path);

  // Puts the dialog's top-left corner (frame included) at `screen_pos`, kept on that screen.
  void PlaceAt(const QPoint& screen_pos);

  // Writes the engine's state into the widgets. `pictures`: the preview and the colour bar too.
  void Mirror(bool pictures = true);

  // Runs an engine handler at the event boundary: busy cursor (restored on every path), then
  // the mirror, then the error's message box when the handler threw.
  void Run(const std::function<void()>& handler, bool busy = true, bool pictures = true);

  // Chooses a file as a user would: its folder in the tree, then its row in the file list.
  // False when the file is not listed there.
  bool OpenFile(const QString& path);

  FileListBox* FileList() const { return file_list_; }
  FolderTree* Tree() const { return tree_; }
  PictureView* Preview() const { return image1_; }
  QTimer* RedrawTimer() const { return timer1_; }

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  void BuildLeftPanel();
  void BuildRightPanels();
  void BuildButtonRow();
  void ConnectFileControls();
  void ConnectHandlers();
  void ConnectMouse();
  void MirrorTexts();
  void MirrorControls();
  void MirrorTimer();

  void ShowError(const QString& text);
  void ShowPlainMessage(const QString& text);
  void OnFileChosen(const QString& path);
  void OnRightPressed(const QString& path);
  void OnEdit3Return();
  void OnFileType(int index);
  void SaveBitmap();
  void ShowRealSize();

  std::unique_ptr<BrowserLogic> logic_;
  TBigImaForm* big_ima_ = nullptr;
  uint64_t timer_restarts_seen_ = 0;
  QPoint placed_at_;
  QSize placed_outer_;  // the outer size the last placement assumed
  bool placed_ = false;

  QFrame* panel1_ = nullptr;
  QFrame* panel2_ = nullptr;
  QFrame* panel3_ = nullptr;
  QFrame* panel4_ = nullptr;
  QFrame* panel5_ = nullptr;
  QFrame* panel6_ = nullptr;
  QFrame* panel7_ = nullptr;
  FolderTree* tree_ = nullptr;
  FileListBox* file_list_ = nullptr;
  QLineEdit* edit1_ = nullptr;
  QLineEdit* edit2_ = nullptr;
  QLineEdit* edit3_ = nullptr;
  QLineEdit* edit4_ = nullptr;
  QLineEdit* edit5_ = nullptr;
  QComboBox* filter_combo_ = nullptr;
  QComboBox* combo1_ = nullptr;
  QComboBox* combo2_ = nullptr;
  QComboBox* combo3_ = nullptr;
  RadioGroup* radio1_ = nullptr;
  RadioGroup* radio2_ = nullptr;
  QLabel* label1_ = nullptr;
  QLabel* label2_ = nullptr;
  QLabel* label3_ = nullptr;
  QLabel* label4_ = nullptr;
  QLabel* label5_ = nullptr;
  QLabel* label6_ = nullptr;
  QLabel* label7_ = nullptr;
  QLabel* label8_ = nullptr;
  QLabel* label9_ = nullptr;
  QLabel* label10_ = nullptr;
  QLabel* label11_ = nullptr;
  QLabel* label12_ = nullptr;
  QLabel* label13_ = nullptr;
  QScrollBar* scroll1_ = nullptr;
  QScrollBar* scroll2_ = nullptr;
  PictureView* image1_ = nullptr;
  PictureView* image2_ = nullptr;
  UpDown* updown1_ = nullptr;
  QPushButton* speed1_ = nullptr;
  QToolButton* speed2_ = nullptr;
  QToolButton* speed3_ = nullptr;
  QPushButton* speed4_ = nullptr;
  QPushButton* speed5_ = nullptr;
  QToolButton* speed6_ = nullptr;
  QToolButton* speed7_ = nullptr;
  QToolButton* speed8_ = nullptr;
  QPushButton* bitbtn1_ = nullptr;
  QPushButton* bitbtn2_ = nullptr;
  QPushButton* bitbtn3_ = nullptr;
  QPushButton* bitbtn4_ = nullptr;
  QTimer* timer1_ = nullptr;
};

}  // namespace kivrel::ui
