// The dialog's own widgets: the picture views (preview, colour bar, real-size picture), the
// folder tree, the file list, the radio groups and the layer up-down.
#pragma once

#include <QElapsedTimer>
#include <QFileSystemModel>
#include <QGroupBox>
#include <QImage>
#include <QListWidget>
#include <QMargins>
#include <QRadioButton>
#include <QTreeView>
#include <QValidator>
#include <QWidget>
#include <optional>
#include <vector>

class QLineEdit;
class QToolButton;

namespace kivrel::ui {

// The frame the platform puts around a top-level window (title bar, borders): known once the
// native window exists and, under most window managers, once it has been shown; none before.
QMargins FrameMargins(QWidget* window);

// A picture stretched over the whole widget with nearest-neighbour scaling, black where there
// is none, with an optional rubber band: a dotted rectangle drawn by inverting the pixels
// under it.
class PictureView : public QWidget {
  Q_OBJECT
 public:
  explicit PictureView(QWidget* parent = nullptr);
  void SetImage(QImage image);
  const QImage& Image() const { return image_; }
  // The picture shown, handed over (the view shows black until the next SetImage): its
  // memory may serve the next picture.
  QImage TakeImage();
  // The rubber band between two corners (widget pixels), or none.
  void SetRubberBand(std::optional<QRect> band);
  std::optional<QRect> RubberBand() const { return band_; }

 signals:
  void MousePressed(QMouseEvent* event);
  void MouseMoved(QMouseEvent* event);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;

 private:
  // Larger views are painted from the exposed samples alone.
  static constexpr qint64 kMaxCachedPixels = 4 << 20;
  QImage image_;
  QImage scaled_;  // image_ stretched to the view's size, made when first painted
  std::optional<QRect> band_;
};

// The folder tree: the file system's folders from "/", read-only, selection as a full path.
class FolderTree : public QTreeView {
  Q_OBJECT
 public:
  explicit FolderTree(QWidget* parent = nullptr);
  // The selected folder; "" before any.
  QString Selection() const { return selection_; }
  // Selects `path`, expanding the tree down to it, and reports the change. A folder the tree
  // cannot show (hidden, or gone) still becomes the selection.
  void SetSelection(const QString& path);

 signals:
  void SelectionChanged(const QString& path);

 protected:
  void mousePressEvent(QMouseEvent* event) override;

 private:
  void OnCurrentChanged(const QModelIndex& current);
  QFileSystemModel* model_;
  QString selection_;
  QElapsedTimer reveal_clock_;
};

// The file list: the files of one folder that match a mask of patterns separated by ";", with
// their icons and one selectable row.
class FileListBox : public QListWidget {
  Q_OBJECT
 public:
  explicit FileListBox(QWidget* parent = nullptr);
  QString Directory() const { return directory_; }
  QString Mask() const { return mask_; }
  // Either one re-reads the list; the selection is cleared without loading anything.
  void SetDirectory(const QString& directory);
  void SetMask(const QString& mask);
  void Reread();
  // The full path of the file in `row`.
  QString FullPath(int row) const;
  // Selects the row of `name` (as a user would, loading it); false when it is not listed.
  bool SelectName(const QString& name);

 signals:
  // A file chosen with the mouse or the keyboard (also a click on the row already chosen).
  void FileChosen(const QString& full_path);
  // The right button pressed on a row; the selection does not change.
  void RightPressed(const QString& full_path);

 protected:
  void mousePressEvent(QMouseEvent* event) override;

 private:
  void OnCurrentRowChanged(int row);
  QString directory_;
  QString mask_;
  bool refilling_ = false;
};

// A captioned group of radio buttons laid out in columns, one checked.
class RadioGroup : public QGroupBox {
  Q_OBJECT
 public:
  RadioGroup(int columns, QWidget* parent = nullptr);
  void SetItems(const std::vector<QString>& items);
  int ItemCount() const { return static_cast<int>(buttons_.size()); }
  QRadioButton* Button(int i) const { return buttons_[static_cast<std::size_t>(i)]; }
  int CheckedIndex() const;
  void SetCheckedIndex(int index);
  // The size that shows every item whole: its columns side by side, its rows of buttons under
  // the caption, the frame included.
  int NeededWidth() const;
  int NeededHeight() const;

 signals:
  // The user checked item `index`.
  void ItemClicked(int index);

 protected:
  void resizeEvent(QResizeEvent* event) override;

 private:
  void PlaceButtons();
  int Rows() const;
  std::vector<int> ColumnWidths() const;
  int columns_;
  std::vector<QRadioButton*> buttons_;
};

// Typing limit of the layer edit: at most two characters, while a longer number the program
// writes there stays shown.
class LayerValidator : public QValidator {
 public:
  using QValidator::QValidator;
  State validate(QString& input, int& pos) const override;
};

// A small up-down control bound to an edit holding an integer: each step writes the edit's
// integer plus or minus one, held within [min, max], and reports the new text.
class UpDown : public QWidget {
  Q_OBJECT
 public:
  UpDown(QLineEdit* buddy, int min, int max, QWidget* parent = nullptr);
  QToolButton* UpButton() const { return up_; }
  QToolButton* DownButton() const { return down_; }

 signals:
  void Stepped(const QString& text);

 protected:
  void resizeEvent(QResizeEvent* event) override;

 private:
  void Step(int delta);
  QLineEdit* buddy_;
  int min_;
  int max_;
  QToolButton* up_;
  QToolButton* down_;
};

}  // namespace kivrel::ui
