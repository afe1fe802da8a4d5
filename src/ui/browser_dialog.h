// The browser dialog: every control of the dialog's layout at its place, each event forwarded
// to the engine's BrowserController, then the controller's state mirrored into the widgets
// (signals blocked; a widget is written only where the controller's value differs from what
// it shows, so text being typed is never overwritten). Which widget is which control, and
// which handler each event goes to, comes from the engine's control table.
//
// Loads run off the window's thread (BackgroundLoader): a click returns at once, the busy
// cursor shows until the picture arrives, and a newer click supersedes an older load.
//
// Errors: every event goes through the guard (event_guard.h): a RunTimeError from a handler is
// shown in a critical message box with its exact text, anything else with what failed; the
// dialog stays usable. Creating the dialog throws RunTimeError when the controller cannot be
// created (an unreadable colour table).
#pragma once

#include <QDialog>
#include <QPoint>
#include <QString>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "browser/dialog/browser_controller.h"
#include "ui/layout_fit.h"

class QComboBox;
class QFrame;
class QLabel;
class QLineEdit;
class QTimer;

namespace kivrel::ui {

class BackgroundLoader;
class FileListBox;
class FolderTree;
class PictureView;
class RealSizeWindow;

// The file list's masks: the full one (the list's first mask and the name edit's first text)
// and the entries of the file type list, description then masks.
extern const char* const kFullMask;
struct FileTypeEntry {
  const char* description;
  const char* masks;
};
extern const FileTypeEntry kFileTypes[10];

class BrowserDialog : public QDialog {
  Q_OBJECT
 public:
  // Client area of the dialog (its outer size is 663 x 482 with the usual frame).
  static constexpr int kClientWidth = 655;
  static constexpr int kClientHeight = 455;

  // The dialog's creation: the controller (texts, language file, table lists, empty display),
  // then the widgets showing its state.
  explicit BrowserDialog(const BrowserOptions& options, QWidget* parent = nullptr);
  ~BrowserDialog() override;

  BrowserController& Controller() { return *controller_; }
  const BrowserController& Controller() const { return *controller_; }

  // The real-size window that "Taille réelle" and the header view open.
  void SetRealSizeWindow(RealSizeWindow* window) { real_size_ = window; }

  // The folder tree's selection as a full path; writing it expands the tree down to the folder
  // and shows that folder in the file list.
  QString TreeSelection() const;
  void SetTreeSelection(const QString& path);

  // Puts the dialog's top-left corner (frame included) at `screen_pos`, kept on that screen.
  void PlaceAt(const QPoint& screen_pos);

  // Writes the controller's state into the widgets (the pictures when they changed), then fits
  // the layout to the captions.
  void Mirror();

  // Runs a controller handler at the event boundary, through the guard: busy cursor (restored
  // on every path), then the mirror, then the message box when either threw. `what` names the
  // work for that message ("le clic sur « Zoom 1:1 »").
  void Run(const std::function<void()>& handler, bool busy = true,
           const QString& what = QStringLiteral("l'action demandée"));

  // Chooses a file as a user would: its folder in the tree, then its row in the file list.
  // False when the file is not listed there. The load itself may still be under way.
  bool OpenFile(const QString& path);

  // A load is under way (its picture has not arrived yet).
  bool Loading() const;
  BackgroundLoader& Loader() { return *loader_; }

  FileListBox* FileList() const { return file_list_; }
  FolderTree* Tree() const { return tree_; }
  PictureView* Preview() const;
  QTimer* RedrawTimer() const { return redraw_timer_; }

 signals:
  // A load ended (shown, or failed) and the widgets show its result.
  void LoadFinished();

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  void BuildLeftPanel();
  void BuildRightPanels();
  void BuildButtonRow();
  void FindControlWidgets();
  void ConnectFileControls();
  void ConnectControls();
  void ConnectDialogButtons();
  void MirrorControls();
  void MirrorDataLines();
  void MirrorPictures();
  void MirrorTimer();
  // The widget of the control whose state is `state` in the controller.
  QWidget* WidgetOf(const Control& state) const;

  // Layout fitted to the fonts (browser_dialog_fit.cpp).
  void FitLayout();
  QWidget* Named(const char* name) const;
  LineItem Caption(const char* name) const;
  LineItem Fixed(const char* name) const;
  LineItem Flexible(const char* name, int min_size) const;
  int FitPanel(const char* panel, const std::vector<std::vector<LineItem>>& lines);

  // Loading off the window's thread.
  void StartLoad(LoadJob job);
  void OnLoadArrived(LoadOutcome&& outcome);
  void OnLayerText(const QString& text);
  void ReadNeighboursAhead();
  void UpdateBusyCursor();

  void ShowPlainMessage(const QString& text);
  void OnFileChosen(const QString& path);
  void OnRightPressed(const QString& path);
  void OnNameReturn();
  void OnFileType(int index);
  void SaveBitmap();
  void ShowRealSize();

  std::unique_ptr<BrowserController> controller_;
  RealSizeWindow* real_size_ = nullptr;
  std::map<std::string_view, QObject*> control_widgets_;  // by control name
  uint64_t timer_restarts_seen_ = 0;
  uint64_t pictures_shown_ = ~uint64_t{0};
  std::unique_ptr<BackgroundLoader> loader_;
  bool busy_cursor_ = false;
  int last_row_ = -1;   // the file list's row of the last load
  int direction_ = 1;   // the way the user moves through the list: +1 down, -1 up
  std::map<std::string, QWidget*, std::less<>> named_;  // every named child, for the fitting
  QPoint placed_at_;
  QSize placed_outer_;  // the outer size the last placement assumed
  bool placed_ = false;

  FolderTree* tree_ = nullptr;
  FileListBox* file_list_ = nullptr;
  QLineEdit* name_edit_ = nullptr;
  QComboBox* file_types_ = nullptr;
  QTimer* redraw_timer_ = nullptr;
};

}  // namespace kivrel::ui
