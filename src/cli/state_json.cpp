#include "cli/state_json.h"

#include <cmath>

#include "browser/base/text.h"

namespace kivrel {
namespace {

using Json = nlohmann::ordered_json;

// Non-finite numbers are not JSON: they are written as the strings "inf", "-inf", "nan".
Json Number(long double value) {
  const auto d = static_cast<double>(value);
  if (std::isnan(d)) return "nan";
  if (std::isinf(d)) return d > 0 ? "inf" : "-inf";
  return d;
}

Json FileText(const std::string& bytes) {
  return Cp1252ToUtf8(bytes);
}

}  // namespace

Json StateToJson(const BrowserLogic& b, const std::optional<std::string>& error) {
  const ImageStore& s = b.Store;
  Json j;
  j["ImageLoaded"] = s.ImageLoaded;
  j["BitmapShown"] = s.BitmapShown;
  j["LoadErrorText"] = s.LoadErrorText;
  j["ImaFileName"] = s.ImaFileName;
  j["ImaWidth"] = s.ImaWidth;
  j["ImaHeight"] = s.ImaHeight;
  j["SampleType"] = s.SampleType;
  j["LayerCount"] = s.LayerCount;
  j["CurrentLayer"] = s.CurrentLayer;
  j["DataMin"] = Number(s.DataMin);
  j["DataMax"] = Number(s.DataMax);
  j["DataMean"] = Number(s.DataMean);
  j["DataSigma"] = Number(s.DataSigma);
  j["HeaderMin"] = Number(s.HeaderMin);
  j["HeaderMax"] = Number(s.HeaderMax);
  j["BZero"] = Number(s.BZero);
  j["BScale"] = Number(s.BScale);
  j["OrigDataMin"] = Number(s.OrigDataMin);
  j["OrigDataMax"] = Number(s.OrigDataMax);
  j["OrigDataMean"] = Number(s.OrigDataMean);
  j["OrigDataSigma"] = Number(s.OrigDataSigma);
  j["DisplayMin"] = Number(b.DisplayMin);
  j["DisplayMax"] = Number(b.DisplayMax);
  j["ScrollRange"] = Number(b.ScrollRange);
  j["ScrollStep"] = Number(b.ScrollStep);
  j["ZoomX1"] = s.ZoomX1;
  j["ZoomX2"] = s.ZoomX2;
  j["ZoomY1"] = s.ZoomY1;
  j["ZoomY2"] = s.ZoomY2;
  j["ZoomWidth"] = s.ZoomWidth;
  j["ZoomHeight"] = s.ZoomHeight;
  j["PrevZoomX1"] = s.PrevZoomX1;
  j["PrevZoomX2"] = s.PrevZoomX2;
  j["PrevZoomY1"] = s.PrevZoomY1;
  j["PrevZoomY2"] = s.PrevZoomY2;
  j["DragX1"] = b.DragX1;
  j["DragY1"] = b.DragY1;
  j["DragX2"] = b.DragX2;
  j["DragY2"] = b.DragY2;
  j["Dragging"] = b.Dragging;
  j["FlipX"] = s.FlipX;
  j["FlipY"] = s.FlipY;
  j["ProjCode"] = std::string(1, s.ProjCode);
  j["FitsAR"] = Number(s.FitsAR);
  j["FitsDE"] = Number(s.FitsDE);
  j["FieldWidth"] = Number(s.FieldWidth);
  j["Ctype1"] = FileText(s.Ctype1);
  j["Ctype2"] = FileText(s.Ctype2);
  j["RaDecSys"] = FileText(s.RaDecSys);
  j["Equinox"] = Number(s.Equinox);
  j["Crpix1"] = Number(s.Crpix1);
  j["Crpix2"] = Number(s.Crpix2);
  j["Crval1"] = Number(s.Crval1);
  j["Crval2"] = Number(s.Crval2);
  j["Cdelt1"] = Number(s.Cdelt1);
  j["Cdelt2"] = Number(s.Cdelt2);
  j["Crota1"] = Number(s.Crota1);
  j["Crota2"] = Number(s.Crota2);
  j["Cd1_1"] = Number(s.Cd1_1);
  j["Cd1_2"] = Number(s.Cd1_2);
  j["Cd2_1"] = Number(s.Cd2_1);
  j["Cd2_2"] = Number(s.Cd2_2);
  j["Pc1_1"] = Number(s.Pc1_1);
  j["Pc1_2"] = Number(s.Pc1_2);
  j["Pc2_1"] = Number(s.Pc2_1);
  j["Pc2_2"] = Number(s.Pc2_2);
  j["HasCdelt"] = s.HasCdelt;
  j["HasCd"] = s.HasCd;
  j["HasPc"] = s.HasPc;
  j["Label1"] = b.Label1.Caption;
  j["Label2"] = b.Label2.Caption;
  j["Label10"] = b.Label10.Caption;
  j["Edit1"] = b.Edit1.Text;
  j["Edit2"] = b.Edit2.Text;
  j["Edit4"] = b.Edit4.Text;
  j["Edit5"] = b.Edit5.Text;
  j["ScrollBar1"] = b.ScrollBar1.Position;
  j["ScrollBar2"] = b.ScrollBar2.Position;
  j["RadioGroup1"] = b.RadioGroup1.ItemIndex;
  j["RadioGroup2"] = b.RadioGroup2.ItemIndex;
  j["ComboBox1"] = b.ComboBox1.Text;
  j["ComboBox2"] = b.ComboBox2.Text;
  j["ComboBox3"] = b.ComboBox3.ItemIndex;
  j["ComboBox1Items"] = b.ComboBox1.Items;
  j["ComboBox2Items"] = b.ComboBox2.Items;
  j["PreviewWidth"] = b.Image1.Width;
  j["PreviewHeight"] = b.Image1.Height;
  j["IttTable"] = b.IttTable;
  Json enabled;
  const std::pair<const char*, const Control*> controls[] = {{"Edit1", &b.Edit1},
                                                             {"Edit2", &b.Edit2},
                                                             {"ScrollBar1", &b.ScrollBar1},
                                                             {"ScrollBar2", &b.ScrollBar2},
                                                             {"RadioGroup2", &b.RadioGroup2},
                                                             {"SpeedButton4", &b.SpeedButton4},
                                                             {"SpeedButton5", &b.SpeedButton5},
                                                             {"ComboBox1", &b.ComboBox1},
                                                             {"ComboBox2", &b.ComboBox2},
                                                             {"SpeedButton2", &b.SpeedButton2},
                                                             {"SpeedButton3", &b.SpeedButton3},
                                                             {"SpeedButton6", &b.SpeedButton6},
                                                             {"SpeedButton7", &b.SpeedButton7},
                                                             {"SpeedButton8", &b.SpeedButton8},
                                                             {"Edit4", &b.Edit4},
                                                             {"UpDown1", &b.UpDown1}};
  for (const auto& [name, control] : controls)
    enabled[name] = control->Enabled;
  j["Enabled"] = enabled;
  j["error"] = error ? Json(*error) : Json(nullptr);
  return j;
}

}  // namespace kivrel
