#include "cli/state_json.h"

#include <algorithm>
#include <cmath>
#include <tuple>
#include <vector>

#include "browser/base/text.h"
#include "browser/dialog/control_table.h"

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

void AddImage(Json& j, const BrowserController& c) {
  const Image& image = c.image;
  j["ImageLoaded"] = c.load.ImageLoaded;
  j["BitmapShown"] = c.load.BitmapShown;
  j["LoadErrorText"] = c.load.LoadErrorText;
  j["ImaFileName"] = c.load.file_name;
  j["ImaWidth"] = image.width;
  j["ImaHeight"] = image.height;
  j["SampleType"] = image.SampleType;
  j["LayerCount"] = image.LayerCount;
  j["CurrentLayer"] = image.CurrentLayer;
  j["DataMin"] = Number(image.stats.DataMin);
  j["DataMax"] = Number(image.stats.DataMax);
  j["DataMean"] = Number(image.stats.DataMean);
  j["DataSigma"] = Number(image.stats.DataSigma);
  j["HeaderMin"] = Number(image.HeaderMin);
  j["HeaderMax"] = Number(image.HeaderMax);
  j["BZero"] = Number(image.BZero);
  j["BScale"] = Number(image.BScale);
  j["OrigDataMin"] = Number(image.unfiltered_stats.DataMin);
  j["OrigDataMax"] = Number(image.unfiltered_stats.DataMax);
  j["OrigDataMean"] = Number(image.unfiltered_stats.DataMean);
  j["OrigDataSigma"] = Number(image.unfiltered_stats.DataSigma);
}

void AddView(Json& j, const View& v) {
  j["DisplayMin"] = Number(v.DisplayMin);
  j["DisplayMax"] = Number(v.DisplayMax);
  j["ScrollRange"] = Number(v.ScrollRange);
  j["ScrollStep"] = Number(v.ScrollStep);
  j["ZoomX1"] = v.zoom.ZoomX1;
  j["ZoomX2"] = v.zoom.ZoomX2;
  j["ZoomY1"] = v.zoom.ZoomY1;
  j["ZoomY2"] = v.zoom.ZoomY2;
  j["ZoomWidth"] = v.zoom.ZoomWidth();
  j["ZoomHeight"] = v.zoom.ZoomHeight();
  j["PrevZoomX1"] = v.previous_zoom.ZoomX1;
  j["PrevZoomX2"] = v.previous_zoom.ZoomX2;
  j["PrevZoomY1"] = v.previous_zoom.ZoomY1;
  j["PrevZoomY2"] = v.previous_zoom.ZoomY2;
  j["DragX1"] = v.band.DragX1;
  j["DragY1"] = v.band.DragY1;
  j["DragX2"] = v.band.DragX2;
  j["DragY2"] = v.band.DragY2;
  j["Dragging"] = v.band.Dragging;
  j["FlipX"] = v.FlipX;
  j["FlipY"] = v.FlipY;
}

void AddSky(Json& j, const SkyPosition& sky, const WorldKeywords& w) {
  j["ProjCode"] = std::string(1, sky.ProjCode);
  j["FitsAR"] = Number(sky.FitsAR);
  j["FitsDE"] = Number(sky.FitsDE);
  j["FieldWidth"] = Number(sky.FieldWidth);
  j["Ctype1"] = FileText(w.Ctype1);
  j["Ctype2"] = FileText(w.Ctype2);
  j["RaDecSys"] = FileText(w.RaDecSys);
  j["Equinox"] = Number(w.Equinox);
  j["Crpix1"] = Number(w.Crpix1);
  j["Crpix2"] = Number(w.Crpix2);
  j["Crval1"] = Number(w.Crval1);
  j["Crval2"] = Number(w.Crval2);
  j["Cdelt1"] = Number(w.Cdelt1);
  j["Cdelt2"] = Number(w.Cdelt2);
  j["Crota1"] = Number(w.Crota1);
  j["Crota2"] = Number(w.Crota2);
  j["Cd1_1"] = Number(w.cd.m1_1);
  j["Cd1_2"] = Number(w.cd.m1_2);
  j["Cd2_1"] = Number(w.cd.m2_1);
  j["Cd2_2"] = Number(w.cd.m2_2);
  j["Pc1_1"] = Number(w.pc.m1_1);
  j["Pc1_2"] = Number(w.pc.m1_2);
  j["Pc2_1"] = Number(w.pc.m2_1);
  j["Pc2_2"] = Number(w.pc.m2_2);
  j["HasCdelt"] = w.HasCdelt;
  j["HasCd"] = w.cd.present;
  j["HasPc"] = w.pc.present;
}

// One value of a control, as its JSON field asks.
template <typename State>
Json ShownControlValue(const State& s, ShownValue value) {
  if constexpr (requires { s.caption; }) {
    if (value == ShownValue::kCaption) return s.caption;
  }
  if constexpr (requires { s.text; }) {
    if (value == ShownValue::kText) return s.text;
  }
  if constexpr (requires { s.position; }) {
    if (value == ShownValue::kPosition) return s.position;
  }
  if constexpr (requires { s.index; }) {
    if (value == ShownValue::kIndex) return s.index;
  }
  if constexpr (requires { s.items; }) {
    if (value == ShownValue::kItems) return s.items;
  }
  if constexpr (requires { s.width; }) {
    if (value == ShownValue::kWidth) return s.width;
    if (value == ShownValue::kHeight) return s.height;
  }
  return nullptr;
}

void AddControls(Json& j, BrowserController& c) {
  std::vector<std::tuple<int, std::string_view, Json>> fields;
  for (const ControlEntry& entry : ControlTable()) {
    for (const JsonField& field : entry.json) {
      Json value = std::visit([&](auto state) { return ShownControlValue(state(c), field.value); },
                              entry.state);
      fields.emplace_back(field.rank, field.key, std::move(value));
    }
  }
  std::sort(fields.begin(), fields.end(),
            [](const auto& a, const auto& b) { return std::get<0>(a) < std::get<0>(b); });
  for (auto& [rank, key, value] : fields)
    j[std::string(key)] = std::move(value);
}

void AddEnabled(Json& j, BrowserController& c) {
  std::vector<const ControlEntry*> image_controls;
  for (const ControlEntry& entry : ControlTable()) {
    if (entry.enable_rank > 0) image_controls.push_back(&entry);
  }
  std::sort(image_controls.begin(), image_controls.end(),
            [](const auto* a, const auto* b) { return a->enable_rank < b->enable_rank; });
  Json enabled;
  for (const ControlEntry* entry : image_controls)
    enabled[std::string(entry->name)] = CommonState(*entry, c)->enabled;
  j["Enabled"] = enabled;
}

}  // namespace

Json StateToJson(BrowserController& c, const std::optional<std::string>& error) {
  Json j;
  AddImage(j, c);
  AddView(j, c.view);
  AddSky(j, c.sky, c.wcs);
  AddControls(j, c);
  j["IttTable"] = c.IttTable;
  AddEnabled(j, c);
  j["error"] = error ? Json(*error) : Json(nullptr);
  return j;
}

}  // namespace kivrel
