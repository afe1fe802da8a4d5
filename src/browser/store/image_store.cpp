#include "browser/store/image_store.h"

namespace kivrel {

void ImageStore::ResetPlanes(int32_t keep_type) {
  Imai8.Reset(keep_type != kSample8);
  OrigImai8.Reset(keep_type != kSample8);
  Imai16.Reset(keep_type != kSample16);
  OrigImai16.Reset(keep_type != kSample16);
  Imai32.Reset(keep_type != kSample32);
  OrigImai32.Reset(keep_type != kSample32);
  Imar32.Reset(keep_type != kSampleF32);
  OrigImar32.Reset(keep_type != kSampleF32);
  Imar64.Reset(keep_type != kSampleF64);
  OrigImar64.Reset(keep_type != kSampleF64);
}

void ImageStore::ReleaseIdlePlanes() {
  auto idle = [this](int32_t type, auto& plane, auto& orig) {
    if (type == SampleType) return;
    plane.Reset(true);
    orig.Reset(true);
  };
  idle(kSample8, Imai8, OrigImai8);
  idle(kSample16, Imai16, OrigImai16);
  idle(kSample32, Imai32, OrigImai32);
  idle(kSampleF32, Imar32, OrigImar32);
  idle(kSampleF64, Imar64, OrigImar64);
}

void ImageStore::CopyToOriginal() {
  VisitPlanes(*this, SampleType, [](auto& plane, auto& orig) { orig.CopyFrom(plane); });
}

}  // namespace kivrel
