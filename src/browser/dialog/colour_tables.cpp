// The colour controls: the colour mode, the colour-table and transfer-table lists, the
// palette and transfer table they give, and the colour bar.
#include <algorithm>

#include "browser/dialog/browser_controller.h"
#include "browser/display/palettes.h"

namespace kivrel {
namespace {

void FillList(ListControl& list, const std::vector<std::string>& names,
              const std::string& preferred) {
  list.items = names;
  const auto it = std::find(list.items.begin(), list.items.end(), preferred);
  list.index = it != list.items.end() ? static_cast<int32_t>(it - list.items.begin())
               : list.items.empty()   ? -1
                                      : 0;
  list.text = list.index >= 0 ? list.items[static_cast<std::size_t>(list.index)] : "";
}

void SelectItem(ListControl& list, int32_t index) {
  list.index = index;
  list.text = index >= 0 && index < static_cast<int32_t>(list.items.size())
                  ? list.items[static_cast<std::size_t>(index)]
                  : "";
}

}  // namespace

void BrowserController::FillTableLists() {
  filling_lists_ = true;
  const TableNames names = ListTables(app_dir);
  FillList(colours.colour_table, names.colour, "ramp");
  FillList(colours.transfer_table, names.transfer, "4_ramp");
  filling_lists_ = false;
}

Palette256 BrowserController::LoadLutPalette() {
  return ReadColourTable(TableFile(app_dir, colours.colour_table.text, ".lut"));
}

void BrowserController::LoadIttTable() {
  ReadTransferTable(TableFile(app_dir, colours.transfer_table.text, ".itt"), IttTable);
}

void BrowserController::BuildColourBar() {
  DrawColourBar(IttTable, LoadLutPalette(), colour_bar_picture);
  ++picture_revision;
}

void BrowserController::ChooseColourMode(int32_t item) {
  colours.colour_mode.index = item;
}

void BrowserController::ChooseColourTable(int32_t index) {
  SelectItem(colours.colour_table, index);
  OnColourTableChange();
}

void BrowserController::ChooseTransferTable(int32_t index) {
  SelectItem(colours.transfer_table, index);
  OnTransferTableChange();
}

void BrowserController::OnColourTableChange() {
  if (filling_lists_) return;
  if (load.ImageLoaded) RefreshDisplay();
}

void BrowserController::OnTransferTableChange() {
  if (filling_lists_) return;
  LoadIttTable();
  if (load.ImageLoaded) RefreshDisplay();
}

}  // namespace kivrel
