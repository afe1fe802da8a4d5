#include "ui/widgets.h"

#include <QDir>
#include <QFileIconProvider>
#include <QHeaderView>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QToolButton>
#include <QWindow>
#include <algorithm>
#include <cmath>
#include <utility>

namespace kivrel::ui {

QMargins FrameMargins(QWidget* window) {
  window->winId();  // creates the native window, which knows its frame when it can
  const QWindow* handle = window->windowHandle();
  return handle != nullptr ? handle->frameMargins() : QMargins();
}

// ---- PictureView -----------------------------------------------------------------------------

PictureView::PictureView(QWidget* parent) : QWidget(parent) {
  setAttribute(Qt::WA_OpaquePaintEvent);
}

void PictureView::SetImage(QImage image) {
  image_ = std::move(image);
  scaled_ = QImage();
  update();
}

QImage PictureView::TakeImage() {
  scaled_ = QImage();
  update();
  return std::exchange(image_, QImage());
}

void PictureView::SetRubberBand(std::optional<QRect> band) {
  if (band == band_) return;
  band_ = band;
  update();
}

void PictureView::paintEvent(QPaintEvent* event) {
  QPainter painter(this);
  const QRect exposed = event->rect();
  if (image_.isNull() || width() <= 0 || height() <= 0) {
    painter.fillRect(exposed, Qt::black);
  } else if (static_cast<qint64>(width()) * height() <= kMaxCachedPixels) {
    // Stretched once per picture and size, whole rows and columns dropped or repeated.
    if (scaled_.size() != size()) {
      scaled_ = image_.scaled(size(), Qt::IgnoreAspectRatio, Qt::FastTransformation)
                    .convertToFormat(QImage::Format_RGB32);
    }
    painter.drawImage(exposed.topLeft(), scaled_, exposed);
  } else {
    // A picture zoomed far beyond the screen: only the samples under the exposed part.
    const double sx = static_cast<double>(image_.width()) / width();
    const double sy = static_cast<double>(image_.height()) / height();
    const int x1 = static_cast<int>(std::floor(exposed.left() * sx));
    const int y1 = static_cast<int>(std::floor(exposed.top() * sy));
    const int x2 = static_cast<int>(std::ceil((exposed.right() + 1) * sx));
    const int y2 = static_cast<int>(std::ceil((exposed.bottom() + 1) * sy));
    const QRect source = QRect(QPoint(x1, y1), QPoint(x2 - 1, y2 - 1)).intersected(image_.rect());
    painter.fillRect(exposed, Qt::black);
    painter.drawImage(
        QRectF(source.left() / sx, source.top() / sy, source.width() / sx, source.height() / sy),
        image_.copy(source));
  }
  if (band_) {
    painter.setPen(QPen(Qt::white, 1, Qt::DotLine));
    painter.setBrush(Qt::NoBrush);
    painter.setCompositionMode(QPainter::RasterOp_SourceXorDestination);
    painter.drawRect(band_->normalized().adjusted(0, 0, -1, -1));
  }
}

void PictureView::mousePressEvent(QMouseEvent* event) {
  emit MousePressed(event);
}

void PictureView::mouseMoveEvent(QMouseEvent* event) {
  emit MouseMoved(event);
}

// ---- FolderTree ------------------------------------------------------------------------------

FolderTree::FolderTree(QWidget* parent) : QTreeView(parent), model_(new QFileSystemModel(this)) {
  model_->setFilter(QDir::AllDirs | QDir::NoDotAndDotDot | QDir::Drives);
  model_->setReadOnly(true);
  model_->setRootPath(QDir::rootPath());
  setModel(model_);
  for (int column = 1; column < model_->columnCount(); ++column)
    hideColumn(column);
  setHeaderHidden(true);
  // Deep folders scroll sideways rather than lose the end of their names.
  header()->setSectionResizeMode(0, QHeaderView::ResizeToContents);
  header()->setStretchLastSection(false);
  setTextElideMode(Qt::ElideNone);
  setRootIsDecorated(false);
  setIndentation(19);
  setEditTriggers(QAbstractItemView::NoEditTriggers);
  setSelectionMode(QAbstractItemView::SingleSelection);
  connect(selectionModel(), &QItemSelectionModel::currentChanged, this,
          [this](const QModelIndex& current) { OnCurrentChanged(current); });
  // Folders are read and sorted in the background: keep a folder just selected by the program
  // in view while its neighbours arrive.
  const auto reveal = [this] {
    if (!reveal_clock_.isValid() || reveal_clock_.elapsed() >= 3000 || !currentIndex().isValid())
      return;
    scrollTo(currentIndex(), QAbstractItemView::PositionAtCenter);
    // Sideways, keep a little of the parents in view.
    QScrollBar* bar = horizontalScrollBar();
    const int left = visualRect(currentIndex()).left() + bar->value();
    bar->setValue(std::max(0, left - 2 * indentation()));
  };
  connect(model_, &QFileSystemModel::directoryLoaded, this, reveal);
  connect(model_, &QFileSystemModel::layoutChanged, this, reveal);
  connect(model_, &QFileSystemModel::rowsInserted, this, reveal);
}

void FolderTree::SetSelection(const QString& path) {
  reveal_clock_.start();
  const QString clean = QDir::cleanPath(path);
  const QModelIndex index = model_->index(clean);
  if (index.isValid()) {
    for (QModelIndex up = index.parent(); up.isValid(); up = up.parent())
      expand(up);
    if (currentIndex() != index) {
      selection_ = clean;
      setCurrentIndex(index);  // reports through OnCurrentChanged
      scrollTo(index);
      return;
    }
  }
  selection_ = clean;
  emit SelectionChanged(selection_);
}

void FolderTree::mousePressEvent(QMouseEvent* event) {
  reveal_clock_.invalidate();  // the user takes over
  QTreeView::mousePressEvent(event);
}

void FolderTree::OnCurrentChanged(const QModelIndex& current) {
  if (!current.isValid()) return;
  selection_ = model_->filePath(current);
  emit SelectionChanged(selection_);
}

// ---- FileListBox -----------------------------------------------------------------------------

FileListBox::FileListBox(QWidget* parent) : QListWidget(parent) {
  setSelectionMode(QAbstractItemView::SingleSelection);
  setUniformItemSizes(true);
  setIconSize(QSize(16, 16));
  // Long names keep their start and their extension; the whole name is the row's tooltip.
  setTextElideMode(Qt::ElideMiddle);
  connect(this, &QListWidget::currentRowChanged, this,
          [this](int row) { OnCurrentRowChanged(row); });
}

void FileListBox::SetDirectory(const QString& directory) {
  directory_ = directory;
  Reread();
}

void FileListBox::SetMask(const QString& mask) {
  mask_ = mask;
  Reread();
}

void FileListBox::Reread() {
  refilling_ = true;
  clear();
  if (!directory_.isEmpty()) {
    QDir dir(directory_);
    const QStringList patterns = mask_.split(';', Qt::SkipEmptyParts);
    static const QFileIconProvider icons;
    // Case-insensitive patterns: "M31.FIT" is as much a FITS file as "m31.fit".
    const QFileInfoList files =
        dir.entryInfoList(patterns, QDir::Files | QDir::Readable, QDir::Name | QDir::IgnoreCase);
    for (const QFileInfo& info : files) {
      auto* row = new QListWidgetItem(icons.icon(info), info.fileName());
      row->setToolTip(info.fileName());
      addItem(row);
    }
  }
  setCurrentRow(-1);
  refilling_ = false;
}

QString FileListBox::FullPath(int row) const {
  const QListWidgetItem* it = item(row);
  if (it == nullptr) return QString();
  QString folder = directory_;
  if (!folder.endsWith('/')) folder += '/';
  return folder + it->text();
}

bool FileListBox::SelectName(const QString& name) {
  const QList<QListWidgetItem*> found = findItems(name, Qt::MatchFixedString);
  if (found.isEmpty()) return false;
  const int target = row(found.first());
  if (target == currentRow()) {
    emit FileChosen(FullPath(target));
  } else {
    setCurrentRow(target);
  }
  return true;
}

void FileListBox::mousePressEvent(QMouseEvent* event) {
  QListWidgetItem* under = itemAt(event->position().toPoint());
  if (event->button() == Qt::RightButton) {
    // A right press lists the header; it neither selects nor loads.
    if (under != nullptr) emit RightPressed(FullPath(row(under)));
    event->accept();
    return;
  }
  const bool same = under != nullptr && under == currentItem();
  QListWidget::mousePressEvent(event);
  if (same && event->button() == Qt::LeftButton) emit FileChosen(FullPath(row(under)));
}

void FileListBox::OnCurrentRowChanged(int row) {
  if (refilling_ || row < 0) return;
  emit FileChosen(FullPath(row));
}

// ---- RadioGroup ------------------------------------------------------------------------------

RadioGroup::RadioGroup(int columns, QWidget* parent) : QGroupBox(parent), columns_(columns) {
  // The caption on the frame's top line, as radio groups are drawn on Windows: the items keep
  // the height the layout gives them.
  setStyleSheet(QStringLiteral(
      "QGroupBox { border: 1px solid palette(mid); border-radius: 2px; margin-top: 7px; }"
      "QGroupBox::title { subcontrol-origin: margin; subcontrol-position: top left;"
      " left: 6px; padding: 0px 2px; }"));
}

void RadioGroup::SetItems(const std::vector<QString>& items) {
  while (buttons_.size() > items.size()) {
    delete buttons_.back();
    buttons_.pop_back();
  }
  while (buttons_.size() < items.size()) {
    const int index = static_cast<int>(buttons_.size());
    auto* button = new QRadioButton(this);
    button->setFont(font());  // the style sheet would give it the application's font
    button->setObjectName(objectName() + "_" + QString::number(index));
    // Every click counts, also on the item already checked (arrow keys click too).
    connect(button, &QRadioButton::clicked, this, [this, index] { emit ItemClicked(index); });
    button->show();
    buttons_.push_back(button);
  }
  for (std::size_t i = 0; i < items.size(); ++i) {
    if (buttons_[i]->text() != items[i]) buttons_[i]->setText(items[i]);
  }
  PlaceButtons();
}

int RadioGroup::CheckedIndex() const {
  for (std::size_t i = 0; i < buttons_.size(); ++i) {
    if (buttons_[i]->isChecked()) return static_cast<int>(i);
  }
  return -1;
}

void RadioGroup::SetCheckedIndex(int index) {
  for (std::size_t i = 0; i < buttons_.size(); ++i) {
    const bool on = static_cast<int>(i) == index;
    if (buttons_[i]->isChecked() != on) {
      const QSignalBlocker blocker(buttons_[i]);
      // Auto-exclusive buttons cannot be all unchecked; turn it off while writing.
      buttons_[i]->setAutoExclusive(false);
      buttons_[i]->setChecked(on);
      buttons_[i]->setAutoExclusive(true);
    }
  }
}

void RadioGroup::resizeEvent(QResizeEvent* event) {
  QGroupBox::resizeEvent(event);
  PlaceButtons();
}

int RadioGroup::Rows() const {
  const int count = static_cast<int>(buttons_.size());
  return std::max(1, (count + columns_ - 1) / columns_);
}

// Each column as wide as its widest item.
std::vector<int> RadioGroup::ColumnWidths() const {
  std::vector<int> widths(static_cast<std::size_t>(columns_), 0);
  const int rows = Rows();
  for (std::size_t i = 0; i < buttons_.size(); ++i) {
    int& w = widths[i / static_cast<std::size_t>(rows)];
    w = std::max(w, buttons_[i]->sizeHint().width());
  }
  return widths;
}

int RadioGroup::NeededWidth() const {
  int needed = 4 + width() - contentsRect().width();  // the frame, and two pixels each side
  for (int w : ColumnWidths())
    needed += w;
  return needed;
}

int RadioGroup::NeededHeight() const {
  int row = 0;
  for (const QRadioButton* b : buttons_)
    row = std::max(row, b->sizeHint().height());
  return height() - contentsRect().height() + Rows() * row;
}

void RadioGroup::PlaceButtons() {
  if (buttons_.empty()) return;
  const QRect area = contentsRect().adjusted(2, 0, -2, 0);
  const int count = static_cast<int>(buttons_.size());
  const int rows = Rows();
  // The space left over is shared out evenly; when even the widest items do not fit, every
  // column loses the same share of its width.
  std::vector<int> widths = ColumnWidths();
  int needed = 0;
  for (int w : widths)
    needed += w;
  const int spare = area.width() - needed;
  const int used = (count + rows - 1) / rows;  // columns that hold an item
  for (int& w : widths) {
    if (w > 0) w = spare >= 0 ? w + spare / used : w * area.width() / std::max(1, needed);
  }
  const int height = std::max(1, area.height() / rows);
  int left = area.left();
  for (int column = 0; column < columns_; ++column) {
    for (int row = 0; row < rows; ++row) {
      const int i = column * rows + row;
      if (i >= count) break;
      buttons_[static_cast<std::size_t>(i)]->setGeometry(
          left, area.top() + row * height, widths[static_cast<std::size_t>(column)], height);
    }
    left += widths[static_cast<std::size_t>(column)];
  }
}

// ---- LayerValidator, UpDown ------------------------------------------------------------------

QValidator::State LayerValidator::validate(QString& input, int&) const {
  const auto* edit = qobject_cast<const QLineEdit*>(parent());
  const qsizetype before = edit != nullptr ? edit->text().size() : 0;
  return input.size() <= 2 || input.size() < before ? Acceptable : Invalid;
}

UpDown::UpDown(QLineEdit* buddy, int min, int max, QWidget* parent)
    : QWidget(parent),
      buddy_(buddy),
      min_(min),
      max_(max),
      up_(new QToolButton(this)),
      down_(new QToolButton(this)) {
  up_->setArrowType(Qt::UpArrow);
  down_->setArrowType(Qt::DownArrow);
  for (QToolButton* b : {up_, down_}) {
    b->setAutoRepeat(true);
    b->setFocusPolicy(Qt::NoFocus);
  }
  connect(up_, &QToolButton::clicked, this, [this] { Step(1); });
  connect(down_, &QToolButton::clicked, this, [this] { Step(-1); });
}

void UpDown::resizeEvent(QResizeEvent*) {
  const int half = height() / 2;
  up_->setGeometry(0, 0, width(), half);
  down_->setGeometry(0, half, width(), height() - half);
}

void UpDown::Step(int delta) {
  bool ok = false;
  int value = buddy_->text().trimmed().toInt(&ok);
  if (!ok) value = 0;
  const int next = std::clamp(value + delta, min_, max_);  // no wrap
  const QString text = QString::number(next);
  if (text == buddy_->text()) return;
  buddy_->setText(text);
  emit Stepped(text);
}

}  // namespace kivrel::ui
