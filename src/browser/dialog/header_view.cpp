// A right click on a file in the list: its header as text, for FITS and PIC files.
#include "browser/base/text.h"
#include "browser/dialog/browser_logic.h"
#include "browser/readers/fits_header.h"
#include "browser/readers/pic_reader.h"

namespace kivrel {

bool BrowserLogic::FileListBox1MouseDown(const std::string& full_path,
                                         std::vector<std::string>& lines) {
  Store.LoadErrorText.clear();
  const std::string ext = LowerExtension(full_path);
  bool ok = false;
  if (ExtensionOccursIn(ext, ".fit .fts .fits")) ok = ListFitsHeader(full_path, Store, lines);
  if (ExtensionOccursIn(ext, ".pic")) ok = ListPicHeader(full_path, Store, lines);
  if (!ok) Label2.Caption = Store.LoadErrorText;
  return ok;
}

}  // namespace kivrel
