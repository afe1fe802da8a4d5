#include "browser/store/image_store.h"

namespace kivrel {

void ImageStore::ResetPlanes(int32_t keep_type) {
  // The unfiltered copies go first: one that still shares the working plane's memory lets go
  // of it, so that the working plane keeps the block for the next image of its type.
  auto reset = [keep_type](int32_t type, auto& plane, auto& orig) {
    orig.Reset(keep_type != type || orig.SharesMemoryWith(plane));
    plane.Reset(keep_type != type);
  };
  reset(kSample8, Imai8, OrigImai8);
  reset(kSample16, Imai16, OrigImai16);
  reset(kSample32, Imai32, OrigImai32);
  reset(kSampleF32, Imar32, OrigImar32);
  reset(kSampleF64, Imar64, OrigImar64);
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
